// The small file operations of the manual functions. None of them throws:
// each answers with a boolean or a count and the calling step picks the
// failure code. Paths are taken as they are, relative to the game folder.
#pragma once

#include <cstdint>
#include <filesystem>

namespace manual {

// An entry exists when its own status (links not followed) can be had and
// is not "not found".
bool entry_exists(const std::filesystem::path& path);

// Deletes one file; false for a missing file, a folder, or a refusal.
bool delete_file(const std::filesystem::path& path);

// Deletes a file, or a folder with everything in it (folders depth first),
// stopping at the first entry that cannot go. Counts deleted files only.
std::uintmax_t delete_tree_counting_files(const std::filesystem::path& path);

// True when the file was absent, or present and deleted.
bool delete_file_if_present(const std::filesystem::path& path);

// True when the folder was absent, or present and at least one file was
// deleted from it. An empty folder is deleted and still answers false.
bool delete_tree_if_present(const std::filesystem::path& path);

}  // namespace manual
