// Payloads: the files, pictures and tunes carried inside the executable,
// each known by its id (payload/payload_table.txt).
#pragma once

#include "payload/payload_ids.h"  // generated from payload/payload_table.txt

#include <filesystem>
#include <optional>
#include <string_view>

namespace payload {

// The payload's bytes where they lie in the executable, never copied; they
// stay valid while the program runs. Nothing when the payload is missing or
// empty.
std::optional<std::string_view> bytes_of(payload_id id);

enum class write_result { written, payload_unavailable, file_not_written };

// Writes a payload to a file, replacing a file of that name. The payload is
// looked up before anything is created on disk; file_not_written when the
// file could not be opened, written or closed completely.
write_result write_file(payload_id id, const std::filesystem::path& path);

// Writes a payload to a new file: nothing may stand at that name, and a link
// there is never followed. file_not_written when the file could not be
// created or written completely; a partly written file is removed.
write_result write_new_file(payload_id id, const std::filesystem::path& path);

}  // namespace payload
