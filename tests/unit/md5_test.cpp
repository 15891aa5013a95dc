#include "integrity/md5.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string empty_digest = "D41D8CD98F00B204E9800998ECF8427E";

std::string md5_of(const std::string& bytes) {
    integrity::md5_digest digest;
    digest.update(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return digest.hex_digest();
}

std::string md5_of_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    integrity::md5_digest digest;
    digest.update_from_stream(in);
    EXPECT_FALSE(in.is_open());
    return digest.hex_digest();
}

// Reproducible bytes: the top byte of a 32-bit linear congruential sequence
// (x = x * 1103515245 + 12345, starting from 1). The expected digests below
// were taken with md5sum over the same bytes.
std::string sequence_bytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 1;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

}  // namespace

TEST(md5, rfc1321_test_suite) {
    struct row {
        std::string message, digest;
    };
    const row rows[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const row& r : rows) EXPECT_EQ(md5_of(r.message), r.digest) << '"' << r.message << '"';
}

// Block and padding boundaries, and the read loop's boundaries at 1024, both
// fed at once and read from a file.
TEST(md5, sizes_agree_with_md5sum) {
    struct row {
        std::size_t size;
        std::string digest;
    };
    const row rows[] = {
        {0, "D41D8CD98F00B204E9800998ECF8427E"},    {1, "7FC56270E7A70FA81A5935B72EACBE29"},
        {55, "0AFF096C608026ADA3CB1A2F96BFBDC6"},   {56, "7857C6C468D6BBB41EF621C9BCFD5843"},
        {63, "D925E709A57C0A5E246687BFC178D9F4"},   {64, "8CA27787C29FBA65385C14ADB3C90E04"},
        {65, "1E203FEB87D73AEE59103B6BDF2D55A8"},   {1023, "2AFD30BB2F713FC96D19DB851A79A860"},
        {1024, "A753B712CC5B429ECC327C2CB7C48390"}, {1025, "BEB5371D7F4898A537648E20AACA5BFB"},
        {2048, "F39077300F3B96157E93FD6509F13F7B"}, {777, "F111129CFB7484584FFC72E4232738BD"},
        {4099, "7781BE9CE1020A44A6280B9E3468C703"}, {70001, "D672C7B0D06ADB3BB35E0757445A78F2"},
    };
    scoped_temp_folder folder;
    for (const row& r : rows) {
        std::string bytes = sequence_bytes(r.size);
        EXPECT_EQ(md5_of(bytes), r.digest) << r.size << " bytes at once";
        write_file("data.bin", bytes);
        EXPECT_EQ(md5_of_file("data.bin"), r.digest) << r.size << " bytes from a file";
    }
}

// Fresh random sizes and contents on every run, checked by md5sum itself.
// The seed is named in every failure, so a failing run can be repeated.
TEST(md5, random_files_agree_with_md5sum) {
    scoped_temp_folder folder;
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 4; ++round) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(1, 300000)(random), '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        write_file("random.bin", bytes);

        FILE* pipe = popen("md5sum random.bin", "r");
        ASSERT_NE(pipe, nullptr);
        char line[128] = {};
        bool got = std::fgets(line, sizeof line, pipe) != nullptr;
        int status = pclose(pipe);
        if (!got || status != 0) GTEST_SKIP() << "md5sum did not run";
        std::string expected(line, 32);
        for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

        EXPECT_EQ(md5_of_file("random.bin"), expected) << bytes.size() << " random bytes";
    }
}

TEST(md5, piece_sizes_do_not_matter) {
    const std::string bytes = sequence_bytes(70001);
    const unsigned seed = 20240607;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 20; ++round) {
        // Mostly small pieces, including empty ones, now and then a long one.
        std::uniform_int_distribution<std::size_t> small(0, 130), large(0, 5000);
        integrity::md5_digest digest;
        for (std::size_t at = 0; at < bytes.size();) {
            std::size_t piece = random() % 8 == 0 ? large(random) : small(random);
            piece = std::min(piece, bytes.size() - at);
            digest.update(reinterpret_cast<const unsigned char*>(bytes.data()) + at, static_cast<std::uint32_t>(piece));
            at += piece;
        }
        EXPECT_EQ(digest.hex_digest(), "D672C7B0D06ADB3BB35E0757445A78F2") << "round " << round;
    }
}

// Reading the digest leaves the message open: the same text twice, and more
// bytes continue the message. The split points put the unfinished block on
// both sides of the 56-byte padding boundary.
TEST(md5, reading_the_digest_does_not_end_the_message) {
    const std::string bytes = sequence_bytes(1025);
    for (std::size_t split : {0, 1, 55, 56, 60, 63, 64, 100, 1024}) {
        integrity::md5_digest digest;
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        digest.update(data, static_cast<std::uint32_t>(split));
        std::string first = digest.hex_digest();
        EXPECT_EQ(digest.hex_digest(), first) << "split " << split;
        EXPECT_EQ(first, md5_of(bytes.substr(0, split))) << "split " << split;
        digest.update(data + split, static_cast<std::uint32_t>(bytes.size() - split));
        EXPECT_EQ(digest.hex_digest(), "BEB5371D7F4898A537648E20AACA5BFB") << "split " << split;
    }
}

TEST(md5, each_byte_is_two_upper_case_digits) {
    // MD5("2351") begins with the byte 0x0A and holds 0xA0 further on.
    EXPECT_EQ(md5_of("2351"), "0ABDC563A06105AEE3C6136871C9F4D1");
}

// Past 2^32 bits the bit count carries into its high word.
TEST(md5, bit_count_carries_into_the_high_word) {
    const std::vector<unsigned char> zeros(1 << 16, 0);
    integrity::md5_digest digest;
    for (int k = 0; k < (1 << 13); ++k) digest.update(zeros.data(), static_cast<std::uint32_t>(zeros.size()));
    digest.update(zeros.data(), 100);  // 2^29 + 100 bytes in all
    EXPECT_EQ(digest.hex_digest(), "2FD298086AE19F076B408E275AF7598C");
}

TEST(md5, failed_stream_feeds_nothing) {
    scoped_temp_folder folder;
    std::ifstream missing("missing.bin", std::ios::binary);
    integrity::md5_digest digest;
    EXPECT_FALSE(digest.update_from_stream(missing));
    EXPECT_EQ(digest.hex_digest(), empty_digest);
}

// The stream is read from where it stands, including already at its end.
TEST(md5, stream_is_read_from_its_position_to_its_end) {
    struct row {
        std::streamsize skip;
        std::string digest;
    };
    const row rows[] = {
        {0, "472DC90ED439D118AD3A205DDA96EAF0"},  // "xyzabc"
        {3, "900150983CD24FB0D6963F7D28E17F72"},  // "abc"
        {6, empty_digest},
    };
    scoped_temp_folder folder;
    write_file("data.bin", "xyzabc");
    for (const row& r : rows) {
        std::ifstream in("data.bin", std::ios::binary);
        in.ignore(r.skip);
        in.peek();  // at the end this sets end-of-file, not failure
        ASSERT_FALSE(in.fail());
        integrity::md5_digest digest;
        EXPECT_TRUE(digest.update_from_stream(in));
        EXPECT_FALSE(in.is_open());
        EXPECT_EQ(digest.hex_digest(), r.digest) << "after " << r.skip << " bytes";
    }
}
