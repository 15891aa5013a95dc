// The one writer of console text: a stream buffer that hands everything to
// platform::write_console in whole GBK characters.
#pragma once

#include <streambuf>

namespace app {

class console_buffer : public std::streambuf {
public:
    console_buffer();
    ~console_buffer() override;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void drain();
    char buffer_[4096];
};

}  // namespace app
