// The integrity gate: before a manual function changes a file, compare its
// MD5 with the untouched archive's and let the user decide on a mismatch.
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Returns when the caller may go on; raises exittype when the user declines
// (or no answer can come any more), errortype code 2 when the file does not
// open. Does nothing in developer mode.
void checkintegrity(std::string path, std::string expected, std::string question,
                    std::istream& in, std::ostream& out);
