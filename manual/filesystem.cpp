#include "manual/filesystem.h"

namespace files {

bool exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool remove(const fs::path& path) {
    std::error_code error;
    auto status = fs::symlink_status(path, error);
    // The library would take an empty folder too; a file deletion must not.
    if (error || !fs::exists(status) || fs::is_directory(status)) return false;
    return fs::remove(path, error) && !error;
}

namespace {

// Removes path and below; clears ok at the first entry that refuses.
std::uintmax_t removetree(const fs::path& path, bool& ok) {
    std::error_code error;
    auto status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) return 0;
    if (!fs::is_directory(status)) {
        ok = files::remove(path);
        return ok ? 1 : 0;
    }
    std::uintmax_t count = 0;
    fs::directory_iterator entries(path, error);
    for (; ok && !error && entries != fs::directory_iterator(); entries.increment(error)) {
        count += removetree(entries->path(), ok);
    }
    if (error) ok = false;
    if (ok) ok = fs::remove(path, error) && !error;
    return count;
}

}  // namespace

std::uintmax_t remove_all(const fs::path& path) {
    bool ok = true;
    return removetree(path, ok);
}

bool rename(const fs::path& from, const fs::path& to) {
    if (files::exists(to) && !files::remove(to)) return false;
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
}

}  // namespace files

bool deleteifexists(fs::path path) {
    bool present = files::exists(path);
    bool deleted = files::remove(path);
    return present == deleted;
}

bool removetreeifexists(fs::path path) {
    bool present = files::exists(path);
    bool removedfiles = files::remove_all(path) != 0;
    return present == removedfiles;
}
