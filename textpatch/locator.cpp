#include "textpatch/locator.h"

#include "app/failure.h"

#include <charconv>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::uint64_t textfieldstart = 0;
std::int64_t textfieldlength = 0;

blockreader::blockreader(std::istream& in, std::size_t blocksize)
    : in(in), buffer(blocksize == 0 ? 1 : blocksize), cursor(buffer.data()), end(buffer.data()) {}

bool blockreader::refill() {
    base += static_cast<std::uint64_t>(end - buffer.data());
    cursor = end = buffer.data();
    // A large read goes straight from the file into the block; a short one
    // means the end of the stream (or a read error, which counts the same).
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) return false;
    end = buffer.data() + got;
    return true;
}

namespace {

// Where a match of a pattern whose first two bytes are first and second can
// start in [p, e): the first i with p[i] = first and p[i + 1] = second, or
// the last byte, whose successor lies in the next block and is left to the
// caller. On random bytes the pair turns up once in 64 KiB, so the scan runs
// without stopping, where stopping at every first byte (every 256 bytes, one
// memchr call each) cost more than reading the file.
inline const unsigned char* findpair(const unsigned char* p, const unsigned char* e, unsigned char first,
                                     unsigned char second) {
#if defined(__SSE2__)
    const __m128i f = _mm_set1_epi8(static_cast<char>(first));
    const __m128i s = _mm_set1_epi8(static_cast<char>(second));
    auto pairs = [&](const unsigned char* at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
        return _mm_and_si128(_mm_cmpeq_epi8(here, f), _mm_cmpeq_epi8(next, s));
    };
    while (e - p > 64) {  // 64 bytes and the successor of the last
        const __m128i a = pairs(p), b = pairs(p + 16), c = pairs(p + 32), d = pairs(p + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            const std::uint64_t mask = static_cast<std::uint64_t>(_mm_movemask_epi8(a)) |
                                       static_cast<std::uint64_t>(_mm_movemask_epi8(b)) << 16 |
                                       static_cast<std::uint64_t>(_mm_movemask_epi8(c)) << 32 |
                                       static_cast<std::uint64_t>(_mm_movemask_epi8(d)) << 48;
            return p + __builtin_ctzll(mask);
        }
        p += 64;
    }
#endif
    while (e - p > 1) {
        const void* hit = std::memchr(p, first, static_cast<std::size_t>(e - p - 1));
        if (hit == nullptr) return e - 1;
        p = static_cast<const unsigned char*>(hit);
        if (p[1] == second) return p;
        ++p;
    }
    return p;
}

}  // namespace

std::vector<std::uint32_t> prefixtable(std::string_view pattern) {
    const std::size_t n = pattern.size();
    std::vector<std::uint32_t> table(n, 0);
    std::size_t i = 1;
    std::uint32_t k = 0;
    while (i < n) {
        if (pattern[i] == pattern[k]) {
            table[i++] = ++k;
        } else if (k > 0) {
            k = table[k - 1];
        } else {
            table[i++] = 0;
        }
    }
    return table;
}

std::uint64_t streamsearch(blockreader& in, std::string_view pattern) {
    const std::size_t n = pattern.size();
    if (n == 0) return 0;
    const std::vector<std::uint32_t> table = prefixtable(pattern);
    const auto* wanted = reinterpret_cast<const unsigned char*>(pattern.data());
    const std::uint64_t origin = in.position();
    std::size_t j = 0;  // pattern bytes matched so far; carried across blocks
    for (;;) {
        const auto* p = reinterpret_cast<const unsigned char*>(in.next());
        const auto* e = reinterpret_cast<const unsigned char*>(in.limit());
        while (p != e) {
            if (j == 0) {
                // Nothing matched yet: jump to where a match can start. No
                // match begins in the bytes passed over, so the search still
                // finds the first occurrence.
                if (n == 1) {
                    p = static_cast<const unsigned char*>(std::memchr(p, wanted[0], static_cast<std::size_t>(e - p)));
                    if (p == nullptr) break;
                } else {
                    p = findpair(p, e, wanted[0], wanted[1]);
                }
            }
            const unsigned char x = *p;
            while (j > 0 && x != wanted[j]) j = table[j - 1];
            if (x == wanted[j]) ++j;
            ++p;
            if (j == n) {
                in.consume(reinterpret_cast<const char*>(p));
                return in.position() - n - origin;
            }
        }
        in.consume(in.limit());
        if (!in.refill()) throw errortype{9};
    }
}

namespace {

std::string hexdigits(std::uint64_t value) {
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    return std::string(digits, result.ptr);
}

}  // namespace

void locatetextfield(std::istream& in, std::ostream& out, std::size_t blocksize) {
    // The scan of a large file takes a while: show the notice before it.
    out << "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n" << std::flush;
    blockreader reader(in, blocksize);

    // Layout from the first byte of "English": the name (7), one pad byte,
    // the text's length field (4), then the region; the region ends 9 bytes
    // before the next "French".
    const std::uint64_t english = streamsearch(reader, "English");
    textfieldstart = english + 12;
    out << "找到文本起始点：0x" << hexdigits(textfieldstart) << "\n" << std::flush;

    // Counted from the byte after "English": "French" starts at english + 7 + french.
    const std::uint64_t french = streamsearch(reader, "French");
    if (french < 14) throw errortype{9};  // no room for the length field and the tail
    textfieldlength = static_cast<std::int64_t>(french - 14);
    out << "找到文本长度：0x" << hexdigits(french - 14) << "\n" << std::flush;
}
