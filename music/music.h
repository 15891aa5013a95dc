// The background tune, looped by a worker thread for as long as the run
// keeps its flag set.
#pragma once

#include "payload/payload.h"
#include "platform/platform.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>

namespace music {

// The tune file's name inside the temporary folder.
inline constexpr char tune_file_name[] = "varnholt_chinese_bgm.tmp";

// What the loop takes from the system. The installer's loop uses the
// platform and the payloads; tests hand in players and tunes of their own.
struct music_system {
    std::function<std::unique_ptr<platform::tune_player>()> make_player = platform::make_tune_player;
    std::function<std::optional<std::filesystem::path>()> temp_folder = platform::temp_folder;
    // Writes the tune to the file; anything but written means no music.
    std::function<payload::write_result(const std::filesystem::path& file)> write_tune;
    // Deletes the tune file after the music.
    std::function<void(const std::filesystem::path& file)> remove_tune = [](const std::filesystem::path& file) {
        (void)platform::system_file_system().remove_file(file);
    };
};

// The installer's own system: the platform's player and temporary folder,
// and the tune among the payloads.
music_system installer_music_system();

// The worker's body: writes the tune into the temporary folder, opens it
// and plays it, starting it again each time it has played to its end,
// until it sees playing false; then closes the player and deletes the file.
// Without a temporary folder, without the tune among the payloads, or when
// the tune file cannot be made, there is no music and it returns at once.
void play_loop(std::atomic<bool>& playing, const music_system& system);

// The tune file in a temporary folder: the folder's name as the environment
// gives it, a separator and the file name.
std::filesystem::path tune_file_in(const std::filesystem::path& folder);

}  // namespace music
