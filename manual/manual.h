// Installing the translated technical manual into TechnicalManual\package.nw
// through the bundled archiver, and putting the English archive back.
#pragma once

#include "platform/file_system.h"

#include <filesystem>
#include <functional>
#include <ostream>

namespace manual {

struct install_options {
    // Developer mode: the pages come from zelttest\book.zip and the
    // archiver's listing of the update is shown.
    bool developer_mode = false;
    // Whether a file is the untouched English manual archive. An existing
    // backup is kept unless the archive is that and the backup is not.
    std::function<bool(const std::filesystem::path&)> is_english_original;
};

// Puts the translated pages into TechnicalManual\package.nw, keeping the
// English archive in TechnicalManual\package.nw.bak. The backup is written
// under a temporary name, flushed and renamed into place, so it is either
// absent or complete; a backup that exists is never overwritten, except
// when the archive is the English original and the backup is not. Returns
// when both archiver runs ended with status 0, every working file is gone
// and the archiver logged nothing. Throws core::failure (with the file and
// the system's reason where one is known): delete_failed when a working
// file, or one an earlier run left, cannot be deleted; game_file_unavailable
// when the archive is not a regular file, is held open by another program,
// or cannot be flushed after the update; payload_unavailable; copy_failed
// when a working file or the backup cannot be written; archiver_reported
// when an archiver run cannot start, fails or logs something (the working
// files are deleted first); log_unreadable.
void install(platform::file_system& files, platform::process_runner& processes, const install_options& options,
             std::ostream& out);

// Puts the backup back in place of the archive in one rename, and deletes
// zelt.log and what an interrupted install left behind. A failed rename
// leaves both files as they were, so the restore can be repeated. Throws
// core::failure delete_failed or rename_failed.
void restore(platform::file_system& files);

}  // namespace manual
