#include "app/consolestream.h"

#include "platform/platform.h"

#include <cstring>

consolebuf::consolebuf() { setp(buffer, buffer + sizeof buffer); }

consolebuf::~consolebuf() {
    drain();
    // A lead byte without its trail byte is still the program's output.
    platform::writeout(pbase(), static_cast<std::size_t>(pptr() - pbase()));
}

consolebuf::int_type consolebuf::overflow(int_type c) {
    drain();
    if (c != traits_type::eof()) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int consolebuf::sync() {
    drain();
    return 0;
}

// Writes the buffered bytes, holding back a final GBK lead byte whose trail
// byte has not arrived yet, so a console converting the text never sees half
// a character.
void consolebuf::drain() {
    std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    std::size_t whole = 0;
    while (whole < size) {
        auto byte = static_cast<unsigned char>(buffer[whole]);
        std::size_t width = (byte >= 0x81 && byte <= 0xFE) ? 2 : 1;
        if (whole + width > size) break;
        whole += width;
    }
    platform::writeout(buffer, whole);
    std::memmove(buffer, buffer + whole, size - whole);
    setp(buffer, buffer + sizeof buffer);
    pbump(static_cast<int>(size - whole));
}
