#include "app/run.h"

#include "app/failure_messages.h"
#include "app/functions.h"
#include "app/menu.h"
#include "app/settings.h"
#include "core/failure.h"

#include <optional>
#include <thread>

namespace app {

std::string dedication_line() {
    return std::string(12, '\n') + "\t\t\t谨以此纪念参与汉化的ZELT故人：" + settings.dedication_name + "（" +
           settings.dedication_alias + "），愿你在星海中安眠。";
}

bool detect_developer_mode(platform::file_system& files) {
    const platform::io_result<platform::entry_kind> kind = files.inspect("zelttest");
    return kind && *kind != platform::entry_kind::absent;
}

namespace {

void wait_for_key(const run_hooks& hooks) {
    hooks.out.flush();
    hooks.wait_for_key();
}

// From developer-mode detection to the end of the chosen function. Returns
// the exit status; every failure of the installer's own ends here.
int run_guarded(const run_hooks& hooks) {
    try {
        const bool developer_mode = detect_developer_mode(hooks.files);
        show_menu(hooks.out, developer_mode);
        std::optional<installer_function> function = read_menu_choice(hooks.in, hooks.out, developer_mode);
        if (!function) {
            // Nobody is left to answer: end without touching anything.
            hooks.out << "\n" << std::flush;
            return 0;
        }
        const function_context context{hooks.files, hooks.processes, developer_mode, hooks.in, hooks.out};
        if (run_function(*function, context) == function_outcome::declined) return 0;
        hooks.out << "\n完成！按任意键退出！\n";
        wait_for_key(hooks);
        return 0;
    } catch (const core::failure& failure) {
        hooks.out << failure_message(failure.code) << "\n按任意键退出程序……";
        wait_for_key(hooks);
        return 1;
    }
}

// What an exception outside the installer's own failures says about itself.
std::string describe_current_exception() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "未知";
    }
}

}  // namespace

int run_installer(const run_hooks& hooks) {
    std::atomic<bool> playing{true};
    std::thread worker;
    auto stop_music = [&] {
        playing = false;
        if (worker.joinable()) worker.join();
    };
    try {
        worker = std::thread(hooks.play_music, std::ref(playing));
        hooks.out << dedication_line() << std::flush;
        hooks.pause(6500);
        hooks.clear_console();
        int status = run_guarded(hooks);
        stop_music();
        return status;
    } catch (...) {
        // A failure outside the installer's own codes: file-system library,
        // threads, memory. Say so, stop the music, fail.
        const std::string what = describe_current_exception();
        hooks.out.clear();
        hooks.out << "\n汉化包安装程序发生了意外的错误：" << what << "\n按任意键退出程序……";
        wait_for_key(hooks);
        stop_music();
        return 1;
    }
}

}  // namespace app
