// Overwrites the English text region of Data\sharedassets0.assets in place
// with a string table, zero-filling the rest of the region.
#pragma once

#include "platform/file_system.h"
#include "textpatch/locator.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace textpatch {

// Installs a packaged table (the Chinese or the English one) and makes it
// durable: flushed to the disk and read back. Throws core::failure, with
// the file and the system's reason where there is one:
// game_file_unavailable when the asset file is not a regular file, is a
// link, or cannot be opened, read, written, flushed, closed or read back as
// written; text_record_missing when its region is not found, is too small
// for the table, or the table holds the name "French", which would end the
// region inside it at the next install. Nothing is written in any case of
// text_record_missing.
void install_table(platform::file_system& files, std::string_view table, std::ostream& out);

// Developer mode's install: converts the translators' table at csv_path in
// memory and installs it like a packaged table. A table that is not a
// regular file or cannot be opened or read is game_file_unavailable, so a
// missing table never replaces the game's text with an empty one.
void install_developer_table(platform::file_system& files, const std::filesystem::path& csv_path, std::ostream& out);

// What the asset file holds where an install writes, for a report.
enum class region_search { found, no_asset, no_text_record };
struct region_reading {
    region_search result;
    std::string bytes;  // the region's bytes, when found
};

// Locates the region without printing anything and reads it. Throws
// core::failure game_file_unavailable when the asset file is there but is
// not a regular file or cannot be read.
region_reading read_text_region(platform::file_system& files);

// Whether region holds table followed by zero bytes only.
bool holds_table(std::string_view region, std::string_view table);

// The steps of an install.
// Opens the asset file for reading, locates the region (printing the
// locator's lines) and closes the file again.
text_region locate_asset_region(platform::file_system& files, std::ostream& out);
// Opens the asset file for update in place: never created, never
// truncated, never through a link at its name.
std::unique_ptr<platform::updatable_file> open_asset_for_update(platform::file_system& files);
// Writes the table at the region's start, zero-fills the region up to its
// end, flushes and closes the file. A table longer than the region, or one
// that holds "French", is refused with text_record_missing before anything
// is written; a failed seek, write, flush or close is game_file_unavailable.
void write_text_region(platform::updatable_file& asset, const text_region& region, std::string_view table);

}  // namespace textpatch
