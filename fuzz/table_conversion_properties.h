// What every conversion must satisfy, whatever the input: checked by the
// fuzz target on each generated input and by the corpus replay test.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

// Null when the output of textpatch::convert_developer_table for input is well formed, otherwise
// what is wrong with it.
inline const char* converted_table_problem(std::string_view input, std::string_view output) {
    constexpr std::string_view header = "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath\n";
    if (output.substr(0, header.size()) != header) return "the output does not begin with the header";
    if (output.back() != '\n') return "the output does not end with a line feed";

    // One output line per input line at most: the header replaces the
    // input's header, every other line gives one row or none.
    std::size_t input_lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
    if (!input.empty() && input.back() != '\n') ++input_lines;
    const std::size_t rows = static_cast<std::size_t>(std::count(output.begin(), output.end(), '\n')) - 1;
    if (rows > (input_lines > 0 ? input_lines - 1 : 0)) return "more rows than input lines";

    // Every row has its six fields: at least five separators outside Text.
    std::size_t begin = header.size();
    while (begin < output.size()) {
        const std::size_t end = output.find('\n', begin);
        if (std::count(output.begin() + begin, output.begin() + end, ',') < 5)
            return "a row with fewer than six fields";
        begin = end + 1;
    }
    return nullptr;
}
