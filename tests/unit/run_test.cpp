#include "app/run.h"
#include "app/failure_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Records what a run did with its console and its music.
struct fake_console {
    std::istringstream in;
    std::ostringstream out;
    std::vector<std::string> events;
    bool music_saw_stop = false;

    explicit fake_console(std::string input) : in(std::move(input)) {}

    app::run_hooks hooks() {
        return app::run_hooks{
            platform::system_file_system(),
            platform::system_process_runner(),
            in,
            out,
            [this](unsigned ms) {
                events.push_back("pause " + std::to_string(ms) + " after " + std::to_string(out.str().size()));
            },
            [this] { events.push_back("clear"); },
            [this] { events.push_back("wait for key"); },
            [this](std::atomic<bool>& playing) {
                while (playing) std::this_thread::yield();
                music_saw_stop = true;
            }};
    }
};

}  // namespace

TEST(detect_developer_mode, any_entry_named_zelttest_counts) {
    scoped_temp_folder folder;
    EXPECT_FALSE(app::detect_developer_mode(platform::system_file_system()));
    std::filesystem::create_directory("zelttest");
    EXPECT_TRUE(app::detect_developer_mode(platform::system_file_system()));
    std::filesystem::remove("zelttest");
    write_file("zelttest", "");
    EXPECT_TRUE(app::detect_developer_mode(platform::system_file_system()));
    std::filesystem::remove("zelttest");
    std::filesystem::create_symlink("nowhere", "zelttest");
    EXPECT_TRUE(app::detect_developer_mode(platform::system_file_system()));
}

TEST(run_installer, dedication_stays_before_the_clear_and_end_of_input_changes_nothing) {
    scoped_temp_folder folder;
    fake_console console("");
    EXPECT_EQ(0, app::run_installer(console.hooks()));
    const std::string out = console.out.str();
    const std::string dedication = app::dedication_line();
    EXPECT_EQ(0u, out.find(dedication));
    EXPECT_EQ(std::string(12, '\n') + "\t\t\t谨以此纪念参与汉化的ZELT故人：", dedication.substr(0, 15 + 30));
    const std::vector<std::string> expected = {"pause 6500 after " + std::to_string(dedication.size()), "clear"};
    EXPECT_EQ(expected, console.events) << "no key wait at the end of input";
    EXPECT_TRUE(console.music_saw_stop);
    EXPECT_EQ("\n", out.substr(out.size() - 1));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(run_installer, failure_reports_its_code_waits_for_a_key_and_ends_with_status_1) {
    scoped_temp_folder folder;  // no Data folder: key 1 cannot open the asset file
    fake_console console("1\n");
    EXPECT_EQ(1, app::run_installer(console.hooks()));
    const std::string tail = app::failure_message(core::failure_code::game_file_unavailable) + "\n按任意键退出程序……";
    const std::string out = console.out.str();
    EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    EXPECT_EQ("wait for key", console.events.back());
    EXPECT_TRUE(console.music_saw_stop);
}

TEST(run_installer, unexpected_failure_is_reported_and_the_music_stopped) {
    scoped_temp_folder folder;
    fake_console console("");
    app::run_hooks hooks = console.hooks();
    hooks.pause = [](unsigned) { throw std::runtime_error("sleep broke"); };
    EXPECT_EQ(1, app::run_installer(hooks));
    EXPECT_NE(std::string::npos, console.out.str().find("汉化包安装程序发生了意外的错误：sleep broke"));
    EXPECT_EQ("wait for key", console.events.back());
    EXPECT_TRUE(console.music_saw_stop);
}
