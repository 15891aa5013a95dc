#include "app/console_stream.h"
#include "app/menu.h"
#include "app/run.h"
#include "music/music.h"
#include "platform/platform.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main() {
    platform::show_console_icon();
    platform::set_console_title(std::u16string(u"《Varnholt》ZELT简体中文汉化包-") + app::version_text_wide);

    app::console_buffer console;
    std::streambuf* previous = std::cout.rdbuf(&console);
    const music::music_system music_system = music::installer_music_system();
    // For the end-to-end tests only: hundreds of runs in a row skip the
    // dedication's pause.
    const bool skip_pause = std::getenv("VARNHOLT_TEST_SKIP_PAUSE") != nullptr;
    const app::run_hooks hooks{std::cin,
                               std::cout,
                               skip_pause ? std::function<void(unsigned)>([](unsigned) {}) : platform::pause_for,
                               platform::clear_console,
                               platform::wait_for_key,
                               [&](std::atomic<bool>& playing) { music::play_loop(playing, music_system); }};
    int status = app::run_installer(hooks);
    std::cout.flush();
    std::cout.rdbuf(previous);
    return status;
}
