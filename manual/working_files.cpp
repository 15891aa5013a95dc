#include "manual/working_files.h"

#include "manual/file_helpers.h"
#include "platform/platform.h"

namespace manual {

bool clear_working_files() {
    for (const char* name : archiver_files) {
        if (!delete_file_if_present(platform::game_path(name))) return false;
    }
    if (!delete_file_if_present(platform::game_path("book.zip"))) return false;
    // Whether temp held any file does not matter here, only that it is gone.
    const std::filesystem::path temp = platform::game_path("temp");
    delete_tree_counting_files(temp);
    if (entry_exists(temp)) return false;
    return delete_file_if_present(platform::game_path(partial_backup_name)) &&
           delete_file_if_present(platform::game_path(archiver_partial_name));
}

}  // namespace manual
