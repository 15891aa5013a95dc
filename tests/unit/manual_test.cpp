#include "manual/manual.h"
#include "platform/file_system.h"
#include "test_support.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>

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

platform::file_system& files() { return platform::system_file_system(); }
platform::process_runner& processes() { return platform::system_process_runner(); }

std::optional<failure_code> install(std::ostream& out, bool developer_mode = false) {
    manual::install_options options;
    options.developer_mode = developer_mode;
    return failure_of([&] { manual::install(files(), processes(), options, out); });
}

std::optional<failure_code> restore() {
    return failure_of([] { manual::restore(files()); });
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

// An empty folder temp is removed like any other leftover (it was once
// refused on the first run).
TEST(manual_install, empty_leftover_temp_is_removed_silently) {
    game_folder game;
    fs::create_directory("temp");
    std::ostringstream out;
    EXPECT_EQ(std::nullopt, install(out));
    EXPECT_EQ(messages, out.str());
    EXPECT_FALSE(fs::exists("temp"));
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

TEST(manual_install, page_archive_that_is_not_an_archive_is_an_archiver_failure) {
    game_folder game;
    fs::create_directory("zelttest");
    write_file("zelttest/book.zip", "this is not a zip archive");
    std::ostringstream out;
    // The extraction fails: nothing is installed and the archiver's words
    // are in the log (formerly the clean-up missed the empty temp: code 6).
    EXPECT_EQ(failure_code::archiver_reported, install(out, true));
    EXPECT_NE(0u, fs::file_size("zelt.log"));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    for (const char* name : temporaries) EXPECT_FALSE(fs::exists(name)) << name;
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

TEST(manual_restore, missing_pieces) {
    {
        SCOPED_TRACE("no log: the user deleted it");
        game_folder game;
        write_file("TechnicalManual/package.nw", "translated");
        write_file("TechnicalManual/package.nw.bak", game.original);
        EXPECT_EQ(std::nullopt, restore());
        EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
        EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    }
    {
        SCOPED_TRACE("no archive: an earlier restore took it");
        game_folder game;
        write_file("TechnicalManual/package.nw.bak", game.original);
        fs::remove("TechnicalManual/package.nw");
        EXPECT_EQ(std::nullopt, restore());
        EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
    }
    {
        SCOPED_TRACE("no backup to rename");
        game_folder game;
        write_file("zelt.log", "");
        EXPECT_EQ(failure_code::rename_failed, restore());
        EXPECT_FALSE(fs::exists("zelt.log"));
        EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw")) << "the archive stays";
    }
}

// A backup that cannot be renamed fails with both files in place, and the
// restore works once it can (formerly the archive was deleted first and
// every later restore stopped at the missing log).
TEST(manual_restore, failed_rename_can_be_repeated) {
    game_folder game;
    write_file("zelt.log", "");
    write_file("TechnicalManual/package.nw", "translated");
    write_file("TechnicalManual/package.nw.bak", game.original);
    if (!lock_entry("TechnicalManual/package.nw.bak")) GTEST_SKIP() << "cannot lock a file here";
    EXPECT_EQ(failure_code::rename_failed, restore());
    EXPECT_EQ("translated", read_file("TechnicalManual/package.nw"));
    unlock_entry("TechnicalManual/package.nw.bak");
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw.bak"));
    EXPECT_EQ(std::nullopt, restore());
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
}

TEST(manual_restore, clears_what_an_interrupted_install_left) {
    game_folder game;
    write_file("TechnicalManual/package.nw.bak", game.original);
    for (const char* name :
         {"7za.exe", "7za.dll", "book.zip", "TechnicalManual/package.nw.tmp", "TechnicalManual/package.nw.bak.tmp"}) {
        write_file(name, "left");
    }
    fs::create_directories("temp/book");
    EXPECT_EQ(std::nullopt, restore());
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator("."))
        left.insert(entry.path().lexically_relative(".").string());
    std::set<std::string> original;
    for (const auto& entry : fs::recursive_directory_iterator(demo_game)) {
        original.insert(entry.path().lexically_relative(demo_game).string());
    }
    EXPECT_EQ(original, left);
}

namespace {

// Answers the archiver's runs with given exit statuses; a run with status
// 0 runs the real archiver.
class scripted_archiver : public platform::process_runner {
public:
    scripted_archiver(int extract_status, int update_status)
        : extract_status_(extract_status), update_status_(update_status) {}
    platform::io_result<int> run(const platform::process_request& request) override {
        const int status = request.arguments.at(0) == "x" ? extract_status_ : update_status_;
        if (status == 0) return processes().run(request);
        if (status < 0) {
            return platform::io_error{platform::operation::run, request.program, platform::error_kind::not_found,
                                      platform::system_code_for(platform::error_kind::not_found)};
        }
        return status;
    }

private:
    int extract_status_;
    int update_status_;
};

std::optional<failure_code> install_with_statuses(std::ostream& out, int extract_status, int update_status) {
    scripted_archiver archiver(extract_status, update_status);
    return failure_of([&] { manual::install(files(), archiver, {}, out); });
}

}  // namespace

// A failed archiver run is a failure even when nothing reached the log, as
// on a full disk where the log cannot be written either (formerly "done").
TEST(manual_install, failed_archiver_run_is_a_failure_whatever_the_log_holds) {
    struct row {
        const char* what;
        int extract_status;
        int update_status;
        bool backup_made;
    } rows[] = {
        {"extraction fails", 2, 0, false},
        {"the archiver cannot be started", -1, 0, false},
        {"the archiver's program is refused", 126, 0, false},
        {"update fails", 0, 2, true},
        {"update killed", 0, 137, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        game_folder game;
        std::ostringstream out;
        EXPECT_EQ(failure_code::archiver_reported, install_with_statuses(out, r.extract_status, r.update_status));
        EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw"));
        EXPECT_EQ(r.backup_made, fs::exists("TechnicalManual/package.nw.bak"));
        for (const char* name : temporaries) EXPECT_FALSE(fs::exists(name)) << name;
        EXPECT_EQ(std::string::npos, out.str().find("完成"));
    }
}

namespace {

std::optional<failure_code> install_judging_originals(std::ostream& out, const std::string& original) {
    manual::install_options options;
    options.is_english_original = [&](const fs::path& file) { return read_file(file) == original; };
    return failure_of([&] { manual::install(files(), processes(), options, out); });
}

}  // namespace

// The backup is written aside and renamed into place: a copy cut short
// leaves no backup, only a partial file that the next install removes.
TEST(manual_install, interrupted_backup_leaves_no_backup_and_is_redone) {
    game_folder game;
    write_file("TechnicalManual/package.nw.bak.tmp", game.original.substr(0, 1000));
    write_file("TechnicalManual/package.nw.tmp", "the archiver's own leftover");
    std::ostringstream out;
    EXPECT_EQ(std::nullopt, install_judging_originals(out, game.original));
    EXPECT_EQ(game.original, read_file("TechnicalManual/package.nw.bak"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak.tmp"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.tmp"));
}

// An existing backup is never overwritten, except by a copy of the English
// original when the backup is not that: then nothing can be lost.
TEST(manual_install, existing_backup_is_replaced_only_by_the_original) {
    struct row {
        const char* what;
        bool archive_is_original;
        std::string backup;  // "original": the English archive
        bool backup_replaced;
    } rows[] = {
        {"original archive, truncated backup", true, "truncated", true},
        {"original archive, original backup", true, "original", false},
        {"changed archive, truncated backup", false, "truncated", false},
        {"changed archive, original backup", false, "original", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        game_folder game;
        const std::string backup = r.backup == "original" ? game.original : r.backup;
        write_file("TechnicalManual/package.nw.bak", backup);
        std::string archive = game.original;
        if (!r.archive_is_original) {
            // Another version of the manual: installed on (the user said yes).
            std::ostringstream first;
            ASSERT_EQ(std::nullopt, install_judging_originals(first, game.original));
            archive = read_file("TechnicalManual/package.nw");
            write_file("TechnicalManual/package.nw.bak", backup);
        }
        std::ostringstream out;
        EXPECT_EQ(std::nullopt, install_judging_originals(out, game.original));
        EXPECT_EQ(r.backup_replaced ? archive : backup, read_file("TechnicalManual/package.nw.bak"));
    }
}

// Only a regular file is opened: a pipe in the archive's place would block
// the copy for ever.
TEST(manual_install, archive_that_is_no_regular_file_is_refused) {
    game_folder game;
    fs::remove("TechnicalManual/package.nw");
    ASSERT_EQ(0, mkfifo("TechnicalManual/package.nw", 0644));
    std::ostringstream out;
    EXPECT_EQ(failure_code::game_file_unavailable, install(out));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
}
