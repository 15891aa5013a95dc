// A run with arguments: a command for scripts, --help, --version, or the
// interactive run with options.
#pragma once

#include "app/command_line.h"
#include "platform/file_system.h"

#include <filesystem>
#include <functional>
#include <istream>
#include <ostream>
#include <vector>

namespace app {

// Runs what the arguments ask for and returns the exit status (see
// help_text). Usage errors go to errors; everything else to out, as the
// interactive run prints it. A command runs on the game folder without
// screens, key waits or music; interactive(music) runs the interactive
// installer.
int run_with_arguments(const std::vector<std::filesystem::path>& arguments, platform::file_system& files,
                       platform::process_runner& processes, std::istream& in, std::ostream& out, std::ostream& errors,
                       const std::function<int(bool music)>& interactive);

// Runs one function unattended on the current folder and returns the exit
// status: done, failed (with the failure's message), declined at the
// integrity question, or a usage error for a function that developer mode
// does not offer.
int run_function_unattended(installer_function function, const invocation& invocation, platform::file_system& files,
                            platform::process_runner& processes, std::istream& in, std::ostream& out,
                            std::ostream& errors);

}  // namespace app
