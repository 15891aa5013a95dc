#include "app/console_stream.h"

#include "platform/platform.h"

#include <cstring>

namespace app {

console_buffer::console_buffer(platform::console_stream stream) : stream_(stream) {
    setp(buffer_, buffer_ + sizeof buffer_);
}

console_buffer::~console_buffer() {
    drain();
    // A lead byte without its trail byte is still the program's output.
    platform::write_console(stream_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
}

console_buffer::int_type console_buffer::overflow(int_type c) {
    drain();
    if (c != traits_type::eof()) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int console_buffer::sync() {
    drain();
    return 0;
}

// Writes the buffered bytes, holding back a final GBK lead byte whose trail
// byte has not arrived yet, so a console converting the text never sees half
// a character.
void console_buffer::drain() {
    std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    std::size_t whole = 0;
    while (whole < size) {
        auto byte = static_cast<unsigned char>(buffer_[whole]);
        std::size_t width = (byte >= 0x81 && byte <= 0xFE) ? 2 : 1;
        if (whole + width > size) break;
        whole += width;
    }
    platform::write_console(stream_, buffer_, whole);
    std::memmove(buffer_, buffer_ + whole, size - whole);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(size - whole));
}

}  // namespace app
