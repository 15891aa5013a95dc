#include "app/failure.h"
#include "testsupport.h"
#include "textpatch/installtesttext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

namespace {

using namespace std::string_literals;

const std::filesystem::path csvfile = "zelttest/English.csv";

// The translators' table of these tests and the game's form of it.
const std::string csv =
    "\"NumberId\",\"StringId\",\"Text\",\"CharacterId\",\"FabricEventString\",\"FabricFilePath\"\r\n"
    "\"1\",\"ID_UI_START\",\"\xE5\xBC\x80\xE5\xA7\x8B\",\"\",\"\",\"\"\r\n"
    "\"2\",\"ID_CORE_VO_ROSK_001\",\"x\",\"ROSK\",\"VO/rosk_001\",\"vo/rosk_001.ogg\"\r\n"
    "\"3\",\"ID_DLG_ROSK_001\",\"\xE5\x90\x91\xE5\x8C\x97, \"\"go\"\"\",\"CAPTAIN_ROSK\",\"\",\"\"\r\n";
const std::string converted =
    "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n"
    "1,ID_UI_START,\xE5\xBC\x80\xE5\xA7\x8B,,,\n"
    "3,ID_DLG_ROSK_001,\"\xE5\x90\x91\xE5\x8C\x97, \"\"go\"\"    \",CAPTAIN_ROSK,,\n";

std::optional<int> install(std::string* printed = nullptr) {
    std::ostringstream out;
    std::optional<int> code;
    try {
        installtesttext("zelttest\\English.csv", out);
    } catch (const errortype& failure) {
        code = failure.code;
    }
    if (printed != nullptr) *printed = out.str();
    return code;
}

void putgame(const std::string& assetbytes) {
    std::filesystem::create_directories("Data");
    std::filesystem::create_directories("zelttest");
    writefile(assetfile, assetbytes);
}

}  // namespace

TEST(installtesttext, writestheconvertedtableandzerostherestoftheregion) {
    for (std::size_t spare : {std::size_t(0), std::size_t(1), std::size_t(300)}) {
        SCOPED_TRACE(spare);
        scratchfolder scratch;
        const asset a = makeasset(converted.size() + spare);
        putgame(a.bytes);
        writefile(csvfile, csv);

        std::string printed;
        EXPECT_EQ(std::nullopt, install(&printed));
        EXPECT_EQ(locatorlines(a), printed);
        std::string expected = a.bytes;
        expected.replace(a.start, a.length, converted + std::string(spare, '\0'));
        EXPECT_EQ(expected, readfile(assetfile));
        EXPECT_EQ(csv, readfile(csvfile));
    }
}

// Each refusal leaves the asset file as it was.
TEST(installtesttext, refusals) {
    struct row {
        const char* what;
        std::size_t regionlength;
        std::optional<std::string> table;  // none: no English.csv
        bool tableisfolder;
        int code;
    };
    const row rows[] = {
        {"no English.csv", converted.size(), std::nullopt, false, 2},
        {"English.csv is a folder", converted.size(), std::nullopt, true, 2},
        {"converted table one byte longer than the region", converted.size() - 1, csv, false, 9},
        {"region too small even for the header", 10, ""s, false, 9},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scratchfolder scratch;
        const asset a = makeasset(r.regionlength);
        putgame(a.bytes);
        if (r.table) writefile(csvfile, *r.table);
        if (r.tableisfolder) std::filesystem::create_directories(csvfile);

        EXPECT_EQ(r.code, install());
        EXPECT_EQ(a.bytes, readfile(assetfile));
    }
}

TEST(installtesttext, assetfilefailurespassthrough) {
    {
        SCOPED_TRACE("no Data folder");
        scratchfolder scratch;
        std::filesystem::create_directories("zelttest");
        writefile(csvfile, csv);
        std::string printed;
        EXPECT_EQ(2, install(&printed));
        EXPECT_EQ("", printed);
    }
    {
        SCOPED_TRACE("no French after English");
        scratchfolder scratch;
        const std::string bytes = "head English\0\0\0\0 text without the second name"s;
        putgame(bytes);
        writefile(csvfile, csv);
        EXPECT_EQ(9, install());
        EXPECT_EQ(bytes, readfile(assetfile));
    }
}
