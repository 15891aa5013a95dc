#include "integrity/gate.h"

#include "app/failure.h"
#include "app/state.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>

namespace {

const std::string progress = "正在校验游戏文件完整性，请稍候...\n";
const std::string invalid = "无效的选项，请重新选择：";
const std::string question = "远征手册文件MD5校验失败，是否继续安装？（Y/N）:";
const std::string archive = "TechnicalManual\\package.nw";
const std::string abcdigest = "900150983CD24FB0D6963F7D28E17F72";  // MD5("abc")

// A game folder whose manual archive holds "abc".
struct gamefolder {
    scratchfolder scratch;
    gamefolder() {
        std::filesystem::create_directory("TechnicalManual");
        writefile("TechnicalManual/package.nw", "abc");
    }
};

enum class outcome { goeson, declines, fails };

struct result {
    outcome how;
    std::string printed;
    std::string pending;  // input left unread
    std::int32_t code = 0;
};

result rungate(const std::string& expected, std::istream& in) {
    std::ostringstream out;
    result r{outcome::goeson, "", ""};
    try {
        checkintegrity(archive, expected, question, in, out);
    } catch (const exittype&) {
        r.how = outcome::declines;
    } catch (const errortype& failure) {
        r.how = outcome::fails;
        r.code = failure.code;
    }
    r.printed = out.str();
    in.clear();
    r.pending.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

result rungate(const std::string& expected, const std::string& input) {
    std::istringstream in(input);
    return rungate(expected, in);
}

std::string invalidtimes(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) text += invalid;
    return text;
}

}  // namespace

TEST(gate, matchingfileprintsonlytheprogressline) {
    gamefolder game;
    result r = rungate(abcdigest, "n\n");
    EXPECT_EQ(r.how, outcome::goeson);
    EXPECT_EQ(r.printed, progress);
    EXPECT_EQ(r.pending, "n\n");
}

// The digests are compared as they are: any other text asks the question.
TEST(gate, anyotherexpectedtextasks) {
    gamefolder game;
    for (std::string expected : {std::string("900150983cd24fb0d6963f7d28e17f72"), abcdigest + " ",
                                 std::string("5FE3389E9AECFFFFE9063FF37F7C05E0"), std::string()}) {
        result r = rungate(expected, "y\n");
        EXPECT_EQ(r.how, outcome::goeson) << '"' << expected << '"';
        EXPECT_EQ(r.printed, progress + question) << '"' << expected << '"';
    }
}

TEST(gate, answerstoamismatch) {
    struct row {
        std::string input;
        outcome how;
        int invalidmessages;
        std::string pending;
    };
    const row rows[] = {
        {"y\n", outcome::goeson, 0, "\n"},
        {"Y\n", outcome::goeson, 0, "\n"},
        {"yes\n", outcome::goeson, 0, "es\n"},
        {"n\n", outcome::declines, 0, "\n"},
        {"N\n", outcome::declines, 0, "\n"},
        {"no\n", outcome::declines, 0, "o\n"},
        {"abc\ny\n", outcome::goeson, 3, "\n"},
        {"abc\n", outcome::declines, 3, ""},  // still waiting when the input ends
        {"\n  \n\t \nY\n", outcome::goeson, 0, "\n"},
        {"Ｙ\nn\n", outcome::declines, 2, "\n"},  // a full-width Ｙ is two GBK bytes
        {"", outcome::declines, 0, ""},
        {"\n\n", outcome::declines, 0, ""},
    };
    gamefolder game;
    for (const row& r : rows) {
        result got = rungate("5FE3389E9AECFFFFE9063FF37F7C05E0", r.input);
        EXPECT_EQ(got.how, r.how) << '"' << r.input << '"';
        EXPECT_EQ(got.printed, progress + question + invalidtimes(r.invalidmessages)) << '"' << r.input << '"';
        EXPECT_EQ(got.pending, r.pending) << '"' << r.input << '"';
    }
}

// The menu took the "3" of "3y"; the rest of its line answers the question.
TEST(gate, restofthemenulineanswers) {
    gamefolder game;
    std::istringstream in("3y\n");
    char key;
    in >> key;
    result r = rungate("5FE3389E9AECFFFFE9063FF37F7C05E0", in);
    EXPECT_EQ(r.how, outcome::goeson);
    EXPECT_EQ(r.printed, progress + question);
    EXPECT_EQ(r.pending, "\n");
}

TEST(gate, missingfileprintstheprogresslinethenfailswithcode2) {
    scratchfolder scratch;
    result r = rungate(abcdigest, "y\n");
    EXPECT_EQ(r.how, outcome::fails);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.printed, progress);
    EXPECT_EQ(r.pending, "y\n");
}

TEST(gate, developermodechecksnothing) {
    scratchfolder scratch;  // no archive at all
    testmode = true;
    result r = rungate(abcdigest, "n\n");
    testmode = false;
    EXPECT_EQ(r.how, outcome::goeson);
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(r.pending, "n\n");
}
