// The seam between the installer and the operating system, in the
// installer's own terms. Everything that differs between Windows and POSIX
// lives behind these declarations; platform_win32.cpp and platform_posix.cpp
// implement them. Nothing here knows about failure codes: each call answers
// with a value and the caller decides what a refusal means to the player.
#pragma once

#include "platform/file_system.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

// --- The console ------------------------------------------------------------
// Dressing requests are never checked: a console that refuses one simply
// keeps its old look.

// Shows the executable's icon (resource 120) on the console window.
void show_console_icon();
void set_console_title(std::u16string_view title);
void size_console(short columns, short rows);
void clear_console();
// Waits for one key press, without echo and without a prompt.
void wait_for_key();
void pause_for(unsigned milliseconds);

// The single sink of console text, standard output or standard error. The
// bytes are GBK; a console or terminal that expects another encoding gets
// them converted, anything else (a pipe, a file) gets them unchanged.
enum class console_stream { output, error };
void write_console(console_stream stream, const char* gbk, std::size_t size);

// The arguments the program was started with, after its own name, as the
// system gives them: from the wide command line on Windows, so that a
// folder's name keeps every character.
std::vector<std::filesystem::path> program_arguments(int argc, char** argv);

// --- Payloads ---------------------------------------------------------------

// The bytes of the payload with this id, where they lie in the running
// executable; they stay valid until the process ends. Nothing when the
// payload is missing or empty.
std::optional<std::string_view> payload_bytes(std::uint16_t id);

// --- Game files ---------------------------------------------------------------

// A path written the Windows way ("Data\\sharedassets0.assets"), with the
// separators of this platform.
std::filesystem::path game_path(std::string_view windows_path);

// Makes the folder the current one, for the rest of the run.
io_status enter_folder(const std::filesystem::path& folder);

// --- Music --------------------------------------------------------------------

// Plays one MIDI tune. Every call may be refused silently: a player that
// could not open its tune stays quiet and never reports an end.
class tune_player {
public:
    virtual ~tune_player() = default;
    // Opens the tune file; false when it cannot be played.
    virtual bool open(const std::filesystem::path& tune_file) = 0;
    // Starts the tune from its beginning.
    virtual void play_from_start() = 0;
    // True only when the player says for certain that the tune has played to
    // its end.
    virtual bool has_ended() = 0;
    // Stops the tune and lets go of the file.
    virtual void close() = 0;
};

// The system's tune player.
std::unique_ptr<tune_player> make_tune_player();

// The folder for temporary files, as the environment names it, unchanged;
// nothing when the environment names none.
std::optional<std::filesystem::path> temp_folder();

}  // namespace platform
