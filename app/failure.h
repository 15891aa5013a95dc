// The two records that carry a run's early endings up to main, and the
// console text of every failure code.
#pragma once

#include <cstdint>
#include <string>

// A failed step. Raised by value at the point of failure and caught only by
// the run, which prints the code's message.
struct errortype {
    std::int32_t code;
};

// The user declined to go on: the run ends quietly with status 0.
struct exittype {};

// The message for a failure code, GBK, without line ends around it.
std::string failuremessage(std::int32_t code);
