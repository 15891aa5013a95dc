#include "manual/working_files.h"

#include "core/failure.h"
#include "platform/platform.h"

namespace manual {

namespace {

void remove(platform::file_system& files, const char* windows_path, bool tree) {
    const auto path = platform::game_path(windows_path);
    const platform::io_result<platform::removal> removed = tree ? files.remove_tree(path) : files.remove_file(path);
    if (!removed) core::fail(core::failure_code::delete_failed, platform::describe(removed.error()));
}

}  // namespace

void clear_working_files(platform::file_system& files, log_handling log) {
    for (const char* name : archiver_files) remove(files, name, false);
    remove(files, pages_name, false);
    if (log == log_handling::remove) remove(files, log_name, false);
    remove(files, unpacked_name, true);
    remove(files, partial_backup_name, false);
    remove(files, archiver_partial_name, false);
}

}  // namespace manual
