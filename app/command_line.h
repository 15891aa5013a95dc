// The installer's command line: a command for scripts, and options. Without
// arguments the installer runs interactively, exactly as it always has.
#pragma once

#include "app/functions.h"

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace app {

enum class command { interactive, status, help, version, function };

// What the arguments ask for.
struct invocation {
    command what = command::interactive;
    installer_function function = installer_function::install_text;  // for command::function
    std::optional<std::filesystem::path> game_folder;                // --game: run there instead of the current folder
    bool music = true;                                               // --no-music clears it
    std::optional<bool> go_on;                                       // --yes (true) or --no (false) at the question
};

// Arguments the installer does not understand: the message, GBK, one line.
struct usage_error {
    std::string message;
};

// Reads the arguments after the program's name. Options may stand before
// or after the command; at most one command is given.
std::variant<invocation, usage_error> parse_command_line(const std::vector<std::filesystem::path>& arguments);

// The text of --help, GBK, ending with a line end.
std::string help_text();

// The exit statuses of a run with arguments.
inline constexpr int exit_done = 0;
inline constexpr int exit_failed = 1;
inline constexpr int exit_usage = 2;
inline constexpr int exit_declined = 3;

}  // namespace app
