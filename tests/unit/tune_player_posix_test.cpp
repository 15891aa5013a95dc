#include "platform/tune_player_posix.h"
#include "music/music.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const std::filesystem::path source_folder = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();

std::string tiny_tune(const std::filesystem::path& folder) {
    const std::filesystem::path file = folder / "tiny.mid";
    const std::filesystem::path generator = source_folder / "tools" / "gentune.py";
    const std::string command = "python3 '" + generator.string() + "' '" + file.string() + "' --tiny";
    EXPECT_EQ(0, std::system(command.c_str()));
    return read_file(file);
}

// A player that renders into a WAV file instead of the audio output.
std::unique_ptr<platform::tune_player> rendering_player(const std::filesystem::path& wav) {
    return platform::make_synthesizer_tune_player(
        {{"audio.driver", "file"}, {"audio.file.name", wav.string()}, {"audio.file.type", "wav"}});
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
                std::size_t per_window = static_cast<std::size_t>(rate * window);
                for (std::size_t first = 0; first + per_window <= frames; first += per_window) {
                    double sum = 0;
                    for (std::size_t i = first * channels; i < (first + per_window) * channels; ++i) {
                        auto sample = static_cast<std::int16_t>(number(at + 8 + 2 * i, 2));
                        sum += double(sample) * sample;
                        peak = std::max(peak, std::abs(int(sample)));
                    }
                    levels.push_back(std::sqrt(sum / double(per_window * channels)));
                }
            }
        }
    }

    double seconds(std::size_t index) const { return double(index) * window; }

    // The first window at or after from that is audible at all.
    std::optional<std::size_t> first_sound(std::size_t from = 0) const {
        for (std::size_t i = from; i < levels.size(); ++i) {
            if (levels[i] > 30) return i;
        }
        return std::nullopt;
    }

    // The first attack in [from, to): a loud window at least half again as
    // loud as the one before it. A chord that rings or fades has none.
    std::optional<std::size_t> first_attack(std::size_t from, std::size_t to) const {
        double loud = 0.2 * *std::max_element(levels.begin(), levels.end());
        for (std::size_t i = std::max<std::size_t>(from, 1); i < std::min(to, levels.size()); ++i) {
            if (levels[i] > loud && levels[i] > 1.5 * levels[i - 1]) return i;
        }
        return std::nullopt;
    }
};

}  // namespace

// What the player says to each call, with or without a synthesizer: it
// never reports an end it has not seen, and refuses files that are no tune.
TEST(synthesizer_tune_player, answers_in_every_state) {
    scoped_temp_folder folder;
    std::filesystem::create_directory("with space");
    const std::filesystem::path tune = folder.path() / "with space" / "tune file.tmp";
    write_file(tune, tiny_tune(folder.path()));
    write_file("not midi.tmp", "RIFF....");
    std::unique_ptr<platform::tune_player> player = rendering_player(folder.path() / "out.wav");

    EXPECT_FALSE(player->has_ended()) << "nothing opened";
    player->play_from_start();
    EXPECT_FALSE(player->has_ended());
    EXPECT_FALSE(player->open(folder.path() / "missing.tmp"));
    EXPECT_FALSE(player->open(folder.path() / "not midi.tmp"));
    EXPECT_FALSE(player->open(folder.path()));
    ASSERT_TRUE(player->open(tune));
    EXPECT_FALSE(player->has_ended()) << "opened, not started";
    player->play_from_start();
    EXPECT_FALSE(player->has_ended()) << "just started";
    player->play_from_start();
    EXPECT_FALSE(player->has_ended()) << "started again";
    player->close();
    EXPECT_FALSE(player->has_ended()) << "closed";
    player->close();
    ASSERT_TRUE(player->open(tune)) << "open again after a close";
    player->close();
}

TEST(synthesizer_tune_player, tune_is_heard_and_starts_again_within_200_ms_of_its_end) {
    if (!platform::synthesizer_available()) {
        GTEST_SKIP() << "FluidSynth or a General MIDI sound font is not installed";
    }
    scoped_temp_folder folder;
    const std::string tiny = tiny_tune(folder.path());  // four chords, one per beat, 2 s in all
    const double tune_length = 2.0;
    const std::filesystem::path wav = folder.path() / "rendered.wav";
    std::atomic<bool> started{false};

    // The loop as the installer runs it, with a player that renders and
    // says when the tune first started.
    struct watched_player : platform::tune_player {
        std::unique_ptr<platform::tune_player> inner;
        std::atomic<bool>& started;
        watched_player(std::unique_ptr<platform::tune_player> p, std::atomic<bool>& s)
            : inner(std::move(p)), started(s) {}
        bool open(const std::filesystem::path& file) override { return inner->open(file); }
        void play_from_start() override {
            inner->play_from_start();
            started = true;
        }
        bool has_ended() override { return inner->has_ended(); }
        void close() override { inner->close(); }
    };
    music::music_system system;
    system.make_player = [&] { return std::make_unique<watched_player>(rendering_player(wav), started); };
    system.temp_folder = [&] { return std::optional<std::filesystem::path>(folder.path()); };
    system.write_tune = [&](const std::filesystem::path& file) {
        write_file(file, tiny);
        return payload::write_result::written;
    };

    std::atomic<bool> playing{true};
    std::thread worker(music::play_loop, std::ref(playing), std::cref(system));
    for (int i = 0; i < 1000 && !started; ++i) std::this_thread::sleep_for(milliseconds(10));
    std::this_thread::sleep_for(milliseconds(4800));  // two ends and two restarts
    auto cleared = steady_clock::now();
    playing = false;
    worker.join();
    EXPECT_LE(steady_clock::now() - cleared, milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(music::tune_file_in(folder.path())));

    loudness rendered(read_file(wav));
    ASSERT_GT(rendered.peak, 1000) << "the rendered tune is (nearly) silent";
    std::optional<std::size_t> start = rendered.first_sound();
    ASSERT_TRUE(start);
    for (int restart = 1; restart <= 2; ++restart) {
        SCOPED_TRACE("restart " + std::to_string(restart));
        // The last chord starts at 1.5 s and rings to the end: the next
        // attack is the tune's first chord again.
        std::size_t end = *start + static_cast<std::size_t>(tune_length / loudness::window);
        std::optional<std::size_t> again = rendered.first_attack(end - 30, end + 50);
        ASSERT_TRUE(again) << "no new start within 0.5 s of the end";
        double gap = rendered.seconds(*again) - rendered.seconds(end);
        EXPECT_GE(gap, -0.02);
        EXPECT_LE(gap, 0.2);
        start = again;
    }
}
