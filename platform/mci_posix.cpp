// The POSIX multimedia device: MIDI sequencers driven by command strings and
// played by FluidSynth. The library is loaded when the first file is opened,
// never linked, so the installer runs the same where it is missing.
#include "platform/mci_posix.h"

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace {

// The few FluidSynth calls the device makes, with the C signatures of the
// library's 2.x series. Its objects stay opaque.
struct fluidsynth {
    using logfunction = void (*)(int, const char*, void*);

    void* (*newsettings)();
    void (*deletesettings)(void*);
    int (*setstr)(void*, const char*, const char*);
    void* (*newsynth)(void*);
    void (*deletesynth)(void*);
    int (*sfload)(void*, const char*, int);
    int (*cc)(void*, int, int, int);
    void* (*newaudiodriver)(void*, void*);
    void (*deleteaudiodriver)(void*);
    void* (*newplayer)(void*);
    void (*deleteplayer)(void*);
    int (*playeradd)(void*, const char*);
    int (*playerplay)(void*);
    int (*playerstop)(void*);
    int (*playerseek)(void*, int);
    int (*playerstatus)(void*);
    int (*playercurrenttick)(void*);
    int (*playertotalticks)(void*);
    logfunction (*setlogfunction)(int, logfunction, void*);
};

constexpr int fluidfailed = -1;
constexpr int playerplaying = 1;  // FLUID_PLAYER_PLAYING
constexpr int loglevels = 5;      // panic, error, warning, information, debug

extern "C" {
// libasound reports errors itself on standard error; the installer's
// console is no place for them.
static void quietalsa(const char*, int, const char*, int, const char*, ...) {}
}

template <typename function>
bool bind(void* library, const char* name, function& target) {
    target = reinterpret_cast<function>(dlsym(library, name));
    return target != nullptr;
}

std::optional<fluidsynth> loadfluidsynth() {
    void* library = nullptr;
    for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so.2"}) {
        library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library != nullptr) break;
    }
    if (library == nullptr) return std::nullopt;
    fluidsynth f{};
    bool complete = bind(library, "new_fluid_settings", f.newsettings) &&
                    bind(library, "delete_fluid_settings", f.deletesettings) &&
                    bind(library, "fluid_settings_setstr", f.setstr) &&
                    bind(library, "new_fluid_synth", f.newsynth) &&
                    bind(library, "delete_fluid_synth", f.deletesynth) &&
                    bind(library, "fluid_synth_sfload", f.sfload) && bind(library, "fluid_synth_cc", f.cc) &&
                    bind(library, "new_fluid_audio_driver", f.newaudiodriver) &&
                    bind(library, "delete_fluid_audio_driver", f.deleteaudiodriver) &&
                    bind(library, "new_fluid_player", f.newplayer) &&
                    bind(library, "delete_fluid_player", f.deleteplayer) &&
                    bind(library, "fluid_player_add", f.playeradd) &&
                    bind(library, "fluid_player_play", f.playerplay) &&
                    bind(library, "fluid_player_stop", f.playerstop) &&
                    bind(library, "fluid_player_seek", f.playerseek) &&
                    bind(library, "fluid_player_get_status", f.playerstatus) &&
                    bind(library, "fluid_player_get_current_tick", f.playercurrenttick) &&
                    bind(library, "fluid_player_get_total_ticks", f.playertotalticks) &&
                    bind(library, "fluid_set_log_function", f.setlogfunction);
    // The library stays loaded for the rest of the process either way.
    if (!complete) return std::nullopt;
    for (int level = 0; level < loglevels; ++level) f.setlogfunction(level, nullptr, nullptr);
    if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD)) {
        using alsahandler = void (*)(const char*, int, const char*, int, const char*, ...);
        int (*sethandler)(alsahandler) = nullptr;
        if (bind(alsa, "snd_lib_error_set_handler", sethandler)) sethandler(quietalsa);
    }
    return f;
}

const fluidsynth* library() {
    static const std::optional<fluidsynth> loaded = loadfluidsynth();
    return loaded ? &*loaded : nullptr;
}

bool readable(const std::string& path, std::string_view magic) {
    std::ifstream in(path, std::ios::binary);
    std::string head(magic.size(), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == magic;
}

std::string lowercase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Words separated by blanks; a word in double quotes may hold blanks and
// loses its quotes.
std::optional<std::vector<std::string>> splitwords(const std::string& command) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (true) {
        while (at < command.size() && command[at] == ' ') ++at;
        if (at == command.size()) return words;
        if (command[at] == '"') {
            std::size_t end = command.find('"', at + 1);
            if (end == std::string::npos) return std::nullopt;
            words.push_back(command.substr(at + 1, end - at - 1));
            at = end + 1;
        } else {
            std::size_t end = command.find(' ', at);
            if (end == std::string::npos) end = command.size();
            words.push_back(command.substr(at, end - at));
            at = end;
        }
    }
}

}  // namespace

namespace platform::mci {

// One opened file. With a synthesizer it plays through the player; without
// one it only keeps the mode the commands imply.
struct device::sequencer {
    const fluidsynth* fs = nullptr;
    void* settings = nullptr;
    void* synth = nullptr;
    void* driver = nullptr;
    void* player = nullptr;
    bool playing = false;  // play was sent and neither stop, seek nor the end came since
    bool atend = false;    // played to its end: play starts nothing until a seek

    sequencer() = default;
    sequencer(const sequencer&) = delete;
    sequencer& operator=(const sequencer&) = delete;
    ~sequencer() { silence(); }

    // Sound stops with the driver, before anything it renders from goes.
    void silence() {
        if (driver != nullptr) fs->deleteaudiodriver(driver);
        if (player != nullptr) fs->deleteplayer(player);
        if (synth != nullptr) fs->deletesynth(synth);
        if (settings != nullptr) fs->deletesettings(settings);
        driver = player = synth = settings = nullptr;
    }

    void start(const std::string& file, const settinglist& chosen) {
        fs = library();
        std::optional<std::string> font = soundfont();
        if (fs == nullptr || !font) return;
        settings = fs->newsettings();
        if (settings == nullptr) return;
        bool driverchosen = false;
        for (const auto& [name, value] : chosen) {
            fs->setstr(settings, name.c_str(), value.c_str());
            driverchosen = driverchosen || name == "audio.driver";
        }
        synth = fs->newsynth(settings);
        if (synth == nullptr) return silence();
        driver = fs->newaudiodriver(settings, synth);
        // The library's default output may be the one this system lacks.
        for (const char* name : {"pulseaudio", "alsa"}) {
            if (driver != nullptr || driverchosen) break;
            fs->setstr(settings, "audio.driver", name);
            driver = fs->newaudiodriver(settings, synth);
        }
        if (driver == nullptr || fs->sfload(synth, font->c_str(), 1) == fluidfailed) return silence();
        player = fs->newplayer(synth);
        if (player == nullptr || fs->playeradd(player, file.c_str()) != 0) return silence();
    }

    // Lets go of every key and the sustain pedal, so stopped notes fade out.
    void releasenotes() {
        for (int channel = 0; channel < 16; ++channel) {
            fs->cc(synth, channel, 64, 0);
            fs->cc(synth, channel, 123, 0);
        }
    }

    void stop() {
        if (player != nullptr && playing) {
            fs->playerstop(player);
            releasenotes();
        }
        playing = false;
    }

    void seekstart() {
        stop();
        if (player != nullptr) fs->playerseek(player, 0);
        atend = false;
    }

    void play() {
        if (playing || atend) return;
        if (player != nullptr && fs->playerplay(player) != 0) return;
        playing = true;
    }

    // The player lets the last notes ring for a while after the song's end
    // before it calls itself done; the song has ended at its last tick.
    bool ended() {
        if (fs->playerstatus(player) != playerplaying) return true;
        int total = fs->playertotalticks(player);
        return total > 0 && fs->playercurrenttick(player) >= total;
    }

    const char16_t* mode() {
        if (playing && player != nullptr && ended()) {
            playing = false;
            atend = true;
        }
        return playing ? u"playing" : u"stopped";
    }
};

device::device(settinglist chosen) : settings(std::move(chosen)) {}

device::~device() = default;

std::optional<std::u16string> device::send(std::u16string_view command, std::size_t replycapacity) {
    std::optional<std::vector<std::string>> words = splitwords(bytesof(command));
    if (!words || words->empty()) return std::nullopt;
    std::lock_guard<std::mutex> guard(lock);
    std::optional<std::u16string> reply = execute(*words);
    if (!reply) return std::nullopt;
    if (replycapacity == 0) return std::u16string();
    if (reply->size() >= replycapacity) reply->resize(replycapacity - 1);
    return reply;
}

std::optional<std::u16string> device::execute(const std::vector<std::string>& words) {
    const std::string verb = lowercase(words[0]);
    if (verb == "open") {
        if (words.size() < 2) return std::nullopt;
        std::string file = words[1];
        std::string alias = file;
        std::string type;
        for (std::size_t i = 2; i < words.size(); i += 2) {
            std::string keyword = lowercase(words[i]);
            if (i + 1 == words.size()) return std::nullopt;
            if (keyword == "type") {
                type = lowercase(words[i + 1]);
            } else if (keyword == "alias") {
                alias = words[i + 1];
            } else {
                return std::nullopt;
            }
        }
        alias = lowercase(alias);
        if (type != "sequencer" || aliases.count(alias) != 0 || !readable(file, "MThd")) return std::nullopt;
        auto opened = std::make_unique<sequencer>();
        opened->start(file, settings);
        aliases.emplace(alias, std::move(opened));
        return std::u16string();
    }
    if (words.size() < 2) return std::nullopt;
    auto found = aliases.find(lowercase(words[1]));
    if (found == aliases.end()) return std::nullopt;
    sequencer& s = *found->second;
    std::vector<std::string> rest;
    for (std::size_t i = 2; i < words.size(); ++i) rest.push_back(lowercase(words[i]));
    using words_t = std::vector<std::string>;
    if (verb == "seek" && rest == words_t{"to", "start"}) {
        s.seekstart();
    } else if (verb == "play" && rest.empty()) {
        s.play();
    } else if (verb == "status" && rest == words_t{"mode"}) {
        return std::u16string(s.mode());
    } else if (verb == "stop" && rest.empty()) {
        s.stop();
    } else if (verb == "close" && rest.empty()) {
        aliases.erase(found);
    } else {
        return std::nullopt;
    }
    return std::u16string();
}

std::optional<std::u16string> send(std::u16string_view command, std::size_t replycapacity) {
    // Never destroyed: the worker closes what it opened before the process
    // ends, and nothing is left to tear down while exit runs.
    static device* shared = new device();
    return shared->send(command, replycapacity);
}

bool synthesizerfound() { return library() != nullptr; }

std::optional<std::string> soundfont() {
    // Debian's General MIDI fonts: the small one first, then the system's
    // choice of default, then the large one; other systems' usual places.
    static const std::array<const char*, 7> places = {
        "/usr/share/sounds/sf2/TimGM6mb.sf2",      "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",    "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/soundfonts/default.sf2",       "/usr/share/soundfonts/FluidR3_GM.sf2",
        "/usr/share/soundfonts/FluidR3_GM2-2.sf2",
    };
    for (const char* place : places) {
        if (readable(place, "RIFF")) return std::string(place);
    }
    return std::nullopt;
}

}  // namespace platform::mci

// UTF-16 to the bytes of a file name. Lone surrogates U+DC80 to U+DCFF stand
// for bytes that were not UTF-8 in the name they came from.
std::string platform::mci::bytesof(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xDC80 && c < 0xDD00) {
            out += static_cast<char>(c - 0xDC00);
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
