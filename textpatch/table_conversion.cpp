#include "textpatch/table_conversion.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace textpatch {

namespace {

constexpr std::string_view output_header = "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n";
constexpr std::string_view voice_prefix = "ID_CORE_VO_";

enum field : std::size_t { number_id, string_id, text, character_id, fabric_event, fabric_path, field_count };

using row = std::array<std::string, field_count>;

// Splits one line (without its line end) into the six fields. Position 0 is
// the first field's opening quote; after each field its closing quote, the
// comma and the next opening quote are stepped over unread. Every read is
// bounded by the line, so a short or broken line leaves fields empty or
// runs its last field to the end.
row split_line(std::string_view line) {
    row fields;
    std::size_t i = 1;
    for (std::size_t k = 0; k < field_count; ++k) {
        std::string& value = fields[k];
        while (i < line.size()) {
            std::size_t quote = line.find('"', i);
            if (quote == std::string_view::npos) quote = line.size();
            value.append(line.data() + i, quote - i);
            i = quote;
            if (i == line.size()) break;
            // In Text a doubled quote is one quote character, kept as it is.
            if (k == text && i + 1 < line.size() && line[i + 1] == '"') {
                value.append(2, '"');
                i += 2;
                continue;
            }
            break;
        }
        i += 3;
    }
    return fields;
}

void write_row(row& fields, std::ostream& out) {
    if (fields[string_id].compare(0, voice_prefix.size(), voice_prefix) == 0) return;

    std::string& value = fields[text];
    // The game shows a speaker's line with room to spare: one space for every
    // three bytes, which is one per character of Chinese text.
    if (!fields[character_id].empty()) value.append(value.size() / 3, ' ');
    const bool enclose = value.find_first_of("\",") != std::string::npos;

    std::string line;
    line.reserve(value.size() + 64);
    for (std::size_t k = 0; k < field_count; ++k) {
        if (k > 0) line += ',';
        if (k == text && enclose) {
            line += '"';
            line += value;
            line += '"';
        } else {
            line += fields[k];
        }
    }
    line += '\n';
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

}  // namespace

void convert_developer_table(std::istream& in, std::ostream& out) {
    std::string line;
    std::getline(in, line);  // the input's header, whatever it holds
    out.write(output_header.data(), static_cast<std::streamsize>(output_header.size()));

    while (std::getline(in, line)) {
        std::string_view content = line;
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        if (content.empty()) continue;
        row fields = split_line(content);
        write_row(fields, out);
    }
}

}  // namespace textpatch
