// The one writer of console text: a stream buffer that hands everything to
// platform::writeout in whole GBK characters.
#pragma once

#include <streambuf>

class consolebuf : public std::streambuf {
public:
    consolebuf();
    ~consolebuf() override;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void drain();
    char buffer[4096];
};
