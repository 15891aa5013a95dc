// One run of the installer, from the dedication screen to the exit status.
#pragma once

#include <atomic>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>

struct payloadtype;

// How a run meets the console and the music. main passes the real ones;
// tests pass streams and fakes.
struct runhooks {
    std::istream& in;
    std::ostream& out;
    std::function<void(unsigned)> sleep;
    std::function<void()> clear;
    std::function<void()> waitkey;
    std::function<void(std::atomic<bool>&)> music;
};

// The dedication line, without a line end after it.
std::string dedicationline();

// True when an entry named "zelttest" of any kind stands in the current folder.
bool detecttestmode();

// Whether a menu byte selects a function in the given mode.
bool validkey(char key, bool developer);

// Reads menu bytes until a valid one arrives and returns it, answering every
// invalid one and dropping the rest of its line; nothing at end of input.
std::optional<char> readmenukey(std::istream& in, std::ostream& out, bool developer);

// Runs the function of a valid key on the current folder.
void runfunction(char key, payloadtype& text, std::istream& in, std::ostream& out);

// The whole run; returns the exit status.
int runinstaller(const runhooks& io);
