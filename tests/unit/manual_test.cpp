#include "app/failure.h"
#include "app/state.h"
#include "manual/filesystem.h"
#include "manual/manual.h"
#include "testsupport.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

const fs::path demogame = VARNHOLT_DEMO_GAME;
const std::string messages =
    "开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n"
    "正在释放汉化所需临时文件...\n"
    "正在解压中文汉化数据...\n"
    "正在备份英文文件...\n"
    "正在安装汉化文件...\n"
    "正在清理临时文件...\n";

// A scratch copy of the sample game folder, entered.
struct gamefolder : scratchfolder {
    gamefolder() {
        fs::copy(demogame, path(), fs::copy_options::recursive);
        original = readfile("TechnicalManual/package.nw");
    }
    std::string original;
};

int installcode(std::ostringstream& out) {
    try {
        installmanual(out);
    } catch (const errortype& failure) {
        return failure.code;
    }
    return 0;
}

int restorecode() {
    try {
        restoremanual();
    } catch (const errortype& failure) {
        return failure.code;
    }
    return 0;
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
std::set<std::string> zipentries(const fs::path& archive) {
    std::istringstream listing(run("unzip -Z1 '" + archive.string() + "'"));
    std::set<std::string> names;
    for (std::string line; std::getline(listing, line);) {
        if (!line.empty() && line.back() != '/') names.insert(line);
    }
    return names;
}

std::string zipentry(const fs::path& archive, const std::string& name) {
    return run("unzip -p '" + archive.string() + "' '" + name + "'");
}

const char* const temporaries[] = {"7za.dll", "7zxa.dll", "7za.exe", "book.zip", "temp"};

}  // namespace

TEST(installmanual, firstinstallkeepsabackupandaddseverypage) {
    gamefolder game;
    std::ostringstream out;
    ASSERT_EQ(0, installcode(out));
    EXPECT_EQ(messages, out.str());
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw.bak"));
    ASSERT_TRUE(fs::exists("zelt.log"));
    EXPECT_EQ(0u, fs::file_size("zelt.log"));
    for (const char* name : temporaries) EXPECT_FALSE(fs::exists(name)) << name;

    fs::path pages = VARNHOLT_BOOK_ZIP;
    std::set<std::string> installed = zipentries("TechnicalManual/package.nw");
    for (const std::string& page : zipentries(pages)) {
        ASSERT_TRUE(installed.count(page)) << page;
        EXPECT_EQ(zipentry(pages, page), zipentry("TechnicalManual/package.nw", page)) << page;
    }
    for (const std::string& entry : zipentries("TechnicalManual/package.nw.bak")) {
        EXPECT_TRUE(installed.count(entry)) << entry << " was lost";
    }
}

TEST(installmanual, secondinstallkeepsthefirstbackup) {
    gamefolder game;
    std::ostringstream out;
    ASSERT_EQ(0, installcode(out));
    ASSERT_EQ(0, installcode(out));
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw.bak"));
    EXPECT_NE(game.original, readfile("TechnicalManual/package.nw"));
}

TEST(installmanual, leftoversofanabortedrunareclearedsilently) {
    gamefolder game;
    writefile("7za.exe", "stale");
    writefile("book.zip", "stale");
    writefile("zelt.log", "an old error\n");
    fs::create_directories("temp/book");
    writefile("temp/book/old.html", "old");
    std::ostringstream out;
    EXPECT_EQ(0, installcode(out));
    EXPECT_EQ(messages, out.str());
    EXPECT_EQ(0u, fs::file_size("zelt.log"));
    EXPECT_EQ(0u, zipentries("TechnicalManual/package.nw").count("book/old.html"));
}

TEST(installmanual, emptyleftovertempfailsonceandisgone) {
    gamefolder game;
    fs::create_directory("temp");
    std::ostringstream out;
    EXPECT_EQ(6, installcode(out));
    EXPECT_EQ("", out.str());
    EXPECT_FALSE(fs::exists("temp"));
    EXPECT_EQ(0, installcode(out));
}

TEST(installmanual, leftoverthatcannotbedeletedstopsbeforeanymessage) {
    gamefolder game;
    writefile("7za.exe", "running");
    if (!makeundeletable("7za.exe")) GTEST_SKIP() << "cannot lock a file here";
    std::ostringstream out;
    EXPECT_EQ(6, installcode(out));
    EXPECT_EQ("", out.str());
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
}

TEST(installmanual, pagearchivethatisnotanarchiveendsinthecleanup) {
    gamefolder game;
    fs::create_directory("zelttest");
    writefile("zelttest/book.zip", "this is not a zip archive");
    testmode = true;
    std::ostringstream out;
    int code = installcode(out);
    testmode = false;
    // Nothing was extracted, so the clean-up finds no file in temp.
    EXPECT_EQ(6, code);
    EXPECT_NE(0u, fs::file_size("zelt.log"));
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
}

TEST(installmanual, developerarchiveisinstalledwithoutapayload) {
    gamefolder game;
    fs::create_directory("zelttest");
    fs::copy_file(VARNHOLT_BOOK_ZIP, "zelttest/book.zip");
    testmode = true;
    std::ostringstream out;
    int code = installcode(out);
    testmode = false;
    EXPECT_EQ(0, code);
    EXPECT_TRUE(fs::exists("zelttest/book.zip"));
    EXPECT_EQ(zipentry(VARNHOLT_BOOK_ZIP, "book/index.html"),
              zipentry("TechnicalManual/package.nw", "book/index.html"));
}

TEST(installmanual, missingdeveloperarchiveiscode3) {
    gamefolder game;
    fs::create_directory("zelttest");
    testmode = true;
    std::ostringstream out;
    int code = installcode(out);
    testmode = false;
    EXPECT_EQ(3, code);
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
}

TEST(installmanual, backupfailureleavesthearchiveuntouched) {
    gamefolder game;
    if (!makeundeletable("TechnicalManual")) GTEST_SKIP() << "cannot lock a folder here";
    std::ostringstream out;
    EXPECT_EQ(3, installcode(out));
    makedeletable("TechnicalManual");
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    EXPECT_EQ(messages.substr(0, messages.find("正在安装")), out.str());
}

TEST(restoremanual, bringsthebackupbackandinstallmakesafreshone) {
    gamefolder game;
    std::ostringstream out;
    ASSERT_EQ(0, installcode(out));
    EXPECT_EQ(0, restorecode());
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
    EXPECT_FALSE(fs::exists("TechnicalManual/package.nw.bak"));
    EXPECT_FALSE(fs::exists("zelt.log"));
    ASSERT_EQ(0, installcode(out));
    EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw.bak"));
}

TEST(restoremanual, eachmissingpieceendswithitscode) {
    {
        gamefolder game;  // never installed: no log
        writefile("TechnicalManual/package.nw.bak", game.original);
        EXPECT_EQ(6, restorecode());
        EXPECT_EQ(game.original, readfile("TechnicalManual/package.nw"));
        EXPECT_TRUE(fs::exists("TechnicalManual/package.nw.bak"));
    }
    {
        gamefolder game;  // the archive itself is gone
        writefile("zelt.log", "");
        writefile("TechnicalManual/package.nw.bak", game.original);
        fs::remove("TechnicalManual/package.nw");
        EXPECT_EQ(6, restorecode());
        EXPECT_FALSE(fs::exists("zelt.log"));
        EXPECT_TRUE(fs::exists("TechnicalManual/package.nw.bak"));
        EXPECT_EQ(6, restorecode());  // the log is gone now
    }
    {
        gamefolder game;  // no backup to rename
        writefile("zelt.log", "");
        EXPECT_EQ(8, restorecode());
        EXPECT_FALSE(fs::exists("zelt.log"));
        EXPECT_FALSE(fs::exists("TechnicalManual/package.nw"));
    }
}
