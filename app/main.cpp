#include "app/console_stream.h"
#include "app/menu.h"
#include "app/run.h"
#include "app/unattended.h"
#include "music/music.h"
#include "platform/file_system.h"
#include "platform/platform.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Puts a stream's buffer back when main ends.
class stream_buffer_swap {
public:
    stream_buffer_swap(std::ostream& stream, std::streambuf* buffer)
        : stream_(stream), previous_(stream.rdbuf(buffer)) {}
    ~stream_buffer_swap() {
        stream_.flush();
        stream_.rdbuf(previous_);
    }

private:
    std::ostream& stream_;
    std::streambuf* previous_;
};

int run_interactive(bool with_music) {
    platform::show_console_icon();
    platform::set_console_title(std::u16string(u"《Varnholt》ZELT简体中文汉化包-") + app::version_text_wide);
    const music::music_system music_system = music::installer_music_system();
    // For the end-to-end tests only: hundreds of runs in a row skip the
    // dedication's pause.
    const bool skip_pause = std::getenv("VARNHOLT_TEST_SKIP_PAUSE") != nullptr;
    const app::run_hooks hooks{platform::system_file_system(),
                               platform::system_process_runner(),
                               std::cin,
                               std::cout,
                               skip_pause ? std::function<void(unsigned)>([](unsigned) {}) : platform::pause_for,
                               platform::clear_console,
                               platform::wait_for_key,
                               [&](std::atomic<bool>& playing) {
                                   if (with_music) music::play_loop(playing, music_system);
                               }};
    return app::run_installer(hooks);
}

}  // namespace

int main(int argc, char** argv) {
    app::console_buffer output(platform::console_stream::output);
    app::console_buffer errors(platform::console_stream::error);
    const stream_buffer_swap output_swap(std::cout, &output);
    const stream_buffer_swap errors_swap(std::cerr, &errors);
    const std::vector<std::filesystem::path> arguments = platform::program_arguments(argc, argv);
    if (arguments.empty()) return run_interactive(true);
    return app::run_with_arguments(arguments, platform::system_file_system(), platform::system_process_runner(),
                                   std::cin, std::cout, std::cerr, run_interactive);
}
