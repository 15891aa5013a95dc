#include "app/failure_messages.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

core::failure_code code(std::int32_t number) { return static_cast<core::failure_code>(number); }

}  // namespace

// The texts of the known codes are checked end to end, against a copy of
// their own; here: what every message has in common, and the codes without
// a message.
TEST(failure_message, known_codes_are_gbk_without_surrounding_line_ends) {
    for (std::int32_t number : {1, 2, 3, 4, 5, 6, 8, 9}) {
        SCOPED_TRACE(number);
        const std::string message = app::failure_message(code(number));
        ASSERT_FALSE(message.empty());
        EXPECT_NE('\n', message.front());
        EXPECT_NE('\n', message.back());
        EXPECT_EQ(std::string::npos, message.find("错误代码为")) << "a known code has a message of its own";
    }
    // "调" is B5F7 in GBK, not the E8B083 of UTF-8.
    EXPECT_EQ("\xB5\xF7", app::failure_message(core::failure_code::payload_unavailable).substr(0, 2));
    // Only the archiver's message spans two lines.
    EXPECT_NE(std::string::npos, app::failure_message(core::failure_code::archiver_reported).find('\n'));
}

TEST(failure_message, other_codes_name_their_number) {
    const std::pair<std::int32_t, const char*> rows[] = {
        {0, "0"}, {7, "7"}, {12, "12"}, {-3, "-3"}, {INT32_MIN, "-2147483648"}, {INT32_MAX, "2147483647"},
    };
    for (const auto& [number, text] : rows) {
        EXPECT_EQ(std::string("汉化包安装程序发生了未知的错误，错误代码为：") + text,
                  app::failure_message(code(number)));
    }
}
