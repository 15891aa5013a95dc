// The installer's four functions, as the menu offers them.
#pragma once

#include "platform/file_system.h"

#include <istream>
#include <optional>
#include <ostream>

namespace app {

enum class installer_function { install_text, restore_text, install_manual, restore_manual };

enum class function_outcome { completed, declined };

// What a function needs from its run.
struct function_context {
    platform::file_system& files;
    platform::process_runner& processes;
    bool developer_mode;
    std::istream& in;   // answers to the integrity question
    std::ostream& out;  // progress lines
    // The answer to the integrity question given in advance (go on or not);
    // none: it is read from in.
    std::optional<bool> go_on = std::nullopt;
};

// Runs one function on the game folder, the current directory, holding the
// folder's lock: while another installer holds it, the function fails with
// game_file_unavailable before it changes anything. Every operation on the
// game's files goes through the context's file system and process runner. Returns declined when
// the user declined at the integrity question; throws core::failure when
// the function cannot finish.
function_outcome run_function(installer_function function, const function_context& context);

}  // namespace app
