// Developer mode's text install: the translators' own table, converted into
// the game's form, goes into the English text region of the asset file.
#pragma once

#include <ostream>
#include <string>

// Locates the region of Data\sharedassets0.assets (printing the locator's
// lines), converts the table at path (written the Windows way) in memory and
// writes it into the region like a packaged table, zero-filling the rest.
// Raises errortype code 2 when the asset file cannot be opened, written or
// closed, and also when the table cannot be opened or read: a missing table
// must not replace the game's text with an empty one. Raises code 9 when the
// region is not found or the converted table does not fit it. Nothing is
// written to the asset file in any case that raises before the write.
void installtesttext(const std::string& path, std::ostream& out);
