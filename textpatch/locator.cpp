#include "textpatch/locator.h"

#include <charconv>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textpatch {

block_reader::block_reader(std::istream& in, std::size_t block_size)
    : in_(in), buffer_(block_size == 0 ? 1 : block_size), cursor_(buffer_.data()), end_(buffer_.data()) {}

bool block_reader::refill() {
    base_ += static_cast<std::uint64_t>(end_ - buffer_.data());
    cursor_ = end_ = buffer_.data();
    // A large read goes straight from the file into the block; a short one
    // means the end of the stream (or a read error, which counts the same).
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    const std::streamsize got = in_.gcount();
    if (got <= 0) return false;
    end_ = buffer_.data() + got;
    return true;
}

namespace {

// Where a match of a pattern whose first two bytes are first and second can
// start in [p, e): the first i with p[i] = first and p[i + 1] = second, or
// the last byte, whose successor lies in the next block and is left to the
// caller. On random bytes the pair turns up once in 64 KiB, so the scan runs
// without stopping, where stopping at every first byte (every 256 bytes, one
// memchr call each) cost more than reading the file.
inline const unsigned char* find_pair(const unsigned char* p, const unsigned char* e, unsigned char first,
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

std::vector<std::uint32_t> prefix_table(std::string_view pattern) {
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

std::optional<std::uint64_t> stream_search(block_reader& in, std::string_view pattern) {
    const std::size_t n = pattern.size();
    if (n == 0) return 0;
    const std::vector<std::uint32_t> table = prefix_table(pattern);
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
                    p = find_pair(p, e, wanted[0], wanted[1]);
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
        if (!in.refill()) return std::nullopt;
    }
}

namespace {

std::string hex_digits(std::uint64_t value) {
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    return std::string(digits, result.ptr);
}

}  // namespace

std::optional<text_region> locate_text_region(std::istream& in, std::ostream& out, std::size_t block_size) {
    // The scan of a large file takes a while: show the notice before it.
    out << "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n" << std::flush;
    block_reader reader(in, block_size);

    // Layout from the first byte of "English": the name (7), one pad byte,
    // the text's length field (4), then the region; the region ends 9 bytes
    // before the next "French".
    const std::optional<std::uint64_t> english = stream_search(reader, "English");
    if (!english) return std::nullopt;
    text_region region{*english + 12, 0};
    out << "找到文本起始点：0x" << hex_digits(region.start) << "\n" << std::flush;

    // Counted from the byte after "English": "French" starts at english + 7 + french.
    const std::optional<std::uint64_t> french = stream_search(reader, "French");
    if (!french || *french < 14) return std::nullopt;  // under 14: no room for the length field and the tail
    region.length = *french - 14;
    out << "找到文本长度：0x" << hex_digits(region.length) << "\n" << std::flush;
    return region;
}

}  // namespace textpatch
