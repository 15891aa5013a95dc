// Payloads: the files, pictures and tunes carried inside the executable.
#pragma once

#include <cstdint>
#include <filesystem>

namespace payloadid {
constexpr std::uint16_t englishtable = 104;
constexpr std::uint16_t banner = 105;
constexpr std::uint16_t chinesetable = 106;
constexpr std::uint16_t archiverlibrary = 111;   // "7za.dll"
constexpr std::uint16_t archiverprogram = 112;   // "7za.exe"
constexpr std::uint16_t archiverextractor = 113; // "7zxa.dll"
constexpr std::uint16_t pagearchive = 114;       // "book.zip"
constexpr std::uint16_t tune = 115;
}  // namespace payloadid

// One payload held where it lies in the executable's image; the record never
// copies the bytes and frees its resource when it goes away.
struct payloadtype {
    void* info = nullptr;
    std::uint32_t size = 0;
    void* handle = nullptr;
    const unsigned char* data = nullptr;

    payloadtype() = default;
    payloadtype(const payloadtype&) = delete;
    payloadtype& operator=(const payloadtype&) = delete;
    ~payloadtype() { release(); }

    // Fills the record; raises errortype code 1 when the payload is missing,
    // empty or cannot be loaded. Each field is kept as soon as it is known.
    void load(std::uint16_t id);
    void release();
};

// Writes a payload to a file, replacing a file of that name. Raises code 1
// before touching the disk when the payload cannot be had; false when the
// file could not be opened, written or closed completely.
bool extractpayload(std::uint16_t id, std::filesystem::path path);
