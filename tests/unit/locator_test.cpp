#include "textpatch/locator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

const std::string notice_line = "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n";

std::string start_line(std::uint64_t start) {
    std::ostringstream line;
    line << "找到文本起始点：0x" << std::hex << start << "\n";
    return line.str();
}

std::string length_line(std::uint64_t length) {
    std::ostringstream line;
    line << "找到文本长度：0x" << std::hex << length << "\n";
    return line.str();
}

using textpatch::block_reader;
using textpatch::text_region;

// What a locate ends with: the region it found, if any, and what it printed.
struct outcome {
    std::optional<text_region> region;
    std::string printed;

    bool operator==(const outcome& other) const {
        const bool same_region =
            region.has_value() == other.region.has_value() &&
            (!region || (region->start == other.region->start && region->length == other.region->length));
        return same_region && printed == other.printed;
    }
};

std::ostream& operator<<(std::ostream& os, const outcome& o) {
    if (!o.region) return os << "no region, printed " << ::testing::PrintToString(o.printed);
    return os << "start=" << o.region->start << " length=" << o.region->length << ", printed "
              << ::testing::PrintToString(o.printed);
}

// The outcome of a locate that finds the start (when given) and the length
// (when given): the region only when both are found.
outcome expected(std::optional<std::uint64_t> start, std::optional<std::uint64_t> length) {
    outcome o{std::nullopt, notice_line};
    if (start) o.printed += start_line(*start);
    if (start && length) {
        o.printed += length_line(*length);
        o.region = text_region{*start, *length};
    }
    return o;
}

outcome locate(std::istream& in, std::size_t block_size) {
    std::ostringstream out;
    outcome o;
    o.region = textpatch::locate_text_region(in, out, block_size);
    o.printed = out.str();
    return o;
}

outcome locate(const std::string& bytes, std::size_t block_size) {
    std::istringstream in(bytes);
    return locate(in, block_size);
}

// Block sizes that put every name across a block boundary somewhere.
const std::size_t block_sizes[] = {1, 2, 3, 5, 8, block_reader::default_block_size};

}  // namespace

TEST(locator, prefix_tables) {
    struct row {
        std::string pattern;
        std::vector<std::uint32_t> table;
    } rows[] = {
        {"English", {0, 0, 0, 0, 0, 0, 0}},
        {"French", {0, 0, 0, 0, 0, 0}},
        {"a", {0}},
        {"aaaa", {0, 1, 2, 3}},
        {"abab", {0, 0, 1, 2}},
        {"aabaaab", {0, 1, 0, 1, 2, 2, 3}},
        {"abacabab", {0, 0, 1, 0, 1, 2, 3, 2}},
    };
    for (const row& r : rows) EXPECT_EQ(textpatch::prefix_table(r.pattern), r.table) << r.pattern;
}

TEST(locator, small_files) {
    using namespace std::string_literals;
    const std::string pad = "\0"s + "LLLL";  // pad byte and length field
    const std::string tail = "ttttttttt";    // the 9 bytes before "French"
    struct row {
        const char* what;
        std::string bytes;
        std::optional<std::uint64_t> start;
        std::optional<std::uint64_t> length;
    } rows[] = {
        {"English at offset 0", "English" + pad + "text" + tail + "French", 12, 4},
        {"French ends on the last byte", "xxEnglish" + pad + tail + "French", 14, 0},
        {"E before English", "EEnglish" + pad + "ab" + tail + "French..", 13, 2},
        {"Engl before English", "EnglEnglish" + pad + "ab" + tail + "French", 16, 2},
        {"Englis before English", "EnglisEnglish" + pad + "ab" + tail + "French", 18, 2},
        {"Fr before French", "English" + pad + "abc" + tail + "FrFrench", 12, 5},
        {"Frenc before French", "English" + pad + "abc" + tail + "FrencFrench", 12, 8},
        {"first French after English ends the region", "English" + pad + "abc" + tail + "French" + tail + "French", 12,
         3},
        {"later English is text", "English" + pad + "English" + tail + "French", 12, 7},
        {"French only before English", "French...English" + pad + "text" + tail, 21, std::nullopt},
        {"no French", "English" + pad + "text" + tail, 12, std::nullopt},
        {"English ends on the last byte", "....English", 16, std::nullopt},
        {"no English", "Engl" + pad + tail + "French", std::nullopt, std::nullopt},
        {"empty file", "", std::nullopt, std::nullopt},
        {"French 14 bytes after English", "English" + pad + tail + "French", 12, 0},
        {"French 13 bytes after English", "English" + pad + "ttttttt" + "tFrench", 12, std::nullopt},
        {"French right after English", "EnglishFrench" + pad + tail, 12, std::nullopt},
    };
    for (const row& r : rows) {
        for (std::size_t block_size : block_sizes) {
            EXPECT_EQ(locate(r.bytes, block_size), expected(r.start, r.length))
                << r.what << ", blocks of " << block_size;
        }
    }
}

TEST(locator, english_at_100_french_at_1000) {
    std::string bytes(1200, '.');
    bytes.replace(100, 7, "English");
    bytes.replace(1000, 6, "French");
    const outcome o = locate(bytes, block_reader::default_block_size);
    EXPECT_EQ(o, expected(112, 879));
    EXPECT_EQ(o.printed, notice_line + "找到文本起始点：0x70\n找到文本长度：0x36f\n");
    ASSERT_TRUE(o.region);
    EXPECT_EQ(o.region->start + o.region->length, 991u) << "the region ends 9 bytes before French";
}

TEST(locator, searches_continue_right_after_the_match) {
    // The second search starts on the byte after the first match, also when
    // that byte is already in the block or is the first of the next block.
    for (std::size_t block_size : block_sizes) {
        std::istringstream in("abcFrenchFrench..French");
        block_reader reader(in, block_size);
        EXPECT_EQ(textpatch::stream_search(reader, "French"), 3u) << block_size;
        EXPECT_EQ(reader.position(), 9u) << block_size;
        EXPECT_EQ(textpatch::stream_search(reader, "French"), 0u) << block_size;
        EXPECT_EQ(textpatch::stream_search(reader, "French"), 2u) << block_size;
        EXPECT_EQ(textpatch::stream_search(reader, "French"), std::nullopt) << block_size;
    }
}

namespace {

// The locate worked out with memmem over the whole buffer.
outcome reference_locate(const std::string& bytes) {
    auto find = [&](std::size_t from, const char* name) -> std::optional<std::size_t> {
        if (from > bytes.size()) return std::nullopt;
        const void* hit = memmem(bytes.data() + from, bytes.size() - from, name, std::strlen(name));
        if (hit == nullptr) return std::nullopt;
        return static_cast<const char*>(hit) - bytes.data();
    };
    auto english = find(0, "English");
    if (!english) return expected(std::nullopt, std::nullopt);
    auto french = find(*english + 7, "French");
    if (!french || *french < *english + 7 + 14) return expected(*english + 12, std::nullopt);
    return expected(*english + 12, *french - *english - 7 - 14);
}

}  // namespace

TEST(locator, agrees_with_memmem_on_random_files) {
    for (unsigned seed = 0; seed < 400; ++seed) {
        std::mt19937 random(seed);
        auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };

        // Tiny blocks, blocks of a few of the 64-byte steps of the fast
        // skip, and blocks larger than the file.
        const std::size_t block_size = seed % 10 == 0  ? block_reader::default_block_size
                                       : seed % 2 == 0 ? 1 + below(64)
                                                       : 65 + below(256);
        // Mostly the letters of the names, so partial matches are frequent.
        const std::string letters = "EnglishFrc\n";
        std::string bytes(below(3000), '\0');
        for (char& c : bytes) c = below(4) == 0 ? static_cast<char>(below(256)) : letters[below(letters.size())];

        // Names placed across block boundaries, and partial copies of them.
        const std::size_t stride = std::min<std::size_t>(block_size, 97);
        auto plant = [&](const std::string& text) {
            if (bytes.size() < text.size() + 2 * stride) return;
            std::size_t at = (1 + below((bytes.size() - text.size()) / stride)) * stride;
            at -= std::min(at, below(text.size() + 1));
            bytes.replace(at, text.size(), text);
        };
        const char* pieces[] = {"English", "French", "Engl", "Englis", "EEnglish", "Fr", "Frenc", "FrFrench"};
        for (std::size_t n = below(6); n > 0; --n) plant(pieces[below(8)]);

        SCOPED_TRACE("seed " + std::to_string(seed) + ", blocks of " + std::to_string(block_size) + ", " +
                     std::to_string(bytes.size()) + " bytes");
        EXPECT_EQ(locate(bytes, block_size), reference_locate(bytes));
    }
}

namespace {

// A stream of zero bytes, longer than 32-bit offsets reach, that holds the
// two names at given offsets. The bytes are made as they are read.
class named_zeros : public std::streambuf {
public:
    named_zeros(std::uint64_t size, std::uint64_t english, std::uint64_t french)
        : size(size), names{{english, "English"}, {french, "French"}} {}

protected:
    std::streamsize xsgetn(char* s, std::streamsize n) override {
        const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), size - position);
        std::memset(s, 0, count);
        for (const auto& [at, name] : names) {
            for (std::uint64_t i = 0; i < name.size(); ++i) {
                if (at + i >= position && at + i < position + count) s[at + i - position] = name[i];
            }
        }
        position += count;
        return static_cast<std::streamsize>(count);
    }
    int_type underflow() override { return traits_type::eof(); }

private:
    std::uint64_t size;
    std::uint64_t position = 0;
    std::pair<std::uint64_t, std::string> names[2];
};

}  // namespace

TEST(locator, offsets_beyond_4_gib) {
    // "English" straddles the 4 GiB mark: 32-bit counting would wrap the start
    // to 9 and so would write at the head of the file.
    const std::uint64_t gib4 = std::uint64_t(1) << 32;
    named_zeros bytes(gib4 + 100, gib4 - 3, gib4 + 4 + 30);
    std::istream in(&bytes);
    EXPECT_EQ(locate(in, block_reader::default_block_size), expected(gib4 + 9, 16));
}
