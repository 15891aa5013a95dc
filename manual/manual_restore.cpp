#include "core/failure.h"
#include "manual/file_helpers.h"
#include "manual/manual.h"
#include "manual/working_files.h"

namespace manual {

void restore() {
    using core::failure_code;
    // A log the user deleted, or one a failed restore already took, is no
    // reason to stop: the backup is what matters.
    if (!delete_file_if_present(platform::game_path("zelt.log"))) throw core::failure{failure_code::delete_failed};
    if (!clear_working_files()) throw core::failure{failure_code::delete_failed};
    // One rename that replaces the archive: until it is done, the archive
    // and its backup both stay as they are.
    if (!platform::replace_file(platform::game_path(backup_name), platform::game_path(archive_name))) {
        throw core::failure{failure_code::rename_failed};
    }
}

}  // namespace manual
