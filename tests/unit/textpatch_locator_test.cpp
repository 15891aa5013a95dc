#include "app/failure.h"
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

const std::string noticeline = "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n";

std::string startline(std::uint64_t start) {
    std::ostringstream line;
    line << "找到文本起始点：0x" << std::hex << start << "\n";
    return line.str();
}

std::string lengthline(std::uint64_t length) {
    std::ostringstream line;
    line << "找到文本长度：0x" << std::hex << length << "\n";
    return line.str();
}

// What a locate ends with: the region, or the code and how far it printed.
struct outcome {
    std::optional<std::uint64_t> start;   // set once the start line is printed
    std::optional<std::int64_t> length;   // set only when the locate succeeds
    std::string printed;

    bool operator==(const outcome& other) const {
        return start == other.start && length == other.length && printed == other.printed;
    }
};

std::ostream& operator<<(std::ostream& os, const outcome& o) {
    os << "start=" << (o.start ? std::to_string(*o.start) : "none")
       << " length=" << (o.length ? std::to_string(*o.length) : "none");
    return os;
}

// The outcome as the printed lines describe it.
outcome expected(std::optional<std::uint64_t> start, std::optional<std::int64_t> length) {
    outcome o{start, length, noticeline};
    if (start) o.printed += startline(*start);
    if (length) o.printed += lengthline(static_cast<std::uint64_t>(*length));
    return o;
}

outcome locate(std::istream& in, std::size_t blocksize) {
    std::ostringstream out;
    textfieldstart = 0xdeadbeef;
    textfieldlength = -1;
    outcome o;
    try {
        locatetextfield(in, out, blocksize);
        o.start = textfieldstart;
        o.length = textfieldlength;
    } catch (const errortype& failure) {
        EXPECT_EQ(failure.code, 9);
        if (out.str().size() > noticeline.size()) o.start = textfieldstart;
        EXPECT_EQ(textfieldlength, -1) << "the length is only set by a locate that succeeds";
    }
    o.printed = out.str();
    return o;
}

outcome locate(const std::string& bytes, std::size_t blocksize) {
    std::istringstream in(bytes);
    return locate(in, blocksize);
}

// Block sizes that put every name across a block boundary somewhere.
const std::size_t blocksizes[] = {1, 2, 3, 5, 8, blockreader::defaultblocksize};

}  // namespace

TEST(textpatchlocator, prefixtables) {
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
    for (const row& r : rows) EXPECT_EQ(prefixtable(r.pattern), r.table) << r.pattern;
}

TEST(textpatchlocator, smallfiles) {
    using namespace std::string_literals;
    const std::string pad = "\0"s + "LLLL";  // pad byte and length field
    const std::string tail = "ttttttttt";    // the 9 bytes before "French"
    struct row {
        const char* what;
        std::string bytes;
        std::optional<std::uint64_t> start;
        std::optional<std::int64_t> length;
    } rows[] = {
        {"English at offset 0", "English" + pad + "text" + tail + "French", 12, 4},
        {"French ends on the last byte", "xxEnglish" + pad + tail + "French", 14, 0},
        {"E before English", "EEnglish" + pad + "ab" + tail + "French..", 13, 2},
        {"Engl before English", "EnglEnglish" + pad + "ab" + tail + "French", 16, 2},
        {"Englis before English", "EnglisEnglish" + pad + "ab" + tail + "French", 18, 2},
        {"Fr before French", "English" + pad + "abc" + tail + "FrFrench", 12, 5},
        {"Frenc before French", "English" + pad + "abc" + tail + "FrencFrench", 12, 8},
        {"first French after English ends the region",
         "English" + pad + "abc" + tail + "French" + tail + "French", 12, 3},
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
        for (std::size_t blocksize : blocksizes) {
            EXPECT_EQ(locate(r.bytes, blocksize), expected(r.start, r.length))
                << r.what << ", blocks of " << blocksize;
        }
    }
}

TEST(textpatchlocator, englishat100frenchat1000) {
    std::string bytes(1200, '.');
    bytes.replace(100, 7, "English");
    bytes.replace(1000, 6, "French");
    const outcome o = locate(bytes, blockreader::defaultblocksize);
    EXPECT_EQ(o, expected(112, 879));
    EXPECT_EQ(o.printed, noticeline + "找到文本起始点：0x70\n找到文本长度：0x36f\n");
    EXPECT_EQ(textfieldstart + textfieldlength, 991u) << "the region ends 9 bytes before French";
}

TEST(textpatchlocator, searchescontinuerightafterthematch) {
    // The second search starts on the byte after the first match, also when
    // that byte is already in the block or is the first of the next block.
    for (std::size_t blocksize : blocksizes) {
        std::istringstream in("abcFrenchFrench..French");
        blockreader reader(in, blocksize);
        EXPECT_EQ(streamsearch(reader, "French"), 3u) << blocksize;
        EXPECT_EQ(reader.position(), 9u) << blocksize;
        EXPECT_EQ(streamsearch(reader, "French"), 0u) << blocksize;
        EXPECT_EQ(streamsearch(reader, "French"), 2u) << blocksize;
        EXPECT_THROW(streamsearch(reader, "French"), errortype) << blocksize;
    }
}

namespace {

// The locate worked out with memmem over the whole buffer.
outcome referencelocate(const std::string& bytes) {
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
    return expected(*english + 12, static_cast<std::int64_t>(*french - *english - 7 - 14));
}

}  // namespace

TEST(textpatchlocator, agreeswithmemmemonrandomfiles) {
    for (unsigned seed = 0; seed < 400; ++seed) {
        std::mt19937 random(seed);
        auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };

        // Tiny blocks, blocks of a few of the 64-byte steps of the fast
        // skip, and blocks larger than the file.
        const std::size_t blocksize = seed % 10 == 0  ? blockreader::defaultblocksize
                                      : seed % 2 == 0 ? 1 + below(64)
                                                      : 65 + below(256);
        // Mostly the letters of the names, so partial matches are frequent.
        const std::string letters = "EnglishFrc\n";
        std::string bytes(below(3000), '\0');
        for (char& c : bytes) c = below(4) == 0 ? static_cast<char>(below(256)) : letters[below(letters.size())];

        // Names placed across block boundaries, and partial copies of them.
        const std::size_t stride = std::min<std::size_t>(blocksize, 97);
        auto plant = [&](const std::string& text) {
            if (bytes.size() < text.size() + 2 * stride) return;
            std::size_t at = (1 + below((bytes.size() - text.size()) / stride)) * stride;
            at -= std::min(at, below(text.size() + 1));
            bytes.replace(at, text.size(), text);
        };
        const char* pieces[] = {"English", "French", "Engl", "Englis", "EEnglish", "Fr", "Frenc", "FrFrench"};
        for (std::size_t n = below(6); n > 0; --n) plant(pieces[below(8)]);

        SCOPED_TRACE("seed " + std::to_string(seed) + ", blocks of " + std::to_string(blocksize) +
                     ", " + std::to_string(bytes.size()) + " bytes");
        EXPECT_EQ(locate(bytes, blocksize), referencelocate(bytes));
    }
}

namespace {

// A stream of zero bytes, longer than 32-bit offsets reach, that holds the
// two names at given offsets. The bytes are made as they are read.
class namedzeros : public std::streambuf {
public:
    namedzeros(std::uint64_t size, std::uint64_t english, std::uint64_t french)
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

TEST(textpatchlocator, offsetsbeyond4gib) {
    // "English" straddles the 4 GiB mark: 32-bit counting would wrap the start
    // to 9 and so would write at the head of the file.
    const std::uint64_t gib4 = std::uint64_t(1) << 32;
    namedzeros bytes(gib4 + 100, gib4 - 3, gib4 + 4 + 30);
    std::istream in(&bytes);
    EXPECT_EQ(locate(in, blockreader::defaultblocksize), expected(gib4 + 9, 16));
}
