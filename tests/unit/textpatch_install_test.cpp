#include "app/failure.h"
#include "payload/payload.h"
#include "testsupport.h"
#include "textpatch/installtext.h"
#include "textpatch/locator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace {

using namespace std::string_literals;


// The file as an install of table must leave it.
std::string installed(const asset& a, const std::string& table) {
    std::string bytes = a.bytes;
    std::string region = table + std::string(a.length - table.size(), '\0');
    bytes.replace(a.start, a.length, region);
    return bytes;
}

void putasset(const std::string& bytes) {
    std::filesystem::create_directories("Data");
    writefile(assetfile, bytes);
}

// Runs installtable; the code it raised, if any, and what it printed.
std::optional<int> install(const std::string& table, std::string* printed = nullptr) {
    std::ostringstream out;
    std::optional<int> code;
    try {
        installtable(reinterpret_cast<const unsigned char*>(table.data()), table.size(), out);
    } catch (const errortype& failure) {
        code = failure.code;
    }
    if (printed != nullptr) *printed = out.str();
    return code;
}

}  // namespace

TEST(textpatchinstall, writesthetableandzerosthetail) {
    struct row {
        const char* what;
        std::size_t regionlength;
        std::string earlier;  // installed first, when not empty
        std::string table;
    } rows[] = {
        {"table exactly the region", 40, "", std::string(40, 'Z')},
        {"shorter table", 40, "", "short table\n"},
        {"shorter table after a longer one", 40, std::string(35, 'L'), "short table\n"},
        {"empty table", 40, "", ""},
        {"fill longer than one zero block", 4500001, "", "1,ID_A_1,Campaign,,,\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scratchfolder folder;
        const asset a = makeasset(r.regionlength);
        putasset(a.bytes);
        if (!r.earlier.empty()) {
            ASSERT_EQ(install(r.earlier), std::nullopt);
        }
        std::string printed;
        ASSERT_EQ(install(r.table, &printed), std::nullopt);
        EXPECT_EQ(printed, locatorlines(a));
        EXPECT_EQ(textfieldstart, a.start);
        EXPECT_EQ(textfieldlength, static_cast<std::int64_t>(a.length));
        EXPECT_TRUE(readfile(assetfile) == installed(a, r.table)) << "the file differs from the expected one";
    }
}

TEST(textpatchinstall, packagedtablesinstallandrestore) {
    payloadtype chinese, english;
    chinese.load(payloadid::chinesetable);
    english.load(payloadid::englishtable);
    const asset a = makeasset(std::max(chinese.size, english.size) + 123);
    auto after = [&](std::initializer_list<const payloadtype*> payloads) {
        scratchfolder folder;
        putasset(a.bytes);
        for (const payloadtype* p : payloads) {
            std::ostringstream out;
            installtext(*p, out);
            EXPECT_EQ(out.str(), locatorlines(a));
        }
        return readfile(assetfile);
    };
    const std::string englishtext(reinterpret_cast<const char*>(english.data), english.size);
    const std::string chinesetext(reinterpret_cast<const char*>(chinese.data), chinese.size);

    const std::string englishalone = after({&english});
    EXPECT_TRUE(englishalone == installed(a, englishtext));
    EXPECT_TRUE(after({&chinese}) == installed(a, chinesetext));
    EXPECT_TRUE(after({&chinese, &english}) == englishalone) << "restoring leaves no trace of the Chinese table";
    EXPECT_TRUE(after({&english, &english}) == englishalone) << "twice is the same as once";
    EXPECT_TRUE(after({&chinese, &chinese}) == after({&chinese}));
}

TEST(textpatchinstall, refusalsleavethefileasitwas) {
    const asset fits = makeasset(40);
    const std::string nofrench = fits.bytes.substr(0, fits.bytes.find("French"));
    const std::string tooclose = "English\0\x10\x20\x30\x40tailbyteFrench"s;
    struct row {
        const char* what;
        std::string bytes;
        std::string table;
        std::string printed;
    } rows[] = {
        {"table one byte longer than the region", fits.bytes, std::string(41, 'Z'), locatorlines(fits)},
        {"no French after English", nofrench, "table",
         locatorlines(fits).substr(0, locatorlines(fits).find("找到文本长度"))},
        {"French closer than 14 bytes after English", tooclose, "",
         "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n找到文本起始点：0xc\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scratchfolder folder;
        putasset(r.bytes);
        std::string printed;
        EXPECT_EQ(install(r.table, &printed), 9);
        EXPECT_EQ(printed, r.printed);
        EXPECT_TRUE(readfile(assetfile) == r.bytes) << "the file was changed";
    }
}

TEST(textpatchinstall, missingassetfile) {
    for (bool datafolder : {false, true}) {
        SCOPED_TRACE(datafolder ? "Data without the asset file" : "no Data folder");
        scratchfolder folder;
        if (datafolder) std::filesystem::create_directory("Data");
        std::string printed;
        EXPECT_EQ(install("table", &printed), 2);
        EXPECT_EQ(printed, "") << "the locator never ran";
        EXPECT_FALSE(std::filesystem::exists(assetfile)) << "the asset file was created";
    }
}

TEST(textpatchinstall, readonlyasset) {
    scratchfolder folder;
    const asset a = makeasset(40);
    putasset(a.bytes);
    std::filesystem::permissions(assetfile, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
    // Root writes read-only files anyway; a locked file refuses even root.
    if (std::fstream(assetfile, std::ios::in | std::ios::out | std::ios::binary).is_open() &&
        !makeundeletable(assetfile)) {
        GTEST_SKIP() << "this user may write to read-only files";
    }
    std::string printed;
    EXPECT_EQ(install("table", &printed), 2);
    EXPECT_EQ(printed, locatorlines(a));
    EXPECT_TRUE(readfile(assetfile) == a.bytes);
}

TEST(textpatchinstall, failedwritesarereported) {
    // /dev/full takes the open and the seek and refuses every byte.
    struct row {
        const char* what;
        std::size_t table;
        std::int64_t region;
    } rows[] = {
        {"small table: the failure shows at the close", 10, 10},
        {"large table", 3000000, 3000000},
        {"small table, large fill", 10, 5000000},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        std::fstream full("/dev/full", std::ios::in | std::ios::out | std::ios::binary);
        if (!full.is_open()) GTEST_SKIP() << "no /dev/full";
        textfieldstart = 0;
        textfieldlength = r.region;
        const std::string table(r.table, 'T');
        int code = 0;
        try {
            writetextregion(full, reinterpret_cast<const unsigned char*>(table.data()), table.size());
        } catch (const errortype& failure) {
            code = failure.code;
        }
        EXPECT_EQ(code, 2);
    }
}

TEST(textpatchinstall, writesbeyond4gib) {
    // A sparse file: only the few bytes written take room on disk.
    scratchfolder folder;
    putasset("head");
    const std::uint64_t at = (std::uint64_t(5) << 30) + 3;
    textfieldstart = at;
    textfieldlength = 8;
    std::fstream asset = openassetforupdate();
    writetextregion(asset, reinterpret_cast<const unsigned char*>("abc"), 3);

    EXPECT_EQ(std::filesystem::file_size(assetfile), at + 8);
    std::ifstream in(assetfile, std::ios::binary);
    std::string head(4, '?');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "head");
    in.seekg(static_cast<std::streamoff>(at - 1));
    std::string region(9, '?');
    in.read(region.data(), 9);
    EXPECT_EQ(region, "\0abc\0\0\0\0\0"s);
}
