// What the game folder holds now, for the player and for support.
#pragma once

#include "platform/file_system.h"

#include <ostream>

namespace app {

// Prints one line for the game text and one for the manual, in Chinese,
// and changes nothing. Throws core::failure game_file_unavailable when a
// file that is there cannot be read.
void report_status(platform::file_system& files, std::ostream& out);

}  // namespace app
