// Payloads: the files, pictures and tunes carried inside the executable,
// each known by its id (payload/payload_table.txt).
#pragma once

#include "payload/payload_ids.h"  // generated from payload/payload_table.txt

#include <optional>
#include <string_view>

namespace payload {

// The payload's bytes where they lie in the executable, never copied; they
// stay valid while the program runs. Nothing when the payload is missing or
// empty.
std::optional<std::string_view> bytes_of(payload_id id);

// How writing a payload out ended.
enum class write_result { written, payload_unavailable, file_not_written };

}  // namespace payload
