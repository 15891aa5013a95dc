#include "payload/payload.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using payload::payload_id;

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
