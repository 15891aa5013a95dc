#include "integrity/gate.h"
#include "platform/file_system.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

const std::string progress = "正在校验游戏文件完整性，请稍候...\n";
const std::string invalid = "无效的选项，请重新选择：";
const std::string question = "远征手册文件MD5校验失败，是否继续安装？（Y/N）:";
const std::filesystem::path archive = "TechnicalManual/package.nw";
const std::string abc_digest = "900150983CD24FB0D6963F7D28E17F72";  // MD5("abc")

// A game folder whose manual archive holds "abc".
struct game_folder {
    scoped_temp_folder folder;
    game_folder() {
        std::filesystem::create_directory("TechnicalManual");
        write_file("TechnicalManual/package.nw", "abc");
    }
};

enum class outcome { goes_on, declines, fails };

struct result {
    outcome how;
    std::string printed;
    std::string pending;  // input left unread
    std::optional<core::failure_code> failure;
};

result run_gate(const std::string& expected, std::istream& in) {
    std::ostringstream out;
    result r{outcome::fails, "", "", std::nullopt};
    r.failure = failure_of([&] {
        const integrity::decision decision =
            integrity::check_file(platform::system_file_system(), archive, expected, question, in, out);
        r.how = decision == integrity::decision::go_on ? outcome::goes_on : outcome::declines;
    });
    r.printed = out.str();
    in.clear();
    r.pending.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

result run_gate(const std::string& expected, const std::string& input) {
    std::istringstream in(input);
    return run_gate(expected, in);
}

std::string invalid_times(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) text += invalid;
    return text;
}

}  // namespace

TEST(gate, matching_file_prints_only_the_progress_line) {
    game_folder game;
    result r = run_gate(abc_digest, "n\n");
    EXPECT_EQ(r.how, outcome::goes_on);
    EXPECT_EQ(r.printed, progress);
    EXPECT_EQ(r.pending, "n\n");
}

// The digests are compared as they are: any other text asks the question.
TEST(gate, any_other_expected_text_asks) {
    game_folder game;
    for (std::string expected : {std::string("900150983cd24fb0d6963f7d28e17f72"), abc_digest + " ",
                                 std::string("5FE3389E9AECFFFFE9063FF37F7C05E0"), std::string()}) {
        result r = run_gate(expected, "y\n");
        EXPECT_EQ(r.how, outcome::goes_on) << '"' << expected << '"';
        EXPECT_EQ(r.printed, progress + question) << '"' << expected << '"';
    }
}

TEST(gate, answers_to_a_mismatch) {
    struct row {
        std::string input;
        outcome how;
        int invalid_messages;
        std::string pending;
    };
    const row rows[] = {
        {"y\n", outcome::goes_on, 0, "\n"},
        {"Y\n", outcome::goes_on, 0, "\n"},
        {"yes\n", outcome::goes_on, 0, "es\n"},
        {"n\n", outcome::declines, 0, "\n"},
        {"N\n", outcome::declines, 0, "\n"},
        {"no\n", outcome::declines, 0, "o\n"},
        {"abc\ny\n", outcome::goes_on, 3, "\n"},
        {"abc\n", outcome::declines, 3, ""},  // still waiting when the input ends
        {"\n  \n\t \nY\n", outcome::goes_on, 0, "\n"},
        {"Ｙ\nn\n", outcome::declines, 2, "\n"},  // a full-width Ｙ is two GBK bytes
        {"", outcome::declines, 0, ""},
        {"\n\n", outcome::declines, 0, ""},
    };
    game_folder game;
    for (const row& r : rows) {
        result got = run_gate("5FE3389E9AECFFFFE9063FF37F7C05E0", r.input);
        EXPECT_EQ(got.how, r.how) << '"' << r.input << '"';
        EXPECT_EQ(got.printed, progress + question + invalid_times(r.invalid_messages)) << '"' << r.input << '"';
        EXPECT_EQ(got.pending, r.pending) << '"' << r.input << '"';
    }
}

// The menu took the "3" of "3y"; the rest of its line answers the question.
TEST(gate, rest_of_the_menu_line_answers) {
    game_folder game;
    std::istringstream in("3y\n");
    char key;
    in >> key;
    result r = run_gate("5FE3389E9AECFFFFE9063FF37F7C05E0", in);
    EXPECT_EQ(r.how, outcome::goes_on);
    EXPECT_EQ(r.printed, progress + question);
    EXPECT_EQ(r.pending, "\n");
}

TEST(gate, missing_file_prints_the_progress_line_then_fails) {
    scoped_temp_folder folder;
    result r = run_gate(abc_digest, "y\n");
    EXPECT_EQ(r.how, outcome::fails);
    EXPECT_EQ(r.failure, core::failure_code::game_file_unavailable);
    EXPECT_EQ(r.printed, progress);
    EXPECT_EQ(r.pending, "y\n");
}

// A pipe in the archive's place is refused after the progress line, without
// blocking on the open.
TEST(gate, file_that_is_no_regular_file_fails) {
    scoped_temp_folder folder;
    std::filesystem::create_directory("TechnicalManual");
    ASSERT_EQ(0, mkfifo("TechnicalManual/package.nw", 0644));
    result r = run_gate(abc_digest, "y\n");
    EXPECT_EQ(r.how, outcome::fails);
    EXPECT_EQ(r.failure, core::failure_code::game_file_unavailable);
    EXPECT_EQ(r.printed, progress);
}
