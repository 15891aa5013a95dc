// The start screen and the menu keys: the banner with the credits and the
// menu, or the notice of developer mode.
#pragma once

#include "app/functions.h"

#include <istream>
#include <optional>
#include <ostream>

namespace app {

// The version, as the version block of the executable holds it.
inline constexpr char version_text[] = VARNHOLT_VERSION_TEXT;
inline constexpr char16_t version_text_wide[] = u"" VARNHOLT_VERSION_TEXT;

// Sizes the console and prints the screen for the mode. Throws core::failure
// payload_unavailable when the banner payload cannot be had, in either mode.
void show_menu(std::ostream& out, bool developer_mode);

// The function a menu byte selects in the mode, if any: keys 1 to 4, of
// which developer mode offers only 1 and 3.
std::optional<installer_function> function_for_key(char key, bool developer_mode);

// Reads menu bytes until a valid one arrives and returns its function,
// answering every invalid one and dropping the rest of its line; nothing at
// the end of input. The rest of a valid key's line stays unread.
std::optional<installer_function> read_menu_choice(std::istream& in, std::ostream& out, bool developer_mode);

}  // namespace app
