// MD5 message digest (RFC 1321), given as 32 upper-case hexadecimal digits.
#pragma once

#include "platform/file_system.h"
#include <cstdint>

#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <string>

namespace integrity {

class md5_digest {
public:
    md5_digest();
    void update(const unsigned char* bytes, std::uint32_t length);
    // Feeds the rest of a binary input stream, 1024 bytes at a time. False,
    // with nothing fed, when the stream is already failed (the file did not
    // open).
    bool update_from_stream(std::istream& stream);
    // The same for a file stream, which is closed afterwards.
    bool update_from_stream(std::ifstream& stream);
    // The digest of every byte fed so far. It does not end the message:
    // more bytes may follow, and a later digest covers them all.
    std::string hex_digest();

private:
    // Writes the digest of the bytes fed so far; state, count and buffer end
    // as they were, so the message may go on.
    void finalize();

    std::uint32_t state_[4];
    std::uint32_t count_[2];
    unsigned char buffer_[64];
    unsigned char digest_[16];
    bool finalized_;
};

// The digest of a whole regular file; the error when it is not a regular
// file or cannot be opened or read.
platform::io_result<std::string> digest_of_file(platform::file_system& files, const std::filesystem::path& path);

}  // namespace integrity
