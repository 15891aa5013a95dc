#include "app/failure.h"
#include "payload/payload.h"
#include "platform/platform.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

// The unit test binary carries the real payload table plus an empty entry.
constexpr std::uint16_t emptypayload = 901;
constexpr std::uint16_t missingpayload = 999;

int loadcode(std::uint16_t id) {
    try {
        payloadtype record;
        record.load(id);
    } catch (const errortype& failure) {
        return failure.code;
    }
    return 0;
}

}  // namespace

TEST(payload, loadholdsthepayloadinplace) {
    std::string english = readfile(VARNHOLT_PAYLOAD_DIR "/strings-en.csv");
    payloadtype record;
    record.load(payloadid::englishtable);
    EXPECT_NE(nullptr, record.info);
    EXPECT_NE(nullptr, record.handle);
    ASSERT_NE(nullptr, record.data);
    ASSERT_EQ(english.size(), record.size);
    EXPECT_EQ(english, std::string(reinterpret_cast<const char*>(record.data), record.size));
}

TEST(payload, missingoremptypayloadraisescode1) {
    EXPECT_EQ(1, loadcode(missingpayload));
    EXPECT_EQ(1, loadcode(emptypayload));
    EXPECT_EQ(0, loadcode(payloadid::banner));
}

TEST(payload, failedloadkeepswhatitfoundandreleasesnothing) {
    int live = platform::liveresources();
    payloadtype record;
    EXPECT_THROW(record.load(emptypayload), errortype);
    EXPECT_NE(nullptr, record.info);
    EXPECT_EQ(0u, record.size);
    EXPECT_EQ(nullptr, record.data);
    record.release();
    EXPECT_EQ(live, platform::liveresources());
}

TEST(payload, releasefreesexactlyonce) {
    int live = platform::liveresources();
    {
        payloadtype record;
        record.load(payloadid::chinesetable);
        EXPECT_EQ(live + 1, platform::liveresources());
        record.release();
        EXPECT_EQ(live, platform::liveresources());
        EXPECT_EQ(nullptr, record.data);
        EXPECT_EQ(0u, record.size);
        EXPECT_EQ(nullptr, record.handle);
        record.release();
        EXPECT_EQ(live, platform::liveresources());
    }  // the destructor finds nothing left to free
    EXPECT_EQ(live, platform::liveresources());
}

TEST(extractpayload, writesthepayloadbyteforbyte) {
    scratchfolder scratch;
    std::string english = readfile(VARNHOLT_PAYLOAD_DIR "/strings-en.csv");
    ASSERT_TRUE(extractpayload(payloadid::englishtable, u"strings.csv"));
    EXPECT_EQ(english, readfile("strings.csv"));  // CR LF and trailing zeros intact
    ASSERT_TRUE(extractpayload(payloadid::pagearchive, "book.zip"));
    EXPECT_EQ(readfile(VARNHOLT_BOOK_ZIP), readfile("book.zip"));
}

TEST(extractpayload, replacesanexistingfile) {
    scratchfolder scratch;
    writefile("banner.txt", std::string(100000, 'x'));
    ASSERT_TRUE(extractpayload(payloadid::banner, "banner.txt"));
    EXPECT_EQ(readfile(VARNHOLT_PAYLOAD_DIR "/banner.txt"), readfile("banner.txt"));
}

TEST(extractpayload, missingpayloadraisesbeforecreatinganything) {
    scratchfolder scratch;
    int live = platform::liveresources();
    EXPECT_THROW(extractpayload(missingpayload, "out.bin"), errortype);
    EXPECT_THROW(extractpayload(emptypayload, "out.bin"), errortype);
    EXPECT_FALSE(std::filesystem::exists("out.bin"));
    EXPECT_EQ(live, platform::liveresources());
}

TEST(extractpayload, unopenabletargetgivesfalse) {
    scratchfolder scratch;
    int live = platform::liveresources();
    EXPECT_FALSE(extractpayload(payloadid::banner, "nofolder/banner.txt"));
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(extractpayload(payloadid::banner, "folder"));
    EXPECT_FALSE(std::filesystem::exists("nofolder"));
    EXPECT_EQ(live, platform::liveresources());
}

TEST(extractpayload, failedwriteisnotsuccess) {
    // /dev/full opens fine and refuses every byte, like a full disk.
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(extractpayload(payloadid::englishtable, "/dev/full"));
}
