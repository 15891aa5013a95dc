// Finds the English text region of the game's asset file by one forward scan
// for the record names "English" and "French".
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

namespace textpatch {

// The bytes of the asset file that an install owns: the English text and
// whatever follows it up to 9 bytes before the record "French".
struct text_region {
    std::uint64_t start;  // absolute offset of the first byte
    std::uint64_t length;
};

// Reads a stream forward in large blocks and hands the bytes out in order.
// Successive searches share one reader, so a search starts on the byte right
// after the previous match even when that byte is already in the block.
// The stream itself runs ahead of the reader by at most one block; it is
// never repositioned and no byte is read from it twice.
class block_reader {
public:
    static constexpr std::size_t default_block_size = std::size_t(1) << 18;

    explicit block_reader(std::istream& in, std::size_t block_size = default_block_size);
    block_reader(const block_reader&) = delete;
    block_reader& operator=(const block_reader&) = delete;

    // The unconsumed bytes of the current block: [next, limit).
    const char* next() const { return cursor_; }
    const char* limit() const { return end_; }
    // Marks the bytes before p as consumed; p lies in [next(), limit()].
    void consume(const char* p) { cursor_ = p; }
    // Drops what is left of the block and reads the next one. False when the
    // stream has no more bytes (its end, or a read error).
    bool refill();
    // Absolute offset of next() from where the stream stood at construction.
    std::uint64_t position() const { return base_ + static_cast<std::uint64_t>(cursor_ - buffer_.data()); }

private:
    std::istream& in_;
    std::vector<char> buffer_;
    const char* cursor_;
    const char* end_;
    std::uint64_t base_ = 0;
};

// Knuth-Morris-Pratt failure function: entry i is the length of the longest
// proper prefix of pattern[0..i] that is also its suffix.
std::vector<std::uint32_t> prefix_table(std::string_view pattern);

// Offset of the first occurrence of pattern, counted from the reader's
// position at the call; the reader is left just past the match. Nothing when
// the stream ends first. One forward pass: no byte is read from the stream
// twice and the stream is never repositioned.
std::optional<std::uint64_t> stream_search(block_reader& in, std::string_view pattern);

// Prints the progress line, then the region's start and length (lower-case
// hexadecimal) as each is found, and returns the region. Nothing when a name
// is missing, or when "French" begins fewer than 14 bytes after the end of
// "English": such a region would have a negative length.
std::optional<text_region> locate_text_region(std::istream& in, std::ostream& out,
                                              std::size_t block_size = block_reader::default_block_size);

}  // namespace textpatch
