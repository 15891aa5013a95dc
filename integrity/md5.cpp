#include "integrity/md5.h"

#include "platform/file_stream.h"

#include <cstring>

namespace integrity {

namespace {

// Little-endian 32-bit load from any alignment; a single move on the
// x86 targets, byte-swapped where the host is big-endian.
inline std::uint32_t load32(const unsigned char* p) {
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    return word;
}

inline void store32(unsigned char* p, std::uint32_t word) {
    p[0] = static_cast<unsigned char>(word);
    p[1] = static_cast<unsigned char>(word >> 8);
    p[2] = static_cast<unsigned char>(word >> 16);
    p[3] = static_cast<unsigned char>(word >> 24);
}

inline std::uint32_t rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// The four round functions, written so that as little as possible waits for
// x, the value the previous step has just produced: F selects y or z by x;
// G selects x or y by z, and as its two halves never share a bit it can
// add them, which lets y & ~z join the sum before x is known.
inline std::uint32_t f(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t g(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & z) + (y & ~z); }
inline std::uint32_t h(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t i(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

// One step. The word and constant are added first: they do not depend on
// the previous step, so only fn, the rotation and the last add are on the
// chain from step to step.
#define MD5STEP(fn, a, b, c, d, word, s, constant) \
    a += (word) + std::uint32_t(constant);         \
    a += fn(b, c, d);                              \
    a = rotl(a, s) + b;

// One 64-byte block into the chaining values. The 64 steps are written out
// so that every shift and constant is an immediate.
void compress(std::uint32_t state[4], const unsigned char* block) {
    std::uint32_t x[16];
    for (int k = 0; k < 16; ++k) x[k] = load32(block + 4 * k);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    MD5STEP(f, a, b, c, d, x[0], 7, 0xd76aa478)
    MD5STEP(f, d, a, b, c, x[1], 12, 0xe8c7b756)
    MD5STEP(f, c, d, a, b, x[2], 17, 0x242070db)
    MD5STEP(f, b, c, d, a, x[3], 22, 0xc1bdceee)
    MD5STEP(f, a, b, c, d, x[4], 7, 0xf57c0faf)
    MD5STEP(f, d, a, b, c, x[5], 12, 0x4787c62a)
    MD5STEP(f, c, d, a, b, x[6], 17, 0xa8304613)
    MD5STEP(f, b, c, d, a, x[7], 22, 0xfd469501)
    MD5STEP(f, a, b, c, d, x[8], 7, 0x698098d8)
    MD5STEP(f, d, a, b, c, x[9], 12, 0x8b44f7af)
    MD5STEP(f, c, d, a, b, x[10], 17, 0xffff5bb1)
    MD5STEP(f, b, c, d, a, x[11], 22, 0x895cd7be)
    MD5STEP(f, a, b, c, d, x[12], 7, 0x6b901122)
    MD5STEP(f, d, a, b, c, x[13], 12, 0xfd987193)
    MD5STEP(f, c, d, a, b, x[14], 17, 0xa679438e)
    MD5STEP(f, b, c, d, a, x[15], 22, 0x49b40821)

    MD5STEP(g, a, b, c, d, x[1], 5, 0xf61e2562)
    MD5STEP(g, d, a, b, c, x[6], 9, 0xc040b340)
    MD5STEP(g, c, d, a, b, x[11], 14, 0x265e5a51)
    MD5STEP(g, b, c, d, a, x[0], 20, 0xe9b6c7aa)
    MD5STEP(g, a, b, c, d, x[5], 5, 0xd62f105d)
    MD5STEP(g, d, a, b, c, x[10], 9, 0x02441453)
    MD5STEP(g, c, d, a, b, x[15], 14, 0xd8a1e681)
    MD5STEP(g, b, c, d, a, x[4], 20, 0xe7d3fbc8)
    MD5STEP(g, a, b, c, d, x[9], 5, 0x21e1cde6)
    MD5STEP(g, d, a, b, c, x[14], 9, 0xc33707d6)
    MD5STEP(g, c, d, a, b, x[3], 14, 0xf4d50d87)
    MD5STEP(g, b, c, d, a, x[8], 20, 0x455a14ed)
    MD5STEP(g, a, b, c, d, x[13], 5, 0xa9e3e905)
    MD5STEP(g, d, a, b, c, x[2], 9, 0xfcefa3f8)
    MD5STEP(g, c, d, a, b, x[7], 14, 0x676f02d9)
    MD5STEP(g, b, c, d, a, x[12], 20, 0x8d2a4c8a)

    MD5STEP(h, a, b, c, d, x[5], 4, 0xfffa3942)
    MD5STEP(h, d, a, b, c, x[8], 11, 0x8771f681)
    MD5STEP(h, c, d, a, b, x[11], 16, 0x6d9d6122)
    MD5STEP(h, b, c, d, a, x[14], 23, 0xfde5380c)
    MD5STEP(h, a, b, c, d, x[1], 4, 0xa4beea44)
    MD5STEP(h, d, a, b, c, x[4], 11, 0x4bdecfa9)
    MD5STEP(h, c, d, a, b, x[7], 16, 0xf6bb4b60)
    MD5STEP(h, b, c, d, a, x[10], 23, 0xbebfbc70)
    MD5STEP(h, a, b, c, d, x[13], 4, 0x289b7ec6)
    MD5STEP(h, d, a, b, c, x[0], 11, 0xeaa127fa)
    MD5STEP(h, c, d, a, b, x[3], 16, 0xd4ef3085)
    MD5STEP(h, b, c, d, a, x[6], 23, 0x04881d05)
    MD5STEP(h, a, b, c, d, x[9], 4, 0xd9d4d039)
    MD5STEP(h, d, a, b, c, x[12], 11, 0xe6db99e5)
    MD5STEP(h, c, d, a, b, x[15], 16, 0x1fa27cf8)
    MD5STEP(h, b, c, d, a, x[2], 23, 0xc4ac5665)

    MD5STEP(i, a, b, c, d, x[0], 6, 0xf4292244)
    MD5STEP(i, d, a, b, c, x[7], 10, 0x432aff97)
    MD5STEP(i, c, d, a, b, x[14], 15, 0xab9423a7)
    MD5STEP(i, b, c, d, a, x[5], 21, 0xfc93a039)
    MD5STEP(i, a, b, c, d, x[12], 6, 0x655b59c3)
    MD5STEP(i, d, a, b, c, x[3], 10, 0x8f0ccc92)
    MD5STEP(i, c, d, a, b, x[10], 15, 0xffeff47d)
    MD5STEP(i, b, c, d, a, x[1], 21, 0x85845dd1)
    MD5STEP(i, a, b, c, d, x[8], 6, 0x6fa87e4f)
    MD5STEP(i, d, a, b, c, x[15], 10, 0xfe2ce6e0)
    MD5STEP(i, c, d, a, b, x[6], 15, 0xa3014314)
    MD5STEP(i, b, c, d, a, x[13], 21, 0x4e0811a1)
    MD5STEP(i, a, b, c, d, x[4], 6, 0xf7537e82)
    MD5STEP(i, d, a, b, c, x[11], 10, 0xbd3af235)
    MD5STEP(i, c, d, a, b, x[2], 15, 0x2ad7d2bb)
    MD5STEP(i, b, c, d, a, x[9], 21, 0xeb86d391)

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5STEP

constexpr std::streamsize read_piece = 1024;

}  // namespace

md5_digest::md5_digest()
    : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, count_{0, 0}, buffer_{}, digest_{}, finalized_(false) {}

void md5_digest::update(const unsigned char* bytes, std::uint32_t length) {
    finalized_ = false;
    std::uint32_t index = (count_[0] >> 3) & 63;

    std::uint32_t bits = length << 3;
    count_[0] += bits;
    if (count_[0] < bits) ++count_[1];
    count_[1] += length >> 29;

    std::uint32_t part_length = 64 - index;
    std::uint32_t done = 0;
    if (length >= part_length) {
        std::memcpy(buffer_ + index, bytes, part_length);
        compress(state_, buffer_);
        for (done = part_length; done + 63 < length; done += 64) compress(state_, bytes + done);
        index = 0;
    }
    std::memcpy(buffer_ + index, bytes + done, length - done);
}

void md5_digest::finalize() {
    // Padding goes through update like any other bytes; everything it
    // touches is put back afterwards, so more bytes may follow and a later
    // digest covers the whole message.
    std::uint32_t saved_state[4], saved_count[2];
    unsigned char saved_buffer[64];
    std::memcpy(saved_state, state_, sizeof state_);
    std::memcpy(saved_count, count_, sizeof count_);
    std::memcpy(saved_buffer, buffer_, sizeof buffer_);

    unsigned char length[8];
    store32(length, count_[0]);
    store32(length + 4, count_[1]);

    static const unsigned char padding[64] = {0x80};
    std::uint32_t index = (count_[0] >> 3) & 63;
    std::uint32_t pad_length = index < 56 ? 56 - index : 120 - index;
    update(padding, pad_length);
    update(length, 8);

    for (int k = 0; k < 4; ++k) store32(digest_ + 4 * k, state_[k]);

    std::memcpy(state_, saved_state, sizeof state_);
    std::memcpy(count_, saved_count, sizeof count_);
    std::memcpy(buffer_, saved_buffer, sizeof buffer_);
}

std::string md5_digest::hex_digest() {
    if (!finalized_) {
        finalize();
        finalized_ = true;
    }
    static const char hex_digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(32);
    for (unsigned char byte : digest_) {
        text += hex_digits[byte >> 4];
        text += hex_digits[byte & 15];
    }
    return text;
}

bool md5_digest::update_from_stream(std::istream& stream) {
    if (stream.fail()) return false;
    char piece[read_piece];
    // A short read, whatever caused it, is the last one.
    while (!stream.eof()) {
        stream.read(piece, read_piece);
        std::streamsize got = stream.gcount();
        if (got > 0) update(reinterpret_cast<const unsigned char*>(piece), static_cast<std::uint32_t>(got));
        if (got < read_piece) break;
    }
    return true;
}

bool md5_digest::update_from_stream(std::ifstream& stream) {
    const bool fed = update_from_stream(static_cast<std::istream&>(stream));
    stream.close();
    return fed;
}

platform::io_result<std::string> digest_of_file(platform::file_system& files, const std::filesystem::path& path) {
    // Only a regular file is opened: a pipe would block the open.
    platform::io_result<std::unique_ptr<platform::readable_file>> file = files.open_for_reading(path);
    if (!file) return file.error();
    // The digest takes the file 1024 bytes at a time. With a 64 KiB stream
    // buffer the system reads per file drop sixty-fourfold.
    platform::file_input in(**file, std::size_t(1) << 16);
    md5_digest digest;
    digest.update_from_stream(in);
    if (in.error()) return *in.error();
    return digest.hex_digest();
}

}  // namespace integrity
