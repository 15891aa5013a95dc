#include "manual/file_helpers.h"

namespace manual {

namespace fs = std::filesystem;

bool entry_exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool delete_file(const fs::path& path) {
    std::error_code error;
    auto status = fs::symlink_status(path, error);
    // The library would take an empty folder too; a file deletion must not.
    if (error || !fs::exists(status) || fs::is_directory(status)) return false;
    return fs::remove(path, error) && !error;
}

namespace {

// Deletes path and below; clears ok at the first entry that refuses.
std::uintmax_t delete_tree(const fs::path& path, bool& ok) {
    std::error_code error;
    auto status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) return 0;
    if (!fs::is_directory(status)) {
        ok = delete_file(path);
        return ok ? 1 : 0;
    }
    std::uintmax_t count = 0;
    fs::directory_iterator entries(path, error);
    for (; ok && !error && entries != fs::directory_iterator(); entries.increment(error)) {
        count += delete_tree(entries->path(), ok);
    }
    if (error) ok = false;
    if (ok) ok = fs::remove(path, error) && !error;
    return count;
}

}  // namespace

std::uintmax_t delete_tree_counting_files(const fs::path& path) {
    bool ok = true;
    return delete_tree(path, ok);
}

bool delete_file_if_present(const fs::path& path) {
    bool present = entry_exists(path);
    bool deleted = delete_file(path);
    return present == deleted;
}

bool delete_tree_if_present(const fs::path& path) {
    bool present = entry_exists(path);
    bool deleted_files = delete_tree_counting_files(path) != 0;
    return present == deleted_files;
}

}  // namespace manual
