// The console text of every failure code.
#pragma once

#include "core/failure.h"

#include <string>

namespace app {

// The message for a failure code, GBK, without line ends around it. A code
// without a message of its own gets the unknown-error text with its number.
std::string failure_message(core::failure_code code);

}  // namespace app
