#include "app/menu.h"
#include "app/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

namespace {

using app::installer_function;

const std::string invalid_key = "\t无效的选项，请重新选择：";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace

TEST(read_menu_choice, answers_invalid_keys_and_drops_the_rest_of_their_line) {
    struct row {
        const char* input;
        bool developer_mode;
        std::optional<installer_function> function;  // none: end of input
        std::size_t invalid;
        const char* pending;
    };
    const row rows[] = {
        {"1\n", false, installer_function::install_text, 0, "\n"},
        {"\n   \n\t\n2\n", false, installer_function::restore_text, 0, "\n"},
        {" 3\n", false, installer_function::install_manual, 0, "\n"},
        {"55\n4\n", false, installer_function::restore_manual, 1, "\n"},
        {"１\n1\n", false, installer_function::install_text, 1, "\n"},  // two GBK bytes, one answer
        {"3y\n", false, installer_function::install_manual, 0, "y\n"},  // the rest is for the question
        {"x 1\n2\n", false, installer_function::restore_text, 1, "\n"},
        {"2\n4\n3\n", true, installer_function::install_manual, 2, "\n"},
        {"", false, std::nullopt, 0, ""},
        {"   \n\n", false, std::nullopt, 0, ""},
        {"abc\n", false, std::nullopt, 1, ""},
        {"9", false, std::nullopt, 1, ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.input);
        std::istringstream in(r.input);
        std::ostringstream out;
        EXPECT_EQ(r.function, app::read_menu_choice(in, out, r.developer_mode));
        EXPECT_EQ(r.invalid, occurrences(out.str(), invalid_key));
        EXPECT_EQ(invalid_key.size() * r.invalid, out.str().size());
        in.clear();
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(r.pending, rest);
    }
}

TEST(show_menu, normal_screen_prints_every_third_banner_block_and_ends_with_the_prompt) {
    std::ostringstream out;
    app::show_menu(out, false);
    const std::string banner = read_file(VARNHOLT_PAYLOAD_DIR "/banner.txt");
    ASSERT_EQ(6861u, banner.size());
    std::string printed;
    for (std::size_t i = 0; i < banner.size(); ++i) {
        if ((i / 121) % 3 == 0) printed += banner[i];
    }
    EXPECT_EQ(2299u, printed.size());
    const std::string screen = out.str();
    EXPECT_EQ(printed, screen.substr(0, printed.size()));
    const std::string credits = std::string("\t\t策划：") + app::settings.planners[0] + " \n";
    EXPECT_NE(std::string::npos, screen.find(credits));
    const std::string prompt = "\t键入相应的选项编号并回车：";
    EXPECT_EQ(prompt, screen.substr(screen.size() - prompt.size()));
}

TEST(show_menu, developer_screen_shows_only_the_notice_and_the_reduced_menu) {
    std::ostringstream out;
    app::show_menu(out, true);
    const std::string screen = out.str();
    EXPECT_EQ(0u, screen.find("检测到\"zelttest\"文件夹，安装程序以内部测试模式启动。\n"));
    const std::string menu =
        "\n\n\t请选择功能：\n\t\t1.安装游戏汉化\n\t\t2.(不可用)\n\t\t3.安装远征手册汉化\n\t\t4.(不可用)\n";
    EXPECT_EQ(menu, screen.substr(screen.size() - menu.size()));
    EXPECT_EQ(std::string::npos, screen.find("键入相应的选项编号并回车"));
}
