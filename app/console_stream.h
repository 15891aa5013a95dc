// The one writer of console text: a stream buffer that hands everything to
// platform::write_console in whole GBK characters.
#pragma once

#include "platform/platform.h"

#include <streambuf>

namespace app {

class console_buffer : public std::streambuf {
public:
    explicit console_buffer(platform::console_stream stream = platform::console_stream::output);
    ~console_buffer() override;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void drain();
    platform::console_stream stream_;
    char buffer_[4096];
};

}  // namespace app
