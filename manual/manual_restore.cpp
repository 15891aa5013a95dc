#include "core/failure.h"
#include "manual/manual.h"
#include "manual/working_files.h"
#include "platform/platform.h"

namespace manual {

void restore(platform::file_system& files) {
    // A log the user deleted, or one a failed restore already took, is no
    // reason to stop: the backup is what matters.
    clear_working_files(files, log_handling::remove);
    // One rename that replaces the archive: until it is done, the archive
    // and its backup both stay as they are.
    const platform::io_status replaced =
        files.replace_file(platform::game_path(backup_name), platform::game_path(archive_name));
    if (!replaced) core::fail(core::failure_code::rename_failed, platform::describe(replaced.error()));
}

}  // namespace manual
