#include "app/functions.h"

#include "platform/file_system.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string gate_progress = "正在校验游戏文件完整性，请稍候...\n";

platform::file_system& files() { return platform::system_file_system(); }
platform::process_runner& processes() { return platform::system_process_runner(); }

}  // namespace

// Developer mode trusts the translators' files: key 3 goes to the install at
// once, even without a manual archive, and key 1 takes zelttest's table.
TEST(run_function, developer_mode_skips_the_integrity_gate) {
    scoped_temp_folder folder;
    std::istringstream in("n\n");
    std::ostringstream out;
    const app::function_context context{files(), processes(), true, in, out};
    // No zelttest\book.zip: the install stops when it looks for the pages.
    EXPECT_EQ(core::failure_code::copy_failed,
              failure_of([&] { app::run_function(app::installer_function::install_manual, context); }));
    EXPECT_EQ(std::string::npos, out.str().find(gate_progress));
    EXPECT_EQ(0u, out.str().find("开始安装汉化"));
}

TEST(run_function, gate_decides_for_the_manual_functions) {
    scoped_temp_folder folder;
    std::filesystem::create_directory("TechnicalManual");
    write_file("TechnicalManual/package.nw", "not the English archive");
    write_file("TechnicalManual/package.nw.bak", "not the English archive");
    for (auto function : {app::installer_function::install_manual, app::installer_function::restore_manual}) {
        std::istringstream in("n\n");
        std::ostringstream out;
        const app::function_context context{files(), processes(), false, in, out};
        EXPECT_EQ(app::function_outcome::declined, app::run_function(function, context));
        EXPECT_EQ(0u, out.str().find(gate_progress));
    }
    EXPECT_EQ("not the English archive", read_file("TechnicalManual/package.nw"));
    EXPECT_TRUE(std::filesystem::exists("TechnicalManual/package.nw.bak"));
}

// While another installer holds the game folder, every function fails at
// once and changes nothing.
TEST(run_function, second_installer_in_the_same_folder_is_refused) {
    scoped_temp_folder folder;
    std::filesystem::create_directories("Data");
    write_file("Data/sharedassets0.assets", make_asset(100).bytes);
    const platform::io_result<std::unique_ptr<platform::folder_lock>> first = files().lock_folder(".");
    ASSERT_TRUE(first);
    for (auto function : {app::installer_function::install_text, app::installer_function::restore_text,
                          app::installer_function::install_manual, app::installer_function::restore_manual}) {
        std::istringstream in("y\n");
        std::ostringstream out;
        const app::function_context context{files(), processes(), false, in, out};
        EXPECT_EQ(core::failure_code::game_file_unavailable, failure_of([&] { app::run_function(function, context); }));
        EXPECT_EQ("", out.str());
    }
    EXPECT_EQ(make_asset(100).bytes, read_file("Data/sharedassets0.assets"));
}

TEST(run_function, lock_is_let_go_after_each_function_and_leaves_no_file) {
    scoped_temp_folder folder;
    for (int run = 0; run < 2; ++run) {
        std::istringstream in;
        std::ostringstream out;
        const app::function_context context{files(), processes(), false, in, out};
        // No asset: the function fails after taking the lock.
        EXPECT_EQ(core::failure_code::game_file_unavailable,
                  failure_of([&] { app::run_function(app::installer_function::install_text, context); }));
        EXPECT_TRUE(files().lock_folder(".")) << "run " << run;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}
