// One interactive run of the installer, from the dedication screen to the
// exit status.
#pragma once

#include "platform/file_system.h"

#include <atomic>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

namespace app {

// How a run meets the console and the music. main passes the real ones;
// tests pass streams and fakes.
struct run_hooks {
    platform::file_system& files;
    platform::process_runner& processes;
    std::istream& in;
    std::ostream& out;
    std::function<void(unsigned milliseconds)> pause;
    std::function<void()> clear_console;
    std::function<void()> wait_for_key;
    std::function<void(std::atomic<bool>& playing)> play_music;
};

// The dedication line, without a line end after it.
std::string dedication_line();

// True when an entry named "zelttest" of any kind stands in the current
// folder, a dangling link included.
bool detect_developer_mode(platform::file_system& files);

// The whole run: the dedication, the start screen, one function chosen at
// the menu and its ending. Returns the exit status: 0 after a completed
// function, a refusal at the integrity question or the end of input at the
// menu; 1 after a failure.
int run_installer(const run_hooks& hooks);

}  // namespace app
