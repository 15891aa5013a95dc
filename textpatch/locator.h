// Finds the English text region of the game's asset file by one forward scan
// for the record names "English" and "French".
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

// The region found by the last locatetextfield: absolute start and length.
// Both are meaningful only after a locate has returned normally.
extern std::uint64_t textfieldstart;
extern std::int64_t textfieldlength;

// Reads a stream forward in large blocks and hands the bytes out in order.
// Successive searches share one reader, so a search starts on the byte right
// after the previous match even when that byte is already in the block.
// The stream itself runs ahead of the reader by at most one block; it is
// never repositioned and no byte is read from it twice.
class blockreader {
public:
    static constexpr std::size_t defaultblocksize = std::size_t(1) << 18;

    explicit blockreader(std::istream& in, std::size_t blocksize = defaultblocksize);
    blockreader(const blockreader&) = delete;
    blockreader& operator=(const blockreader&) = delete;

    // The unconsumed bytes of the current block: [next, limit).
    const char* next() const { return cursor; }
    const char* limit() const { return end; }
    // Marks the bytes before p as consumed; p lies in [next(), limit()].
    void consume(const char* p) { cursor = p; }
    // Drops what is left of the block and reads the next one. False when the
    // stream has no more bytes (its end, or a read error).
    bool refill();
    // Absolute offset of next() from where the stream stood at construction.
    std::uint64_t position() const {
        return base + static_cast<std::uint64_t>(cursor - buffer.data());
    }

private:
    std::istream& in;
    std::vector<char> buffer;
    const char* cursor;
    const char* end;
    std::uint64_t base = 0;
};

// Knuth-Morris-Pratt failure function: entry i is the length of the longest
// proper prefix of pattern[0..i] that is also its suffix.
std::vector<std::uint32_t> prefixtable(std::string_view pattern);

// Offset of the first occurrence of pattern, counted from the reader's
// position at the call; the reader is left just past the match. Raises
// errortype code 9 when the stream ends first. One forward pass: no byte is
// read from the stream twice and the stream is never repositioned.
std::uint64_t streamsearch(blockreader& in, std::string_view pattern);

// Prints the progress line and the region's start and length (lower-case
// hexadecimal), and sets textfieldstart and textfieldlength. Raises code 9
// when a name is missing, and also when "French" begins fewer than 14 bytes
// after the end of "English": such a region would have a negative length.
// In both cases textfieldstart may already be replaced, textfieldlength not.
void locatetextfield(std::istream& in, std::ostream& out,
                     std::size_t blocksize = blockreader::defaultblocksize);
