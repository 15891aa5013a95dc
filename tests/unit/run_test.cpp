#include "app/failure.h"
#include "app/menu.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/state.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

const std::string invalidkey = "\t无效的选项，请重新选择：";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Records what a run did with its console and its music.
struct fakeconsole {
    std::istringstream in;
    std::ostringstream out;
    std::vector<std::string> events;
    bool musicsawstop = false;

    explicit fakeconsole(std::string input) : in(std::move(input)) {}

    runhooks hooks() {
        return runhooks{in,
                        out,
                        [this](unsigned ms) { events.push_back("sleep " + std::to_string(ms) + " after " + std::to_string(out.str().size())); },
                        [this] { events.push_back("clear"); },
                        [this] { events.push_back("waitkey"); },
                        [this](std::atomic<bool>& playing) {
                            while (playing) std::this_thread::yield();
                            musicsawstop = true;
                        }};
    }
};

}  // namespace

TEST(readmenukey, answersinvalidkeysanddropstherestoftheirline) {
    struct row {
        const char* input;
        bool developer;
        char key;  // 0: end of input
        std::size_t invalid;
        const char* pending;
    };
    const row rows[] = {
        {"1\n", false, '1', 0, "\n"},
        {"\n   \n\t\n2\n", false, '2', 0, "\n"},
        {" 3\n", false, '3', 0, "\n"},
        {"55\n4\n", false, '4', 1, "\n"},
        {"１\n1\n", false, '1', 1, "\n"},  // two GBK bytes, one answer
        {"3y\n", false, '3', 0, "y\n"},   // the rest stays for the integrity question
        {"x 1\n2\n", false, '2', 1, "\n"},
        {"2\n4\n3\n", true, '3', 2, "\n"},
        {"", false, 0, 0, ""},
        {"   \n\n", false, 0, 0, ""},
        {"abc\n", false, 0, 1, ""},
        {"9", false, 0, 1, ""},
    };
    for (const row& r : rows) {
        std::istringstream in(r.input);
        std::ostringstream out;
        std::optional<char> key = readmenukey(in, out, r.developer);
        SCOPED_TRACE(r.input);
        EXPECT_EQ(r.key, key.value_or(0));
        EXPECT_EQ(r.invalid, occurrences(out.str(), invalidkey));
        EXPECT_EQ(invalidkey.size() * r.invalid, out.str().size());
        in.clear();
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(r.pending, rest);
    }
}

TEST(detecttestmode, anyentrynamedzelttestcounts) {
    scratchfolder scratch;
    EXPECT_FALSE(detecttestmode());
    std::filesystem::create_directory("zelttest");
    EXPECT_TRUE(detecttestmode());
    std::filesystem::remove("zelttest");
    writefile("zelttest", "");
    EXPECT_TRUE(detecttestmode());
    std::filesystem::remove("zelttest");
    std::filesystem::create_symlink("nowhere", "zelttest");
    EXPECT_TRUE(detecttestmode());
}

TEST(showmenu, normalscreenprintseverythirdbannerblockandendswiththeprompt) {
    testmode = false;
    std::ostringstream out;
    showmenu(out);
    std::string banner = readfile(VARNHOLT_PAYLOAD_DIR "/banner.txt");
    ASSERT_EQ(6861u, banner.size());
    std::string printed;
    for (std::size_t i = 0; i < banner.size(); ++i) {
        if ((i / 121) % 3 == 0) printed += banner[i];
    }
    EXPECT_EQ(2299u, printed.size());
    EXPECT_EQ(printed, out.str().substr(0, printed.size()));
    std::string screen = out.str();
    std::string credits = std::string("\t\t策划：") + settings.planners[0] + " \n";
    EXPECT_NE(std::string::npos, screen.find(credits));
    const std::string prompt = "\t键入相应的选项编号并回车：";
    EXPECT_EQ(prompt, screen.substr(screen.size() - prompt.size()));
}

TEST(showmenu, developerscreenshowsonlythenoticeandthereducedmenu) {
    testmode = true;
    std::ostringstream out;
    showmenu(out);
    testmode = false;
    std::string screen = out.str();
    EXPECT_EQ(0u, screen.find("检测到\"zelttest\"文件夹，安装程序以内部测试模式启动。\n"));
    const std::string menu = "\n\n\t请选择功能：\n\t\t1.安装游戏汉化\n\t\t2.(不可用)\n\t\t3.安装远征手册汉化\n\t\t4.(不可用)\n";
    EXPECT_EQ(menu, screen.substr(screen.size() - menu.size()));
    EXPECT_EQ(std::string::npos, screen.find("键入相应的选项编号并回车"));
}

TEST(runinstaller, dedicationstaysbeforetheclearandendofinputchangesnothing) {
    scratchfolder scratch;
    fakeconsole console("");
    EXPECT_EQ(0, runinstaller(console.hooks()));
    std::string out = console.out.str();
    std::string dedication = dedicationline();
    EXPECT_EQ(0u, out.find(dedication));
    EXPECT_EQ(std::string(12, '\n') + "\t\t\t谨以此纪念参与汉化的ZELT故人：", dedication.substr(0, 15 + 30));
    std::vector<std::string> expected = {"sleep 6500 after " + std::to_string(dedication.size()), "clear"};
    EXPECT_EQ(expected, console.events);  // no key wait at end of input
    EXPECT_TRUE(console.musicsawstop);
    EXPECT_EQ("\n", out.substr(out.size() - 1));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST(runinstaller, failurereportsitscodewaitsforakeyandendswithstatus1) {
    scratchfolder scratch;  // no Data folder: key 1 cannot open the asset file
    fakeconsole console("1\n");
    EXPECT_EQ(1, runinstaller(console.hooks()));
    std::string tail = failuremessage(2) + "\n按任意键退出程序……";
    std::string out = console.out.str();
    EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    EXPECT_EQ("waitkey", console.events.back());
    EXPECT_TRUE(console.musicsawstop);
}

TEST(runinstaller, unexpectedfailureisreportedandthemusicstopped) {
    scratchfolder scratch;
    fakeconsole console("");
    runhooks hooks = console.hooks();
    hooks.sleep = [](unsigned) { throw std::runtime_error("sleep broke"); };
    EXPECT_EQ(1, runinstaller(hooks));
    std::string out = console.out.str();
    EXPECT_NE(std::string::npos, out.find("汉化包安装程序发生了意外的错误：sleep broke"));
    EXPECT_EQ("waitkey", console.events.back());
    EXPECT_TRUE(console.musicsawstop);
}
