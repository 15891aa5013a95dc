#include "textpatch/converttable.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view outputheader =
    "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n";
constexpr std::string_view voiceprefix = "ID_CORE_VO_";

enum field : std::size_t { numberid, stringid, text, characterid, fabricevent, fabricpath, fieldcount };

using row = std::array<std::string, fieldcount>;

// Splits one line (without its line end) into the six fields. Position 0 is
// the first field's opening quote; after each field its closing quote, the
// comma and the next opening quote are stepped over unread. Every read is
// bounded by the line, so a short or broken line leaves fields empty or
// runs its last field to the end.
row splitline(std::string_view line) {
    row fields;
    std::size_t i = 1;
    for (std::size_t k = 0; k < fieldcount; ++k) {
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

void writerow(row& fields, std::ostream& out) {
    if (fields[stringid].compare(0, voiceprefix.size(), voiceprefix) == 0) return;

    std::string& value = fields[text];
    // The game shows a speaker's line with room to spare: one space for every
    // three bytes, which is one per character of Chinese text.
    if (!fields[characterid].empty()) value.append(value.size() / 3, ' ');
    const bool enclose = value.find_first_of("\",") != std::string::npos;

    std::string line;
    line.reserve(value.size() + 64);
    for (std::size_t k = 0; k < fieldcount; ++k) {
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

void converttable(std::istream& in, std::ostream& out) {
    std::string line;
    std::getline(in, line);  // the input's header, whatever it holds
    out.write(outputheader.data(), static_cast<std::streamsize>(outputheader.size()));

    while (std::getline(in, line)) {
        std::string_view content = line;
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        if (content.empty()) continue;
        row fields = splitline(content);
        writerow(fields, out);
    }
}
