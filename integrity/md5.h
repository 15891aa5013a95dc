// MD5 message digest (RFC 1321), given as 32 upper-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

class md5digest {
public:
    md5digest();
    void update(const unsigned char* bytes, std::uint32_t length);
    // Feeds the rest of a binary input file stream, then closes it; raises
    // errortype code 2 when the stream is already failed.
    void updatefromstream(std::ifstream& stream);
    std::string hexdigest();

private:
    // Writes the digest of the bytes fed so far; state, count and buffer end
    // as they were, so the message may go on.
    void finalize();

    std::uint32_t state[4];
    std::uint32_t count[2];
    unsigned char buffer[64];
    unsigned char digest[16];
    bool finalized;
};
