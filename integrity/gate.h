// The integrity gate: before a manual function changes a file, compare its
// MD5 with the untouched archive's and let the user decide on a mismatch.
#pragma once

#include "platform/file_system.h"

#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace integrity {

enum class decision { go_on, declined };

// Digests the file at path and compares the digest text with expected.
// A match goes on without a word; a mismatch prints question and then takes
// the given answer, printed after the question as Y or N, or, without one,
// reads answers from in until one is Y or N (either case). End of input
// declines: no answer can come any more. Throws core::failure
// game_file_unavailable, with the file and the reason, when the file is not
// a regular file or cannot be opened or read.
decision check_file(platform::file_system& files, const std::filesystem::path& path, const std::string& expected,
                    const std::string& question, std::istream& in, std::ostream& out,
                    std::optional<decision> given_answer = std::nullopt);

}  // namespace integrity
