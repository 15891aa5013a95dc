#include "music/music.h"

namespace music {

std::filesystem::path tune_file_in(const std::filesystem::path& folder) {
    // Joined as text: the folder's name stays exactly as the environment
    // gives it, even when it ends in a separator.
    std::filesystem::path::string_type name = folder.native();
    name += std::filesystem::path::preferred_separator;
    for (const char* c = tune_file_name; *c != '\0'; ++c) name += static_cast<std::filesystem::path::value_type>(*c);
    return name;
}

music_system installer_music_system() {
    music_system system;
    system.write_tune = [](const std::filesystem::path& file) {
        const std::optional<std::string_view> tune = payload::bytes_of(payload::payload_id::tune);
        if (!tune) return payload::write_result::payload_unavailable;
        // Whatever stands at the name goes first, a planted link included;
        // the tune is then written only into a file of its own making.
        platform::file_system& files = platform::system_file_system();
        (void)files.remove_file(file);
        return files.create_file(file, *tune) ? payload::write_result::written
                                              : payload::write_result::file_not_written;
    };
    return system;
}

void play_loop(std::atomic<bool>& playing, const music_system& system) {
    std::optional<std::filesystem::path> folder = system.temp_folder();
    if (!folder) return;
    const std::filesystem::path tune_file = tune_file_in(*folder);
    if (system.write_tune(tune_file) != payload::write_result::written) return;
    // A tune the player cannot open leaves it silent; the run goes on
    // without music and every later call is harmless.
    std::unique_ptr<platform::tune_player> player = system.make_player();
    player->open(tune_file);
    player->play_from_start();
    while (playing) {
        if (player->has_ended()) player->play_from_start();
        platform::pause_for(100);
    }
    player->close();
    if (system.remove_tune) system.remove_tune(tune_file);
}

}  // namespace music
