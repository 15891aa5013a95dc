#include "payload/payload.h"

#include "platform/platform.h"

namespace payload {

std::optional<std::string_view> bytes_of(payload_id id) {
    return platform::payload_bytes(static_cast<std::uint16_t>(id));
}

}  // namespace payload
