#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using app::command;
using app::installer_function;

std::vector<std::filesystem::path> words(std::initializer_list<const char*> list) {
    return std::vector<std::filesystem::path>(list.begin(), list.end());
}

// The invocation in a few words, for comparing rows.
std::string describe(const std::variant<app::invocation, app::usage_error>& parsed) {
    if (const auto* error = std::get_if<app::usage_error>(&parsed)) return "usage error: " + error->message;
    const app::invocation& i = std::get<app::invocation>(parsed);
    std::ostringstream text;
    const char* commands[] = {"interactive", "status", "help", "version", "function"};
    text << commands[static_cast<int>(i.what)];
    if (i.what == command::function) text << " " << static_cast<int>(i.function);
    if (i.game_folder) text << " in " << i.game_folder->string();
    if (!i.music) text << " silent";
    if (i.go_on) text << (*i.go_on ? " yes" : " no");
    return text.str();
}

}  // namespace

TEST(parse_command_line, commands_and_options) {
    struct row {
        std::vector<std::filesystem::path> arguments;
        std::string expected;
    } rows[] = {
        {words({}), "interactive"},
        {words({"--no-music"}), "interactive silent"},
        {words({"--game", "/games/Varnholt"}), "interactive in /games/Varnholt"},
        {words({"status"}), "status"},
        {words({"install-text"}), "function 0"},
        {words({"restore-text"}), "function 1"},
        {words({"install-manual", "--yes"}), "function 2 yes"},
        {words({"--no", "restore-manual", "--game", "带 空格"}), "function 3 in 带 空格 no"},
        {words({"--yes", "--yes", "install-manual"}), "function 2 yes"},
        {words({"status", "--help"}), "help"},
        {words({"-h"}), "help"},
        {words({"--version", "install-text"}), "version"},
        {words({"--help", "--version"}), "help"},
        {words({"--game", "--no-music"}), "interactive in --no-music"},  // a folder may be named so
    };
    for (const row& r : rows) EXPECT_EQ(r.expected, describe(app::parse_command_line(r.arguments)));
}

TEST(parse_command_line, usage_errors_name_the_problem_in_one_line) {
    struct row {
        std::vector<std::filesystem::path> arguments;
        std::string message;
    } rows[] = {
        {words({"bogus"}), "未知的命令：bogus（用法见 --help）"},
        {words({"--bogus"}), "未知的选项：--bogus（用法见 --help）"},
        {words({"-x", "status"}), "未知的选项：-x（用法见 --help）"},
        {words({"安装"}), "未知的命令（用法见 --help）"},
        {words({"--game"}), "--game 后面需要游戏文件夹（用法见 --help）"},
        {words({"--yes", "--no", "install-manual"}), "--yes 与 --no 不能同时使用（用法见 --help）"},
        {words({"status", "install-text"}), "只能给出一个命令（用法见 --help）"},
        {words({"STATUS"}), "未知的命令：STATUS（用法见 --help）"},
    };
    for (const row& r : rows) {
        EXPECT_EQ("usage error: " + r.message, describe(app::parse_command_line(r.arguments)));
    }
}

TEST(help_text, names_every_command_option_and_exit_status) {
    const std::string help = app::help_text();
    for (const char* word :
         {"status", "install-text", "restore-text", "install-manual", "restore-manual", "--game", "--yes", "--no",
          "--no-music", "--help", "--version", "  0  ", "  1  ", "  2  ", "  3  "}) {
        EXPECT_NE(std::string::npos, help.find(word)) << word;
    }
    EXPECT_EQ('\n', help.back());
}
