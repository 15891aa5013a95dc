#include "app/consolestream.h"
#include "app/menu.h"
#include "app/run.h"
#include "music/music.h"
#include "platform/platform.h"

#include <iostream>
#include <string>

int main() {
    platform::setconsoleicon(120);
    platform::setconsoletitle(std::u16string(u"《Varnholt》ZELT简体中文汉化包-") + versiontext16);

    consolebuf console;
    std::streambuf* previous = std::cout.rdbuf(&console);
    runhooks io{std::cin,           std::cout,        platform::sleepms,
                platform::clearscreen, platform::waitkey, bgmloop};
    int status = runinstaller(io);
    std::cout.flush();
    std::cout.rdbuf(previous);
    return status;
}
