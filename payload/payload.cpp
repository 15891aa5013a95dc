#include "payload/payload.h"

#include "platform/platform.h"

#include <fstream>

namespace payload {

std::optional<std::string_view> bytes_of(payload_id id) {
    return platform::payload_bytes(static_cast<std::uint16_t>(id));
}

write_result write_file(payload_id id, const std::filesystem::path& path) {
    std::optional<std::string_view> bytes = bytes_of(id);
    if (!bytes) return write_result::payload_unavailable;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return write_result::file_not_written;
    out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    out.close();
    // A full disk or a device error shows only in the write or the close.
    return out.fail() ? write_result::file_not_written : write_result::written;
}

write_result write_new_file(payload_id id, const std::filesystem::path& path) {
    std::optional<std::string_view> bytes = bytes_of(id);
    if (!bytes) return write_result::payload_unavailable;
    return platform::write_new_file(path, *bytes) ? write_result::written : write_result::file_not_written;
}

}  // namespace payload
