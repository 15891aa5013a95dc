#include "app/unattended.h"

#include "app/failure_messages.h"
#include "app/menu.h"
#include "app/run.h"
#include "app/status.h"
#include "core/failure.h"
#include "platform/platform.h"

namespace app {

namespace {

// Reports a failure without the key wait of the interactive run; which
// file and why, when known, follow on standard error.
int report(const core::failure& failure, std::ostream& out, std::ostream& errors) {
    out << failure_message(failure.code) << "\n" << std::flush;
    if (!failure.detail.empty()) errors << failure.detail << "\n" << std::flush;
    return exit_failed;
}

int report_unexpected(const std::exception& error, std::ostream& out) {
    out << "\n汉化包安装程序发生了意外的错误：" << error.what() << "\n" << std::flush;
    return exit_failed;
}

bool offered_in_developer_mode(installer_function function) {
    return function == installer_function::install_text || function == installer_function::install_manual;
}

int run_status(platform::file_system& files, std::ostream& out, std::ostream& errors) {
    try {
        report_status(files, out);
        return exit_done;
    } catch (const core::failure& failure) {
        return report(failure, out, errors);
    } catch (const std::exception& error) {
        return report_unexpected(error, out);
    }
}

}  // namespace

int run_function_unattended(installer_function function, const invocation& invocation, platform::file_system& files,
                            platform::process_runner& processes, std::istream& in, std::ostream& out,
                            std::ostream& errors) {
    try {
        const bool developer_mode = detect_developer_mode(files);
        if (developer_mode && !offered_in_developer_mode(function)) {
            errors << "内部测试模式下（游戏文件夹中有zelttest）不能使用该命令。\n" << std::flush;
            return exit_usage;
        }
        const function_context context{files, processes, developer_mode, in, out, invocation.go_on};
        if (run_function(function, context) == function_outcome::declined) {
            // The question's line is still open unless the answer was given.
            if (!invocation.go_on) out << "\n" << std::flush;
            return exit_declined;
        }
        out << "\n完成！\n" << std::flush;
        return exit_done;
    } catch (const core::failure& failure) {
        return report(failure, out, errors);
    } catch (const std::exception& error) {
        return report_unexpected(error, out);
    }
}

int run_with_arguments(const std::vector<std::filesystem::path>& arguments, platform::file_system& files,
                       platform::process_runner& processes, std::istream& in, std::ostream& out, std::ostream& errors,
                       const std::function<int(bool music)>& interactive) {
    const std::variant<invocation, usage_error> parsed = parse_command_line(arguments);
    if (const usage_error* error = std::get_if<usage_error>(&parsed)) {
        errors << error->message << "\n" << std::flush;
        return exit_usage;
    }
    const invocation& asked = std::get<invocation>(parsed);
    switch (asked.what) {
    case command::help: out << help_text() << std::flush; return exit_done;
    case command::version:
        out << "《Varnholt》ZELT简体中文汉化包-" << version_text << "\n" << std::flush;
        return exit_done;
    default: break;
    }
    if (asked.game_folder) {
        const platform::io_status entered = platform::enter_folder(*asked.game_folder);
        if (!entered) {
            return report(core::failure{core::failure_code::game_file_unavailable, platform::describe(entered.error())},
                          out, errors);
        }
    }
    switch (asked.what) {
    case command::status: return run_status(files, out, errors);
    case command::function: return run_function_unattended(asked.function, asked, files, processes, in, out, errors);
    default: return interactive(asked.music);
    }
}

}  // namespace app
