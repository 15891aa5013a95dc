#include "manual/manual.h"
#include "test_support.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using core::failure_code;

const fs::path demo_game = VARNHOLT_DEMO_GAME;
const std::string messages =
    "开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n"
    "正在释放汉化所需临时文件...\n"
    "正在解压中文汉化数据...\n"
    "正在备份英文文件...\n"
    "正在安装汉化文件...\n"
    "正在清理临时文件...\n";

// A scratch copy of the sample game folder, entered.
struct game_folder : scoped_temp_folder {
    game_folder() {
        fs::copy(demo_game, path(), fs::copy_options::recursive);
        original = read_file("TechnicalManual/package.nw");
    }
    std::string original;
};

std::optional<failure_code> install(std::ostream& out, bool developer_mode = false) {
    return failure_of([&] { manual::install({developer_mode}, out); });
}

std::optional<failure_code> restore() {
    return failure_of([] { manual::restore(); });
}

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    pclose(pipe);
    return output;
}

// Names of the file entries of a ZIP archive.
std::set<std::string> zip_entries(const fs::path& archive) {
    std::istringstream listing(run("unzip -Z1 '" + archive.string() + "'"));
    std::set<std::string> names;
    for (std::string line; std::getline(listing, line);) {
        if (!line.empty() && line.back() != '/') names.insert(line);
    }
    return names;
}

std::string zip_entry(const fs::path& archive, const std::string& name) {
    return run("unzip -p '" + archive.string() + "' '" + name + "'");
}

const char* const temporaries[] = {"7za.dll", "7zxa.dll", "7za.exe", "book.zip", "temp"};

}  // namespace

TEST(manual_install, first_install_keeps_a_backup_and_adds_every_page) {
    game_folder game;
    std::ostringstream out;
    ASSERT_EQ(std::nullopt, install(out));
    EXPECT_EQ(messages, out.str());
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw.bak"));
    ASSERT_TRUE(fs::exists("zelt.log"));
    EXPECT_EQ(0u, fs::file_size("zelt.log"));
    for (const char* name : temporaries) EXPECT_FALSE(fs::exists(name)) << name;

    fs::path pages = VARNHOLT_BOOK_ZIP;
    std::set<std::string> installed = zip_entries("TechnicalManual/package.nw");
    for (const std::string& page : zip_entries(pages)) {
        ASSERT_TRUE(installed.count(page)) << page;
        EXPECT_EQ(zip_entry(pages, page), zip_entry("TechnicalManual/package.nw", page)) << page;
    }
    for (const std::string& entry : zip_entries("TechnicalManual/package.nw.bak")) {
        EXPECT_TRUE(installed.count(entry)) << entry << " was lost";
    }
}

TEST(manual_install, second_install_keeps_the_first_backup) {
    game_folder game;
    std::ostringstream out;
    ASSERT_EQ(std::nullopt, install(out));
    ASSERT_EQ(std::nullopt, install(out));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw.bak"));
    EXPECT_NE(game.original, read_file("TechnicalManual/package.nw"));
}

TEST(manual_install, leftovers_of_an_aborted_run_are_cleared_silently) {
    game_folder game;
    write_file("7za.exe", "stale");
    write_file("book.zip", "stale");
    write_file("zelt.log", "an old error\n");
    fs::create_directories("temp/book");
    write_file("temp/book/old.html", "old");
    std::ostringstream out;
    EXPECT_EQ(std::nullopt, install(out));
    EXPECT_EQ(messages, out.str());
    EXPECT_EQ(0u, fs::file_size("zelt.log"));
    EXPECT_EQ(0u, zip_entries("TechnicalManual/package.nw").count("book/old.html"));
}

TEST(manual_install, empty_leftover_temp_fails_once_and_is_gone) {
    game_folder game;
    fs::create_directory("temp");
    std::ostringstream out;
    EXPECT_EQ(failure_code::delete_failed, install(out));
    EXPECT_EQ("", out.str());
    EXPECT_FALSE(fs::exists("temp"));
    EXPECT_EQ(std::nullopt, install(out));
}

TEST(manual_install, leftover_that_cannot_be_deleted_stops_before_any_message) {
    game_folder game;
    write_file("7za.exe", "running");
    if (!lock_entry("7za.exe")) GTEST_SKIP() << "cannot lock a file here";
    std::ostringstream out;
    EXPECT_EQ(failure_code::delete_failed, install(out));
    EXPECT_EQ("", out.str());
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
}

TEST(manual_install, page_archive_that_is_not_an_archive_ends_in_the_clean_up) {
    game_folder game;
    fs::create_directory("zelttest");
    write_file("zelttest/book.zip", "this is not a zip archive");
    std::ostringstream out;
    // Nothing was extracted, so the clean-up finds no file in temp.
    EXPECT_EQ(failure_code::delete_failed, install(out, true));
    EXPECT_NE(0u, fs::file_size("zelt.log"));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
}

TEST(manual_install, developer_archive_is_installed_without_a_payload) {
    game_folder game;
    fs::create_directory("zelttest");
    fs::copy_file(VARNHOLT_BOOK_ZIP, "zelttest/book.zip");
    std::ostringstream out;
    EXPECT_EQ(std::nullopt, install(out, true));
    EXPECT_TRUE(fs::exists("zelttest/book.zip"));
    EXPECT_EQ(zip_entry(VARNHOLT_BOOK_ZIP, "book/index.html"),
              zip_entry("TechnicalManual/package.nw", "book/index.html"));
}

TEST(manual_install, missing_developer_archive_is_a_copy_failure) {
    game_folder game;
    fs::create_directory("zelttest");
    std::ostringstream out;
    EXPECT_EQ(failure_code::copy_failed, install(out, true));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
}

TEST(manual_install, backup_failure_leaves_the_archive_untouched) {
    game_folder game;
    if (!lock_entry("TechnicalManual")) GTEST_SKIP() << "cannot lock a folder here";
    std::ostringstream out;
    EXPECT_EQ(failure_code::copy_failed, install(out));
    unlock_entry("TechnicalManual");
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    EXPECT_EQ(messages.substr(0, messages.find("正在安装")), out.str());
}

TEST(manual_restore, brings_the_backup_back_and_install_makes_a_fresh_one) {
    game_folder game;
    std::ostringstream out;
    ASSERT_EQ(std::nullopt, install(out));
    EXPECT_EQ(std::nullopt, restore());
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    EXPECT_FALSE(fs::exists("zelt.log"));
    ASSERT_EQ(std::nullopt, install(out));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw.bak"));
}

TEST(manual_restore, each_missing_piece_ends_with_its_code) {
    {
        game_folder game;  // never installed: no log
        write_file("TechnicalManual/package.nw.bak", game.original);
        EXPECT_EQ(failure_code::delete_failed, restore());
        EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
        EXPECT_TRUE(fs::exists("TechnicalManual/package.nw.bak"));
    }
    {
        game_folder game;  // the archive itself is gone
        write_file("zelt.log", "");
        write_file("TechnicalManual/package.nw.bak", game.original);
        fs::remove("TechnicalManual/package.nw");
        EXPECT_EQ(failure_code::delete_failed, restore());
        EXPECT_FALSE(fs::exists("zelt.log"));
        EXPECT_TRUE(fs::exists("TechnicalManual/package.nw.bak"));
        EXPECT_EQ(failure_code::delete_failed, restore());  // the log is gone now
    }
    {
        game_folder game;  // no backup to rename
        write_file("zelt.log", "");
        EXPECT_EQ(failure_code::rename_failed, restore());
        EXPECT_FALSE(fs::exists("zelt.log"));
        EXPECT_FALSE(fs::exists("TechnicalManual/package.nw"));
    }
}
