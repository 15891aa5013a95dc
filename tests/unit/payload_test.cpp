#include "payload/payload.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using payload::payload_id;
using payload::write_result;

// The unit test binary carries the real payload table plus an empty entry.
constexpr auto empty_payload = static_cast<payload_id>(901);
constexpr auto missing_payload = static_cast<payload_id>(999);

}  // namespace

TEST(payload, bytes_are_the_payload_where_it_lies) {
    const std::string english = read_file(VARNHOLT_PAYLOAD_DIR "/strings-en.csv");
    std::optional<std::string_view> bytes = payload::bytes_of(payload_id::english_table);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(english, *bytes);
    EXPECT_EQ(bytes->data(), payload::bytes_of(payload_id::english_table)->data()) << "never copied";
}

TEST(payload, missing_or_empty_payload_is_unavailable) {
    EXPECT_FALSE(payload::bytes_of(missing_payload));
    EXPECT_FALSE(payload::bytes_of(empty_payload));
    EXPECT_TRUE(payload::bytes_of(payload_id::banner));
}

TEST(payload_write_file, writes_the_payload_byte_for_byte) {
    scoped_temp_folder folder;
    ASSERT_EQ(write_result::written, payload::write_file(payload_id::english_table, "strings.csv"));
    EXPECT_EQ(read_file(VARNHOLT_PAYLOAD_DIR "/strings-en.csv"), read_file("strings.csv"))
        << "CR LF and trailing zeros intact";
    ASSERT_EQ(write_result::written, payload::write_file(payload_id::page_archive, "book.zip"));
    EXPECT_EQ(read_file(VARNHOLT_BOOK_ZIP), read_file("book.zip"));
}

TEST(payload_write_file, replaces_an_existing_file) {
    scoped_temp_folder folder;
    write_file("banner.txt", std::string(100000, 'x'));
    ASSERT_EQ(write_result::written, payload::write_file(payload_id::banner, "banner.txt"));
    EXPECT_EQ(read_file(VARNHOLT_PAYLOAD_DIR "/banner.txt"), read_file("banner.txt"));
}

TEST(payload_write_file, unavailable_payload_creates_nothing) {
    scoped_temp_folder folder;
    EXPECT_EQ(write_result::payload_unavailable, payload::write_file(missing_payload, "out.bin"));
    EXPECT_EQ(write_result::payload_unavailable, payload::write_file(empty_payload, "out.bin"));
    EXPECT_FALSE(std::filesystem::exists("out.bin"));
}

TEST(payload_write_file, file_that_cannot_be_written) {
    scoped_temp_folder folder;
    std::filesystem::create_directory("folder");
    struct row {
        const char* what;
        std::filesystem::path path;
    } rows[] = {
        {"inside a folder that does not exist", "no folder/banner.txt"},
        {"a folder of that name", "folder"},
        // /dev/full opens fine and refuses every byte, like a full disk.
        {"a full disk", "/dev/full"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.path == "/dev/full" && !std::filesystem::exists(r.path)) continue;
        EXPECT_EQ(write_result::file_not_written, payload::write_file(payload_id::english_table, r.path));
    }
    EXPECT_FALSE(std::filesystem::exists("no folder"));
}
