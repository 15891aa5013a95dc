#include "integrity/gate.h"

#include "app/failure.h"
#include "app/state.h"
#include "integrity/md5.h"
#include "platform/platform.h"

#include <fstream>

void checkintegrity(std::string path, std::string expected, std::string question, std::istream& in,
                    std::ostream& out) {
    if (testmode) return;

    // The digest takes the file 1024 bytes at a time. With a 64 KiB stream
    // buffer instead of the library's 8 KiB one, the system reads per file
    // drop eightfold and reading costs less than half as much. The buffer
    // lives on the stack and outlives the stream.
    char streambuffer[1 << 16];
    std::ifstream file;
    file.rdbuf()->pubsetbuf(streambuffer, sizeof streambuffer);
    file.open(platform::localpath(path), std::ios::in | std::ios::binary);
    // Said before the digest starts: a large archive takes a moment.
    out << "正在校验游戏文件完整性，请稍候...\n" << std::flush;
    md5digest digest;
    digest.updatefromstream(file);
    if (digest.hexdigest() == expected) return;

    out << question << std::flush;
    for (;;) {
        // One byte per read, blanks and line ends skipped; whatever follows
        // on the line waits for the next read.
        char answer;
        if (!(in >> answer)) throw exittype{};  // no answer can come any more: decline
        if (answer == 'Y' || answer == 'y') return;
        if (answer == 'N' || answer == 'n') throw exittype{};
        out << "无效的选项，请重新选择：" << std::flush;
    }
}
