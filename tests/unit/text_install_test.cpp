#include "textpatch/text_install.h"
#include "platform/file_system.h"

#include "payload/payload.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

using namespace std::string_literals;
using core::failure_code;

// The file as an install of table must leave it.
std::string installed(const test_asset& asset, const std::string& table) {
    std::string bytes = asset.bytes;
    std::string region = table + std::string(asset.length - table.size(), '\0');
    bytes.replace(asset.start, asset.length, region);
    return bytes;
}

void put_asset(const std::string& bytes) {
    std::filesystem::create_directories("Data");
    write_file(asset_file, bytes);
}

// Installs table; the failure it ended with, if any, and what it printed.
std::optional<failure_code> install(const std::string& table, std::string* printed = nullptr) {
    std::ostringstream out;
    std::optional<failure_code> failure =
        failure_of([&] { textpatch::install_table(platform::system_file_system(), table, out); });
    if (printed != nullptr) *printed = out.str();
    return failure;
}

}  // namespace

TEST(text_install, writes_the_table_and_zeros_the_tail) {
    struct row {
        const char* what;
        std::size_t region_length;
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
        scoped_temp_folder folder;
        const test_asset asset = make_asset(r.region_length);
        put_asset(asset.bytes);
        if (!r.earlier.empty()) {
            ASSERT_EQ(install(r.earlier), std::nullopt);
        }
        std::string printed;
        ASSERT_EQ(install(r.table, &printed), std::nullopt);
        EXPECT_EQ(printed, locator_lines(asset));
        EXPECT_TRUE(read_file(asset_file) == installed(asset, r.table)) << "the file differs from the expected one";
    }
}

TEST(text_install, packaged_tables_install_and_restore) {
    const std::string chinese(*payload::bytes_of(payload::payload_id::chinese_table));
    const std::string english(*payload::bytes_of(payload::payload_id::english_table));
    const test_asset asset = make_asset(std::max(chinese.size(), english.size()) + 123);
    auto after = [&](std::initializer_list<const std::string*> tables) {
        scoped_temp_folder folder;
        put_asset(asset.bytes);
        for (const std::string* table : tables) {
            std::ostringstream out;
            textpatch::install_table(platform::system_file_system(), *table, out);
            EXPECT_EQ(out.str(), locator_lines(asset));
        }
        return read_file(asset_file);
    };

    const std::string english_alone = after({&english});
    EXPECT_TRUE(english_alone == installed(asset, english));
    EXPECT_TRUE(after({&chinese}) == installed(asset, chinese));
    EXPECT_TRUE(after({&chinese, &english}) == english_alone) << "restoring leaves no trace of the Chinese table";
    EXPECT_TRUE(after({&english, &english}) == english_alone) << "twice is the same as once";
    EXPECT_TRUE(after({&chinese, &chinese}) == after({&chinese}));
}

TEST(text_install, refusals_leave_the_file_as_it_was) {
    const test_asset fits = make_asset(40);
    const std::string nofrench = fits.bytes.substr(0, fits.bytes.find("French"));
    const std::string tooclose = "English\0\x10\x20\x30\x40tailbyteFrench"s;
    struct row {
        const char* what;
        std::string bytes;
        std::string table;
        std::string printed;
    } rows[] = {
        {"table one byte longer than the region", fits.bytes, std::string(41, 'Z'), locator_lines(fits)},
        {"no French after English", nofrench, "table",
         locator_lines(fits).substr(0, locator_lines(fits).find("找到文本长度"))},
        // Installed, it would end the region inside itself at the next locate,
        // and neither table could be installed on the file again.
        {"table holding the name French", fits.bytes, "1,ID_A,The French coast,,,\n", locator_lines(fits)},
        {"French closer than 14 bytes after English", tooclose, "",
         "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n找到文本起始点：0xc\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scoped_temp_folder folder;
        put_asset(r.bytes);
        std::string printed;
        EXPECT_EQ(install(r.table, &printed), failure_code::text_record_missing);
        EXPECT_EQ(printed, r.printed);
        EXPECT_TRUE(read_file(asset_file) == r.bytes) << "the file was changed";
    }
}

TEST(text_install, missing_asset_file) {
    for (bool data_folder : {false, true}) {
        SCOPED_TRACE(data_folder ? "Data without the asset file" : "no Data folder");
        scoped_temp_folder folder;
        if (data_folder) std::filesystem::create_directory("Data");
        std::string printed;
        EXPECT_EQ(install("table", &printed), failure_code::game_file_unavailable);
        EXPECT_EQ(printed, "") << "the locator never ran";
        EXPECT_FALSE(std::filesystem::exists(asset_file)) << "the asset file was created";
    }
}

// Only a regular file is opened, whatever a link points to: a pipe would
// block the open and a device such as /dev/zero would never end the scan.
TEST(text_install, asset_that_is_no_regular_file_is_refused_at_once) {
    struct row {
        const char* what;
        std::function<void()> make;
    } rows[] = {
        {"a pipe", [] { ASSERT_EQ(0, mkfifo(asset_file.c_str(), 0644)); }},
        {"a link to /dev/zero", [] { std::filesystem::create_symlink("/dev/zero", asset_file); }},
        {"a folder", [] { std::filesystem::create_directory(asset_file); }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scoped_temp_folder folder;
        std::filesystem::create_directories("Data");
        r.make();
        std::string printed;
        EXPECT_EQ(install("table", &printed), failure_code::game_file_unavailable);
        EXPECT_EQ(printed, "");
    }
}

TEST(text_install, read_only_asset) {
    scoped_temp_folder folder;
    const test_asset asset = make_asset(40);
    put_asset(asset.bytes);
    std::filesystem::permissions(asset_file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                 std::filesystem::perms::others_read);
    // Root writes read-only files anyway; a locked file refuses even root.
    if (std::fstream(asset_file, std::ios::in | std::ios::out | std::ios::binary).is_open() &&
        !lock_entry(asset_file)) {
        GTEST_SKIP() << "this user may write to read-only files";
    }
    std::string printed;
    EXPECT_EQ(install("table", &printed), failure_code::game_file_unavailable);
    EXPECT_EQ(printed, locator_lines(asset));
    EXPECT_TRUE(read_file(asset_file) == asset.bytes);
}

namespace {

// A file on a full disk: it takes the seek and refuses every byte, or, with
// late_failure, takes every byte and refuses the flush, as a disk that
// fills only when the cache is written out.
class full_disk_file : public platform::updatable_file {
public:
    explicit full_disk_file(bool late_failure = false) : late_failure_(late_failure) {}
    platform::io_result<std::size_t> read(char*, std::size_t) override { return std::size_t(0); }
    platform::io_status seek(std::uint64_t) override { return {}; }
    platform::io_result<std::uint64_t> size() override { return std::uint64_t(0); }
    platform::io_status write(const char*, std::size_t) override {
        return late_failure_ ? platform::io_status() : full();
    }
    platform::io_status flush() override { return full(); }
    platform::io_status close() override { return {}; }

private:
    static platform::io_error full() {
        return {platform::operation::write, asset_file, platform::error_kind::no_space,
                platform::system_code_for(platform::error_kind::no_space)};
    }
    bool late_failure_;
};

}  // namespace

TEST(text_install, failed_writes_are_reported) {
    struct row {
        const char* what;
        std::size_t table;
        std::uint64_t region;
    } rows[] = {
        {"small table: the failure shows at the flush", 10, 10},
        {"large table", 3000000, 3000000},
        {"small table, large fill", 10, 5000000},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::string table(r.table, 'T');
        for (bool late : {false, true}) {
            full_disk_file full(late);
            EXPECT_EQ(failure_of([&] {
                          textpatch::write_text_region(full, {0, r.region}, table);
                      }),
                      failure_code::game_file_unavailable);
        }
    }
}

TEST(text_install, writes_beyond_4_gib) {
    // A sparse file: only the few bytes written take room on disk.
    scoped_temp_folder folder;
    put_asset("head");
    const std::uint64_t at = (std::uint64_t(5) << 30) + 3;
    const std::unique_ptr<platform::updatable_file> asset =
        textpatch::open_asset_for_update(platform::system_file_system());
    textpatch::write_text_region(*asset, {at, 8}, "abc");

    EXPECT_EQ(std::filesystem::file_size(asset_file), at + 8);
    std::ifstream in(asset_file, std::ios::binary);
    std::string head(4, '?');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "head");
    in.seekg(static_cast<std::streamoff>(at - 1));
    std::string region(9, '?');
    in.read(region.data(), 9);
    EXPECT_EQ(region, "\0abc\0\0\0\0\0"s);
}

namespace {

const std::filesystem::path csv_file = "zelttest/English.csv";

// The translators' table of these tests and the game's form of it.
const std::string translators_csv =
    "\"NumberId\",\"StringId\",\"Text\",\"CharacterId\",\"FabricEventString\",\"FabricFilePath\"\r\n"
    "\"1\",\"ID_UI_START\",\"\xE5\xBC\x80\xE5\xA7\x8B\",\"\",\"\",\"\"\r\n"
    "\"2\",\"ID_CORE_VO_ROSK_001\",\"x\",\"ROSK\",\"VO/rosk_001\",\"vo/rosk_001.ogg\"\r\n"
    "\"3\",\"ID_DLG_ROSK_001\",\"\xE5\x90\x91\xE5\x8C\x97, \"\"go\"\"\",\"CAPTAIN_ROSK\",\"\",\"\"\r\n";
const std::string converted =
    "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n"
    "1,ID_UI_START,\xE5\xBC\x80\xE5\xA7\x8B,,,\n"
    "3,ID_DLG_ROSK_001,\"\xE5\x90\x91\xE5\x8C\x97, \"\"go\"\"    \",CAPTAIN_ROSK,,\n";

std::optional<failure_code> install_developer_table(std::string* printed = nullptr) {
    std::ostringstream out;
    std::optional<failure_code> failure =
        failure_of([&] { textpatch::install_developer_table(platform::system_file_system(), csv_file, out); });
    if (printed != nullptr) *printed = out.str();
    return failure;
}

void put_game(const std::string& asset_bytes) {
    put_asset(asset_bytes);
    std::filesystem::create_directories("zelttest");
}

}  // namespace

TEST(developer_text_install, writes_the_converted_table_and_zeros_the_rest_of_the_region) {
    for (std::size_t spare : {std::size_t(0), std::size_t(1), std::size_t(300)}) {
        SCOPED_TRACE(spare);
        scoped_temp_folder folder;
        const test_asset asset = make_asset(converted.size() + spare);
        put_game(asset.bytes);
        write_file(csv_file, translators_csv);

        std::string printed;
        EXPECT_EQ(std::nullopt, install_developer_table(&printed));
        EXPECT_EQ(locator_lines(asset), printed);
        EXPECT_EQ(installed(asset, converted), read_file(asset_file));
        EXPECT_EQ(translators_csv, read_file(csv_file));
    }
}

// Each refusal leaves the asset file as it was.
TEST(developer_text_install, refusals) {
    struct row {
        const char* what;
        std::size_t region_length;
        std::optional<std::string> table;  // none: no English.csv
        const char* table_kind;            // "folder" or "pipe" in the table's place
        failure_code failure;
    };
    const row rows[] = {
        {"no English.csv", converted.size(), std::nullopt, "", failure_code::game_file_unavailable},
        {"English.csv is a folder", converted.size(), std::nullopt, "folder", failure_code::game_file_unavailable},
        {"English.csv is a pipe", converted.size(), std::nullopt, "pipe", failure_code::game_file_unavailable},
        {"converted table one byte longer than the region", converted.size() - 1, translators_csv, "",
         failure_code::text_record_missing},
        {"region too small even for the header", 10, ""s, "", failure_code::text_record_missing},
        {"converted table holding French", converted.size() + 100,
         translators_csv + "\"4\",\"ID_E\",\"French\",\"\",\"\",\"\"\r\n", "", failure_code::text_record_missing},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scoped_temp_folder folder;
        const test_asset asset = make_asset(r.region_length);
        put_game(asset.bytes);
        if (r.table) write_file(csv_file, *r.table);
        if (std::string(r.table_kind) == "folder") std::filesystem::create_directories(csv_file);
        if (std::string(r.table_kind) == "pipe") {
            ASSERT_EQ(0, mkfifo(csv_file.c_str(), 0644));
        }

        EXPECT_EQ(r.failure, install_developer_table());
        EXPECT_EQ(asset.bytes, read_file(asset_file));
    }
}

TEST(developer_text_install, asset_file_failures_pass_through) {
    {
        SCOPED_TRACE("no Data folder");
        scoped_temp_folder folder;
        std::filesystem::create_directories("zelttest");
        write_file(csv_file, translators_csv);
        std::string printed;
        EXPECT_EQ(failure_code::game_file_unavailable, install_developer_table(&printed));
        EXPECT_EQ("", printed);
    }
    {
        SCOPED_TRACE("no French after English");
        scoped_temp_folder folder;
        const std::string bytes = "head English\0\0\0\0 text without the second name"s;
        put_game(bytes);
        write_file(csv_file, translators_csv);
        EXPECT_EQ(failure_code::text_record_missing, install_developer_table());
        EXPECT_EQ(bytes, read_file(asset_file));
    }
}
