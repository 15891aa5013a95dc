#include "textpatch/table_conversion.h"
#include "fuzz/table_conversion_properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

using namespace std::string_literals;

const std::string header = "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n";
// A translators' header line, as their platform exports it.
const std::string quoted_header =
    "\"NumberId\",\"StringId\",\"Text\",\"CharacterId\",\"FabricEventString\",\"FabricFilePath\"\n";

// UTF-8 bytes, kept out of the compiler's GBK conversion.
const std::string one_character = "\xE4\xB8\xAD";           // 3 bytes
const std::string eight_characters = u8"舵手向左满舵前进";  // 24 bytes
const std::string four_characters = u8"开始远征";           // 12 bytes

std::string convert(const std::string& csv) {
    std::istringstream in(csv, std::ios::in | std::ios::binary);
    std::ostringstream out(std::ios::out | std::ios::binary);
    textpatch::convert_developer_table(in, out);
    return out.str();
}

struct conversion {
    const char* what;
    std::string csv;
    std::string expected;  // after the output header
};

void expect_conversions(const conversion* begin, const conversion* end) {
    for (const conversion* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->what);
        EXPECT_EQ(header + c->expected, convert(c->csv));
    }
}

}  // namespace

TEST(table_conversion, converts_the_translators_table) {
    const std::string h = quoted_header;
    // One case a line reads best as a table.
    // clang-format off
    const conversion cases[] = {
        {"header only", h, ""},
        {"empty file", "", ""},
        {"header without a line feed", "NumberId", ""},
        {"plain row", h + R"("1","ID_A_1","Campaign","","","")" "\n", "1,ID_A_1,Campaign,,,\n"},
        {"every field kept in place", h + R"("7","ID_X","T","C","E","P")" "\n", "7,ID_X,T,C,E,P\n"},
        {"bytes copied as they are", h + "\"2\",\"ID_ZH\",\"" + four_characters + "\",\"\",\"\",\"\"\n",
         "2,ID_ZH," + four_characters + ",,,\n"},
        {"comma in Text", h + R"("3","ID_B","Left, then right","","","")" "\n",
         "3,ID_B,\"Left, then right\",,,\n"},
        {"doubled quote in Text", h + R"("4","ID_C","Say ""hi""","","","")" "\n",
         "4,ID_C,\"Say \"\"hi\"\"\",,,\n"},
        {"doubled quote alone", h + R"("4","ID_C","""","","","")" "\n", "4,ID_C,\"\"\"\",,,\n"},
        {"voice rows dropped, near misses kept",
         h + R"("1","ID_CORE_VO_ROSK_001","Hold.","ROSK","VO/rosk","vo/rosk.ogg")" "\n"
             R"("2","ID_CORE_VO_","a","","","")" "\n"
             R"("3","ID_CORE_VO","b","","","")" "\n"
             R"("4","ID_CORE_","c","","","")" "\n"
             R"("5","id_core_vo_x","d","","","")" "\n"
             R"("6","XID_CORE_VO_","e","","","")" "\n",
         "3,ID_CORE_VO,b,,,\n4,ID_CORE_,c,,,\n5,id_core_vo_x,d,,,\n6,XID_CORE_VO_,e,,,\n"},
        {"speaker's 24 bytes get 8 spaces", h + "\"1\",\"ID_D\",\"" + eight_characters + "\",\"ROSK\",\"\",\"\"\n",
         "1,ID_D," + eight_characters + "        ,ROSK,,\n"},
        {"speaker's 3 bytes get 1 space", h + "\"1\",\"ID_D\",\"" + one_character + "\",\"ROSK\",\"\",\"\"\n",
         "1,ID_D," + one_character + " ,ROSK,,\n"},
        {"speaker's 2 bytes get none", h + R"("1","ID_D","ab","ROSK","","")" "\n", "1,ID_D,ab,ROSK,,\n"},
        {"spaces go inside the quotes; a doubled quote counts two bytes",
         h + R"("1","ID_D","a""b,c","ROSK","","")" "\n", "1,ID_D,\"a\"\"b,c  \",ROSK,,\n"},
        {"no speaker, no spaces", h + "\"1\",\"ID_D\",\"" + eight_characters + "\",\"\",\"VO/x\",\"\"\n",
         "1,ID_D," + eight_characters + ",,VO/x,\n"},
        {"header with a byte-order mark", "\xEF\xBB\xBF" + h + R"("1","ID_A","x","","","")" "\n",
         "1,ID_A,x,,,\n"},
        {"header unlike the game's", "whatever\n" R"("1","ID_A","x","","","")" "\n", "1,ID_A,x,,,\n"},
        {"more than six fields", h + R"("1","ID_A","x","c","e","p","extra","more")" "\n", "1,ID_A,x,c,e,p\n"},
        {"bytes after the sixth field", h + R"("1","ID_A","x","","","p"trailing)" "\n", "1,ID_A,x,,,p\n"},
        {"last line without a line feed", h + R"("1","ID_A","x","","","")" "\n" R"("2","ID_B","y","","","")",
         "1,ID_A,x,,,\n2,ID_B,y,,,\n"},
        {"CR LF line ends", "H\r\n" R"("1","ID_A","x,y","","","")" "\r\n" R"("2","ID_B","z","","","")" "\r\n",
         "1,ID_A,\"x,y\",,,\n2,ID_B,z,,,\n"},
    };
    // clang-format on
    expect_conversions(std::begin(cases), std::end(cases));
}

TEST(table_conversion, crlf_input_equals_lf_input) {
    const std::string lf = quoted_header + R"("1","ID_A","x,y","ROSK","","")"
                                           "\n"
                                           R"("2","ID_CORE_VO_A","v","","","")"
                                           "\n"
                                           R"("3","ID_B","say ""so""","","e","p")"
                                           "\n"
                                           R"("4","ID_C","open)"
                                           "\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    EXPECT_EQ(convert(lf), convert(crlf));
    EXPECT_EQ(convert(lf + "\n"), convert(crlf.substr(0, crlf.size() - 2)));
}

// Lines that do not follow the format. Reading stays within the line.
TEST(table_conversion, malformed_lines) {
    const std::string h = quoted_header;
    // One case a line reads best as a table.
    // clang-format off
    const conversion cases[] = {
        {"empty lines give no row", h + "\n" R"("1","ID_A","x","","","")" "\n\n\r\n" R"("2","ID_B","y","","","")" "\n\n",
         "1,ID_A,x,,,\n2,ID_B,y,,,\n"},
        {"fewer than six fields", h + R"("1","ID_A","x")" "\n", "1,ID_A,x,,,\n"},
        {"one field", h + R"("9")" "\n", "9,,,,,\n"},
        {"a lone quote", h + "\"\n", ",,,,,\n"},
        {"fewer fields, the speaker still pads", h + R"("1","ID_A","abcdef","ROSK")" "\n", "1,ID_A,abcdef  ,ROSK,,\n"},
        {"unclosed Text runs to the line end", h + R"("1","ID_A","open, text)" "\n" R"("2","ID_B","y","","","")" "\n",
         "1,ID_A,\"open, text\",,,\n2,ID_B,y,,,\n"},
        {"unclosed field before a CR LF", h + R"("1","ID_A","x","","e","open)" "\r\n", "1,ID_A,x,,e,open\n"},
        {"unclosed voice StringId still drops the row", h + R"("1","ID_CORE_VO_X)" "\n", ""},
        {"a field cut after its quote", h + R"("1","ID_A",)" "\n", "1,ID_A,,,,\n"},
        {"unquoted fields all fall into NumberId", h + "1,ID_A,x,,,\n", ",ID_A,x,,,,,,,,\n"},
        // Steps of three after each field: a stray quote shifts the fields after it.
        {"a stray quote in StringId", h + R"("1","ID"A","x","","","")" "\n", "1,ID,\",\",,,,\n"},
        {"a zero byte is an ordinary byte", h + "\"1\",\"ID_A\",\"a\0b\",\"\",\"\",\"\"\n"s, "1,ID_A,a\0b,,,\n"s},
    };
    // clang-format on
    expect_conversions(std::begin(cases), std::end(cases));
}

// The fuzz target's seed corpus, through the normal build: every seed
// converts and gives a well-formed table.
TEST(table_conversion, replays_the_fuzz_corpus) {
    const std::filesystem::path corpus = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                                         "fuzz" / "corpus" / "table_conversion";
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const std::string output = convert(input);
        const char* problem = converted_table_problem(input, output);
        EXPECT_EQ(nullptr, problem) << problem;
        ++seeds;
    }
    EXPECT_GT(seeds, 0);
}
