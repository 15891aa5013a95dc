#include "app/command_line.h"

#include <array>
#include <type_traits>

namespace app {

namespace {

struct command_word {
    const char* word;
    command what;
    installer_function function;
};

constexpr std::array<command_word, 5> command_words = {{
    {"status", command::status, installer_function::install_text},
    {"install-text", command::function, installer_function::install_text},
    {"restore-text", command::function, installer_function::restore_text},
    {"install-manual", command::function, installer_function::install_manual},
    {"restore-manual", command::function, installer_function::restore_manual},
}};

enum class option { game, no_music, yes, no, help, version };

struct option_word {
    const char* word;
    option which;
};

constexpr std::array<option_word, 7> option_words = {{
    {"--game", option::game},
    {"--no-music", option::no_music},
    {"--yes", option::yes},
    {"--no", option::no},
    {"--help", option::help},
    {"-h", option::help},
    {"--version", option::version},
}};

constexpr char see_help[] = "（用法见 --help）";

// An argument as ASCII text, or nothing when it holds anything else: every
// command and option is ASCII, so such an argument is neither.
std::optional<std::string> ascii_of(const std::filesystem::path& argument) {
    std::string text;
    for (auto c : argument.native()) {
        // Unsigned: a byte of a multibyte character is no ASCII either.
        const auto code = static_cast<std::make_unsigned_t<std::filesystem::path::value_type>>(c);
        if (code == 0 || code >= 0x80) return std::nullopt;
        text += static_cast<char>(code);
    }
    return text;
}

usage_error unknown(const char* kind, const std::optional<std::string>& argument) {
    return usage_error{std::string("未知的") + kind + (argument ? "：" + *argument : std::string()) + see_help};
}

// Applies one option; the next argument is taken for --game's folder.
std::optional<usage_error> apply_option(option which, invocation& result,
                                        std::vector<std::filesystem::path>::const_iterator& next,
                                        std::vector<std::filesystem::path>::const_iterator end) {
    switch (which) {
    case option::game:
        if (next == end) return usage_error{std::string("--game 后面需要游戏文件夹") + see_help};
        result.game_folder = *next++;
        break;
    case option::no_music: result.music = false; break;
    case option::yes:
    case option::no: {
        const bool go_on = which == option::yes;
        if (result.go_on && *result.go_on != go_on) {
            return usage_error{std::string("--yes 与 --no 不能同时使用") + see_help};
        }
        result.go_on = go_on;
        break;
    }
    case option::help: result.what = command::help; break;
    case option::version:
        if (result.what != command::help) result.what = command::version;
        break;
    }
    return std::nullopt;
}

}  // namespace

std::variant<invocation, usage_error> parse_command_line(const std::vector<std::filesystem::path>& arguments) {
    invocation result;
    std::optional<command> given;  // the command word, if any
    for (auto next = arguments.begin(); next != arguments.end();) {
        const std::optional<std::string> word = ascii_of(*next++);
        if (word && word->rfind("-", 0) == 0) {
            const option_word* found = nullptr;
            for (const option_word& o : option_words) {
                if (*word == o.word) found = &o;
            }
            if (found == nullptr) return unknown("选项", word);
            if (std::optional<usage_error> error = apply_option(found->which, result, next, arguments.end())) {
                return *error;
            }
            continue;
        }
        const command_word* found = nullptr;
        for (const command_word& c : command_words) {
            if (word && *word == c.word) found = &c;
        }
        if (found == nullptr) return unknown("命令", word);
        if (given) return usage_error{std::string("只能给出一个命令") + see_help};
        given = found->what;
        result.function = found->function;
    }
    // --help and --version win over everything else; a command word comes next.
    if (result.what == command::interactive && given) result.what = *given;
    return result;
}

std::string help_text() {
    return "用法：" VARNHOLT_PROGRAM_NAME
           " [命令] [选项]\n"
           "\n"
           "不带参数运行时进入交互式菜单。\n"
           "\n"
           "命令：\n"
           "  status          显示游戏文件夹中文本与远征手册的当前状态，不做任何修改\n"
           "  install-text    安装游戏汉化\n"
           "  restore-text    还原游戏英文\n"
           "  install-manual  安装远征手册汉化\n"
           "  restore-manual  还原远征手册英文\n"
           "\n"
           "选项：\n"
           "  --game 文件夹   在该游戏文件夹中运行，而不是当前文件夹\n"
           "  --yes           MD5校验失败时继续\n"
           "  --no            MD5校验失败时放弃（两者都未给出且没有输入时也放弃）\n"
           "  --no-music      不播放背景音乐\n"
           "  -h, --help      显示本说明\n"
           "  --version       显示版本\n"
           "\n"
           "退出状态：\n"
           "  0  完成（或无需操作）\n"
           "  1  失败，并显示原因\n"
           "  2  命令或选项有误\n"
           "  3  在MD5校验的提问处放弃\n";
}

}  // namespace app
