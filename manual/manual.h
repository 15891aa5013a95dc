// Installing the translated technical manual into TechnicalManual\package.nw
// through the bundled archiver, and putting the English archive back.
#pragma once

#include "platform/platform.h"

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
    // Runs one step of the archiver and gives its exit status.
    std::function<int(platform::archiver_step)> run_archiver = platform::run_archiver;
};

// Puts the translated pages into TechnicalManual\package.nw, keeping the
// English archive in TechnicalManual\package.nw.bak. The backup is written
// under a temporary name, flushed and renamed into place, so it is either
// absent or complete; a backup that exists is never overwritten, except
// when the archive is the English original and the backup is not. Returns
// when both archiver runs ended with status 0 and the archiver logged
// nothing. Throws core::failure payload_unavailable, game_file_unavailable
// (the archive is not a regular file, or cannot be flushed after the
// update), copy_failed, log_unreadable, archiver_reported (an archiver run
// failed or logged something) or delete_failed.
void install(const install_options& options, std::ostream& out);

// Puts the backup back in place of the archive in one rename, and deletes
// zelt.log and what an interrupted install left behind. A failed rename
// leaves both files as they were, so the restore can be repeated. Throws
// core::failure delete_failed or rename_failed.
void restore();

}  // namespace manual
