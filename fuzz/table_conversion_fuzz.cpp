// libFuzzer target: any byte string as a translators' table.
#include "fuzz/table_conversion_properties.h"
#include "textpatch/table_conversion.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input, std::ios::in | std::ios::binary);
    std::ostringstream out(std::ios::out | std::ios::binary);
    textpatch::convert_developer_table(in, out);
    if (const char* problem = converted_table_problem(input, out.str())) {
        std::fprintf(stderr, "convert_developer_table: %s\n", problem);
        std::abort();
    }
    return 0;
}
