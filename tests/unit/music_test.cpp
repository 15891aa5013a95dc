#include "app/failure.h"
#include "music/music.h"
#include "payload/payload.h"
#include "platform/mci_posix.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using replies = std::vector<std::optional<std::u16string>>;

const std::filesystem::path sourcefolder = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();

std::u16string utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ascii(std::u16string_view text) { return std::string(text.begin(), text.end()); }

std::filesystem::path tunein(const std::filesystem::path& folder) { return folder / ascii(bgmfilename); }

std::u16string opencommand(const std::filesystem::path& folder) {
    return u"open \"" + utf16(tunein(folder).string()) + u"\" type sequencer alias bgm";
}

// Stands in for the multimedia device: logs each command with its reply
// capacity, keeps what the tune file held when it was opened, answers the
// status queries from a script ("playing" once the script is used up) and
// ends the run at the query numbered lastquery.
struct scripteddevice {
    scripteddevice(std::atomic<bool>& flag, replies answers, std::size_t last)
        : playing(flag), script(std::move(answers)), lastquery(last) {}

    std::atomic<bool>& playing;
    replies script;
    std::size_t lastquery;
    std::mutex lock;
    std::vector<std::pair<std::u16string, std::size_t>> log;
    std::size_t queries = 0;
    std::optional<std::string> tuneatopen;

    std::optional<std::u16string> send(std::u16string_view command, std::size_t capacity) {
        std::lock_guard<std::mutex> guard(lock);
        log.emplace_back(command, capacity);
        if (command.substr(0, 6) == u"open \"") {
            std::filesystem::path file = ascii(command.substr(6, command.find(u'"', 6) - 6));
            if (std::filesystem::exists(file)) tuneatopen = readfile(file);
        }
        if (command != u"status bgm mode") return std::u16string();
        ++queries;
        if (queries == lastquery) playing = false;
        return queries <= script.size() ? script[queries - 1] : std::u16string(u"playing");
    }

    std::vector<std::u16string> commands() {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<std::u16string> out;
        for (auto& [command, capacity] : log) out.push_back(command);
        return out;
    }

    bgmsystem system(const std::filesystem::path& temp) {
        return bgmsystem{[this](std::u16string_view c, std::size_t n) { return send(c, n); },
                         [temp] { return std::optional<platform::nativestring>(temp.native()); }, ::extractpayload};
    }
};

// Clears the flag after the given time and says how long the worker took
// to end after that.
milliseconds stoppingtime(const bgmsystem& system, milliseconds runfor) {
    std::atomic<bool> playing{true};
    std::thread worker(bgmloopwith, std::ref(playing), std::cref(system));
    std::this_thread::sleep_for(runfor);
    auto cleared = steady_clock::now();
    playing = false;
    worker.join();
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - cleared);
}

std::string tinytune(const std::filesystem::path& folder) {
    std::filesystem::path file = folder / "tiny.mid";
    std::filesystem::path generator = sourcefolder / "tools" / "gentune.py";
    std::string command = "python3 '" + generator.string() + "' '" + file.string() + "' --tiny";
    EXPECT_EQ(0, std::system(command.c_str()));
    return readfile(file);
}

}  // namespace

TEST(bgmloop, sendsthecommandsinorderandrestartsonlyafteranexactstopped) {
    struct row {
        std::optional<std::u16string> firstreply;
        bool restarts;
    };
    const row rows[] = {
        {u"stopped", true},   {u"playing", false}, {u"paused", false}, {u"Stopped", false},
        {u"stopped ", false}, {u"", false},        {std::nullopt, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.firstreply ? ascii(*r.firstreply) : "(refused)");
        scratchfolder scratch;
        std::atomic<bool> playing{true};
        scripteddevice device{playing, {r.firstreply}, 3};
        bgmloopwith(playing, device.system(scratch.path()));

        std::vector<std::u16string> expected = {opencommand(scratch.path()), u"seek bgm to start", u"play bgm",
                                                u"status bgm mode"};
        if (r.restarts) expected.insert(expected.end(), {u"seek bgm to start", u"play bgm"});
        expected.insert(expected.end(), {u"status bgm mode", u"status bgm mode", u"stop bgm", u"close bgm"});
        EXPECT_EQ(expected, device.commands());
        for (auto& [command, capacity] : device.log) {
            EXPECT_EQ(command == u"status bgm mode" ? 128u : 0u, capacity) << ascii(command);
        }
        EXPECT_EQ(readfile(VARNHOLT_PAYLOAD_DIR "/tune.mid"), device.tuneatopen.value_or("(no file)"));
        EXPECT_FALSE(std::filesystem::exists(tunein(scratch.path())));
    }
}

TEST(bgmloop, runendingbeforethefirstteststillstartsandclosesthetune) {
    scratchfolder scratch;
    std::atomic<bool> playing{false};
    scripteddevice device{playing, {}, 0};
    bgmloopwith(playing, device.system(scratch.path()));
    std::vector<std::u16string> expected = {opencommand(scratch.path()), u"seek bgm to start", u"play bgm",
                                            u"stop bgm", u"close bgm"};
    EXPECT_EQ(expected, device.commands());
    EXPECT_FALSE(std::filesystem::exists(tunein(scratch.path())));
}

TEST(bgmloop, leftovertunefileisreplacedanddeleted) {
    scratchfolder scratch;
    writefile(tunein(scratch.path()), "left by an earlier run");
    std::atomic<bool> playing{true};
    scripteddevice device{playing, {}, 1};
    bgmloopwith(playing, device.system(scratch.path()));
    EXPECT_EQ(readfile(VARNHOLT_PAYLOAD_DIR "/tune.mid"), device.tuneatopen.value_or("(no file)"));
    EXPECT_FALSE(std::filesystem::exists(tunein(scratch.path())));
}

TEST(bgmloop, withouttemporaryfolderortunethereisnomusic) {
    scratchfolder scratch;
    std::atomic<bool> playing{true};
    scripteddevice device{playing, {}, 0};
    bgmsystem notemp = device.system(scratch.path());
    notemp.tempfolder = [] { return std::optional<platform::nativestring>(); };
    bgmsystem notune = device.system(scratch.path());
    notune.extractpayload = [](std::uint16_t, std::filesystem::path path) { return extractpayload(999, path); };

    for (const bgmsystem* system : {&notemp, &notune}) {
        auto started = steady_clock::now();
        bgmloopwith(playing, *system);
        EXPECT_LT(steady_clock::now() - started, milliseconds(100));
    }
    EXPECT_TRUE(device.commands().empty());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST(bgmloop, endswithin200msoftheflagclearing) {
    scratchfolder scratch;
    std::atomic<bool> unused{true};
    scripteddevice device{unused, {}, 0};
    EXPECT_LE(stoppingtime(device.system(scratch.path()), milliseconds(450)), milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(tunein(scratch.path())));
}

TEST(bgmloop, unwritabletemporaryfoldermeansarunwithoutmusic) {
    // A regular file where the folder should be: no one, not even root, can
    // write a file inside it.
    scratchfolder scratch;
    writefile(scratch.path() / "notafolder", "");
    std::filesystem::path temp = scratch.path() / "notafolder";
    ASSERT_EQ(0, setenv("TMPDIR", temp.c_str(), 1));
    std::atomic<bool> playing{true};
    std::thread worker(bgmloop, std::ref(playing));
    std::this_thread::sleep_for(milliseconds(350));
    auto cleared = steady_clock::now();
    playing = false;
    worker.join();
    EXPECT_LE(steady_clock::now() - cleared, milliseconds(200));
    unsetenv("TMPDIR");
    EXPECT_EQ(std::nullopt, platform::sendmci(u"status bgm mode", 128));
    EXPECT_EQ("", readfile(temp));
}

namespace {

// A device that renders into a WAV file instead of the audio output.
platform::mci::settinglist rendering(const std::filesystem::path& wav) {
    return {{"audio.driver", "file"}, {"audio.file.name", wav.string()}, {"audio.file.type", "wav"}};
}

// A rendered WAV file (16-bit PCM) as the loudness of each 10 ms of it,
// the root mean square of all its channels' samples.
struct loudness {
    static constexpr double window = 0.010;
    std::vector<double> levels;
    int peak = 0;

    explicit loudness(const std::string& wav) {
        auto number = [&](std::size_t at, int bytes) {
            std::uint32_t value = 0;
            for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(wav.at(at + i));
            return value;
        };
        if (wav.size() < 12 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(8, 4, "WAVE") != 0) return;
        std::uint32_t channels = 0, rate = 0, bits = 0;
        for (std::size_t at = 12; at + 8 <= wav.size(); at += 8 + ((number(at + 4, 4) + 1) & ~1u)) {
            std::uint32_t size = number(at + 4, 4);
            if (wav.compare(at, 4, "fmt ") == 0) {
                channels = number(at + 10, 2);
                rate = number(at + 12, 4);
                bits = number(at + 22, 2);
            } else if (wav.compare(at, 4, "data") == 0 && bits == 16 && channels > 0) {
                std::size_t frames = std::min<std::size_t>(size, wav.size() - at - 8) / (2 * channels);
                std::size_t perwindow = static_cast<std::size_t>(rate * window);
                for (std::size_t first = 0; first + perwindow <= frames; first += perwindow) {
                    double sum = 0;
                    for (std::size_t i = first * channels; i < (first + perwindow) * channels; ++i) {
                        auto sample = static_cast<std::int16_t>(number(at + 8 + 2 * i, 2));
                        sum += double(sample) * sample;
                        peak = std::max(peak, std::abs(int(sample)));
                    }
                    levels.push_back(std::sqrt(sum / double(perwindow * channels)));
                }
            }
        }
    }

    double seconds(std::size_t index) const { return double(index) * window; }

    // The first window at or after from that is audible at all.
    std::optional<std::size_t> firstsound(std::size_t from = 0) const {
        for (std::size_t i = from; i < levels.size(); ++i) {
            if (levels[i] > 30) return i;
        }
        return std::nullopt;
    }

    // The first attack in [from, to): a loud window at least half again as
    // loud as the one before it. A chord that rings or fades has none.
    std::optional<std::size_t> firstattack(std::size_t from, std::size_t to) const {
        double loud = 0.2 * *std::max_element(levels.begin(), levels.end());
        for (std::size_t i = std::max<std::size_t>(from, 1); i < std::min(to, levels.size()); ++i) {
            if (levels[i] > loud && levels[i] > 1.5 * levels[i - 1]) return i;
        }
        return std::nullopt;
    }
};

}  // namespace

TEST(mcidevice, answersthesequencercommands) {
    scratchfolder scratch;
    std::filesystem::create_directory(scratch.path() / "with space");
    std::filesystem::path tune = scratch.path() / "with space" / "tune file.tmp";
    writefile(tune, tinytune(scratch.path()));
    writefile(scratch.path() / "notmidi.tmp", "RIFF....");
    platform::mci::device device(rendering(scratch.path() / "out.wav"));
    struct row {
        std::u16string command;
        std::size_t capacity;
        std::optional<std::u16string> reply;
    };
    const std::u16string quoted = u"\"" + utf16(tune.string()) + u"\"";
    const row rows[] = {
        {u"status bgm mode", 128, std::nullopt},
        {u"open " + quoted + u" type sequencer alias bgm", 0, u""},
        {u"open " + quoted + u" type sequencer alias bgm", 0, std::nullopt},
        {u"status bgm mode", 128, u"stopped"},
        {u"play bgm", 0, u""},
        {u"status bgm mode", 128, u"playing"},
        {u"STATUS BGM MODE", 128, u"playing"},
        {u"status bgm mode", 4, u"pla"},
        {u"status bgm mode", 0, u""},
        {u"status bgm position", 128, std::nullopt},
        {u"fly bgm", 0, std::nullopt},
        {u"stop bgm", 0, u""},
        {u"status bgm mode", 128, u"stopped"},
        {u"play bgm", 0, u""},
        {u"seek bgm to start", 0, u""},
        {u"status bgm mode", 128, u"stopped"},
        {u"play bgm", 0, u""},
        {u"status bgm mode", 128, u"playing"},
        {u"close bgm", 0, u""},
        {u"status bgm mode", 128, std::nullopt},
        {u"close bgm", 0, std::nullopt},
        {u"open \"" + utf16((scratch.path() / "missing.tmp").string()) + u"\" type sequencer alias bgm", 0,
         std::nullopt},
        {u"open \"" + utf16((scratch.path() / "notmidi.tmp").string()) + u"\" type sequencer alias bgm", 0,
         std::nullopt},
        {u"open " + quoted + u" type waveaudio alias bgm", 0, std::nullopt},
        {u"open \"" + utf16(tune.string()) + u" type sequencer alias bgm", 0, std::nullopt},
        {u"status bgm mode", 128, std::nullopt},
    };
    for (const row& r : rows) {
        EXPECT_EQ(r.reply, device.send(r.command, r.capacity)) << ascii(r.command) << " / " << r.capacity;
    }
}

TEST(bgmloop, tuneisheardandstartsagainwithin200msofitsend) {
    if (!platform::mci::synthesizerfound() || !platform::mci::soundfont()) {
        GTEST_SKIP() << "FluidSynth or a General MIDI sound font is not installed";
    }
    scratchfolder scratch;
    const std::string tiny = tinytune(scratch.path());  // four chords, one per beat, 2 s in all
    const double tunelength = 2.0;
    std::filesystem::path wav = scratch.path() / "rendered.wav";
    auto device = std::make_shared<platform::mci::device>(rendering(wav));
    std::atomic<bool> started{false};
    bgmsystem system{[&, device](std::u16string_view command, std::size_t capacity) {
                         auto reply = device->send(command, capacity);
                         if (command == u"play bgm") started = true;
                         return reply;
                     },
                     [&] { return std::optional<platform::nativestring>(scratch.path().native()); },
                     [&](std::uint16_t, std::filesystem::path path) {
                         writefile(path, tiny);
                         return true;
                     }};

    std::atomic<bool> playing{true};
    std::thread worker(bgmloopwith, std::ref(playing), std::cref(system));
    for (int i = 0; i < 1000 && !started; ++i) std::this_thread::sleep_for(milliseconds(10));
    std::this_thread::sleep_for(milliseconds(4800));  // two ends and two restarts
    auto cleared = steady_clock::now();
    playing = false;
    worker.join();
    EXPECT_LE(steady_clock::now() - cleared, milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(tunein(scratch.path())));

    loudness rendered(readfile(wav));
    ASSERT_GT(rendered.peak, 1000) << "the rendered tune is (nearly) silent";
    std::optional<std::size_t> start = rendered.firstsound();
    ASSERT_TRUE(start);
    for (int restart = 1; restart <= 2; ++restart) {
        SCOPED_TRACE("restart " + std::to_string(restart));
        // The last chord starts at 1.5 s and rings to the end: the next
        // attack is the tune's first chord again.
        std::size_t end = *start + static_cast<std::size_t>(tunelength / loudness::window);
        std::optional<std::size_t> again = rendered.firstattack(end - 30, end + 50);
        ASSERT_TRUE(again) << "no new start within 0.5 s of the end";
        double gap = rendered.seconds(*again) - rendered.seconds(end);
        EXPECT_GE(gap, -0.02);
        EXPECT_LE(gap, 0.2);
        start = again;
    }
}
