// Installing the translated technical manual into TechnicalManual\package.nw
// through the bundled archiver, and putting the English archive back.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <ostream>

namespace manual {

struct install_options {
    // Developer mode: the pages come from zelttest\book.zip and the
    // archiver's listing of the update is shown.
    bool developer_mode = false;
    // Runs one step of the archiver and gives its exit status.
    std::function<int(platform::archiver_step)> run_archiver = platform::run_archiver;
};

// Throws core::failure payload_unavailable, copy_failed, log_unreadable,
// archiver_reported or delete_failed; returns when the archiver logged
// nothing.
void install(const install_options& options, std::ostream& out);

// Throws core::failure delete_failed or rename_failed.
void restore();

}  // namespace manual
