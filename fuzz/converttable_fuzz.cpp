// libFuzzer target: any byte string as a translators' table.
#include "fuzz/converttable_properties.h"
#include "textpatch/converttable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input, std::ios::in | std::ios::binary);
    std::ostringstream out(std::ios::out | std::ios::binary);
    converttable(in, out);
    if (const char* problem = convertedtableproblem(input, out.str())) {
        std::fprintf(stderr, "converttable: %s\n", problem);
        std::abort();
    }
    return 0;
}
