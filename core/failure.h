// The vocabulary every part of the installer shares: why a function could
// not finish. Nothing here prints; the run turns a failure into its console
// message. This header includes nothing of the project's own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace core {

// Why a function stopped. The numbers are the codes the player sees in the
// messages ("错误代码"), so they never change.
enum class failure_code : std::int32_t {
    payload_unavailable = 1,    // a payload could not be had from the executable
    game_file_unavailable = 2,  // a game file could not be opened, read or written
    copy_failed = 3,            // a working file could not be written out
    log_unreadable = 4,         // the archiver's log could not be read
    archiver_reported = 5,      // the archiver reported a problem
    delete_failed = 6,          // a file or folder could not be deleted
    rename_failed = 8,          // the backup could not be put back
    text_record_missing = 9,    // the text record is not where the install expects it
};

// Thrown where a step fails; caught only by the run, which reports it.
struct failure {
    failure_code code;
    // Which file and why, as one line of GBK text for the player
    // ("Data\sharedassets0.assets：拒绝访问。"); empty when nothing more is
    // known. The unattended run prints it after the message.
    std::string detail = {};
};

// Throws the failure; the one way a step ends a function.
[[noreturn]] inline void fail(failure_code code, std::string detail = {}) { throw failure{code, std::move(detail)}; }

}  // namespace core
