// The small file operations of the manual functions. None of them raises:
// each answers with a boolean or a count and the calling step picks the
// failure code. copyfile is the exception: it raises the library's
// filesystem_error.
#pragma once

#include <cstdint>
#include <filesystem>

namespace fs = std::filesystem;

// The library operations the manual functions rely on, with exactly the
// behaviour they rely on. Call them qualified: the names are the library's.
namespace files {

// A path exists when its status can be had and is not "not found".
bool exists(const fs::path& path);

// Deletes one file; false for a missing file, a folder, or a refusal.
bool remove(const fs::path& path);

// Removes a file, or a folder with everything in it (folders depth first),
// stopping at the first entry that cannot go. Counts deleted files only.
std::uintmax_t remove_all(const fs::path& path);

// Replaces a file: an existing target is deleted first; false when that or
// the rename fails.
bool rename(const fs::path& from, const fs::path& to);

}  // namespace files

// True when the file was absent, or present and deleted.
bool deleteifexists(fs::path path);

// True when the folder was absent, or present and at least one file was
// removed from it. An empty folder is removed and still answers false.
bool removetreeifexists(fs::path path);
