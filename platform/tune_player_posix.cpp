// FluidSynth behind the tune player of the POSIX build.
#include "platform/tune_player_posix.h"

#include <array>
#include <dlfcn.h>
#include <fstream>
#include <string_view>

namespace {

// The few FluidSynth calls the player makes, with the C signatures of the
// library's 2.x series. Its objects stay opaque.
struct fluidsynth {
    using log_function = void (*)(int, const char*, void*);

    void* (*new_settings)();
    void (*delete_settings)(void*);
    int (*set_string)(void*, const char*, const char*);
    void* (*new_synth)(void*);
    void (*delete_synth)(void*);
    int (*load_sound_font)(void*, const char*, int);
    int (*control_change)(void*, int, int, int);
    void* (*new_audio_driver)(void*, void*);
    void (*delete_audio_driver)(void*);
    void* (*new_player)(void*);
    void (*delete_player)(void*);
    int (*player_add)(void*, const char*);
    int (*player_play)(void*);
    int (*player_stop)(void*);
    int (*player_seek)(void*, int);
    int (*player_status)(void*);
    int (*player_current_tick)(void*);
    int (*player_total_ticks)(void*);
    log_function (*set_log_function)(int, log_function, void*);
};

constexpr int fluid_failed = -1;
constexpr int player_playing = 1;  // FLUID_PLAYER_PLAYING
constexpr int log_levels = 5;      // panic, error, warning, information, debug

extern "C" {
// libasound reports errors itself on standard error; the installer's
// console is no place for them.
static void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}
}

template <typename Function>
bool bind(void* library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(dlsym(library, name));
    return target != nullptr;
}

std::optional<fluidsynth> load_fluidsynth() {
    void* library = nullptr;
    for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so.2"}) {
        library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library != nullptr) break;
    }
    if (library == nullptr) return std::nullopt;
    fluidsynth f{};
    bool complete =
        bind(library, "new_fluid_settings", f.new_settings) &&
        bind(library, "delete_fluid_settings", f.delete_settings) &&
        bind(library, "fluid_settings_setstr", f.set_string) && bind(library, "new_fluid_synth", f.new_synth) &&
        bind(library, "delete_fluid_synth", f.delete_synth) && bind(library, "fluid_synth_sfload", f.load_sound_font) &&
        bind(library, "fluid_synth_cc", f.control_change) &&
        bind(library, "new_fluid_audio_driver", f.new_audio_driver) &&
        bind(library, "delete_fluid_audio_driver", f.delete_audio_driver) &&
        bind(library, "new_fluid_player", f.new_player) && bind(library, "delete_fluid_player", f.delete_player) &&
        bind(library, "fluid_player_add", f.player_add) && bind(library, "fluid_player_play", f.player_play) &&
        bind(library, "fluid_player_stop", f.player_stop) && bind(library, "fluid_player_seek", f.player_seek) &&
        bind(library, "fluid_player_get_status", f.player_status) &&
        bind(library, "fluid_player_get_current_tick", f.player_current_tick) &&
        bind(library, "fluid_player_get_total_ticks", f.player_total_ticks) &&
        bind(library, "fluid_set_log_function", f.set_log_function);
    // The library stays loaded for the rest of the process either way.
    if (!complete) return std::nullopt;
    for (int level = 0; level < log_levels; ++level) f.set_log_function(level, nullptr, nullptr);
    if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD)) {
        using alsa_handler = void (*)(const char*, int, const char*, int, const char*, ...);
        int (*set_handler)(alsa_handler) = nullptr;
        if (bind(alsa, "snd_lib_error_set_handler", set_handler)) set_handler(quiet_alsa);
    }
    return f;
}

const fluidsynth* library() {
    static const std::optional<fluidsynth> loaded = load_fluidsynth();
    return loaded ? &*loaded : nullptr;
}

bool starts_with(const std::string& path, std::string_view magic) {
    std::ifstream in(path, std::ios::binary);
    std::string head(magic.size(), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == magic;
}

// One tune at a time. Without a synthesizer it only keeps the state the
// calls imply, so it never reports an end.
class synthesizer_tune_player : public platform::tune_player {
public:
    explicit synthesizer_tune_player(platform::synthesizer_settings settings) : settings_(std::move(settings)) {}
    ~synthesizer_tune_player() override { release(); }

    bool open(const std::filesystem::path& tune_file) override {
        release();
        if (!starts_with(tune_file.string(), "MThd")) return false;
        opened_ = true;
        start_synthesizer(tune_file.string());
        return true;
    }

    void play_from_start() override {
        if (!opened_) return;
        stop();
        if (player_ != nullptr) fs_->player_seek(player_, 0);
        if (player_ != nullptr && fs_->player_play(player_) != 0) return;
        playing_ = true;
    }

    bool has_ended() override {
        if (!playing_ || player_ == nullptr || !played_to_end()) return false;
        playing_ = false;
        return true;
    }

    void close() override {
        stop();
        release();
    }

private:
    void start_synthesizer(const std::string& file) {
        fs_ = library();
        std::optional<std::string> font = platform::sound_font();
        if (fs_ == nullptr || !font) return;
        fluid_settings_ = fs_->new_settings();
        if (fluid_settings_ == nullptr) return;
        bool driver_chosen = false;
        for (const auto& [name, value] : settings_) {
            fs_->set_string(fluid_settings_, name.c_str(), value.c_str());
            driver_chosen = driver_chosen || name == "audio.driver";
        }
        synth_ = fs_->new_synth(fluid_settings_);
        if (synth_ == nullptr) return release_synthesizer();
        driver_ = fs_->new_audio_driver(fluid_settings_, synth_);
        // The library's default output may be the one this system lacks.
        for (const char* name : {"pulseaudio", "alsa"}) {
            if (driver_ != nullptr || driver_chosen) break;
            fs_->set_string(fluid_settings_, "audio.driver", name);
            driver_ = fs_->new_audio_driver(fluid_settings_, synth_);
        }
        if (driver_ == nullptr || fs_->load_sound_font(synth_, font->c_str(), 1) == fluid_failed) {
            return release_synthesizer();
        }
        player_ = fs_->new_player(synth_);
        if (player_ == nullptr || fs_->player_add(player_, file.c_str()) != 0) return release_synthesizer();
    }

    // The player lets the last notes ring for a while after the song's end
    // before it calls itself done; the song has ended at its last tick.
    bool played_to_end() {
        if (fs_->player_status(player_) != player_playing) return true;
        int total = fs_->player_total_ticks(player_);
        return total > 0 && fs_->player_current_tick(player_) >= total;
    }

    void stop() {
        if (player_ != nullptr && playing_) {
            fs_->player_stop(player_);
            // Lets go of every key and the sustain pedal, so stopped notes fade.
            for (int channel = 0; channel < 16; ++channel) {
                fs_->control_change(synth_, channel, 64, 0);
                fs_->control_change(synth_, channel, 123, 0);
            }
        }
        playing_ = false;
    }

    // Sound stops with the driver, before anything it renders from goes.
    void release_synthesizer() {
        if (driver_ != nullptr) fs_->delete_audio_driver(driver_);
        if (player_ != nullptr) fs_->delete_player(player_);
        if (synth_ != nullptr) fs_->delete_synth(synth_);
        if (fluid_settings_ != nullptr) fs_->delete_settings(fluid_settings_);
        driver_ = player_ = synth_ = fluid_settings_ = nullptr;
    }

    void release() {
        release_synthesizer();
        opened_ = false;
        playing_ = false;
    }

    platform::synthesizer_settings settings_;
    const fluidsynth* fs_ = nullptr;
    void* fluid_settings_ = nullptr;
    void* synth_ = nullptr;
    void* driver_ = nullptr;
    void* player_ = nullptr;
    bool opened_ = false;
    bool playing_ = false;  // started, and neither stopped nor seen at its end since
};

}  // namespace

namespace platform {

std::unique_ptr<tune_player> make_synthesizer_tune_player(synthesizer_settings settings) {
    return std::make_unique<synthesizer_tune_player>(std::move(settings));
}

bool synthesizer_available() { return library() != nullptr && sound_font().has_value(); }

std::optional<std::string> sound_font() {
    // Debian's General MIDI fonts: the small one first, then the system's
    // choice of default, then the large one; other systems' usual places.
    static const std::array<const char*, 7> places = {
        "/usr/share/sounds/sf2/TimGM6mb.sf2",      "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",    "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/soundfonts/default.sf2",       "/usr/share/soundfonts/FluidR3_GM.sf2",
        "/usr/share/soundfonts/FluidR3_GM2-2.sf2",
    };
    for (const char* place : places) {
        if (starts_with(place, "RIFF")) return std::string(place);
    }
    return std::nullopt;
}

}  // namespace platform
