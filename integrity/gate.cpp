#include "integrity/gate.h"

#include "core/failure.h"
#include "integrity/md5.h"

#include <fstream>

namespace integrity {

decision check_file(const std::filesystem::path& path, const std::string& expected, const std::string& question,
                    std::istream& in, std::ostream& out, std::optional<decision> given_answer) {
    // The digest takes the file 1024 bytes at a time. With a 64 KiB stream
    // buffer instead of the library's 8 KiB one, the system reads per file
    // drop eightfold and reading costs less than half as much. The buffer
    // lives on the stack and outlives the stream.
    char stream_buffer[1 << 16];
    std::ifstream file;
    file.rdbuf()->pubsetbuf(stream_buffer, sizeof stream_buffer);
    // Only a regular file is opened: a pipe would block the open. The check
    // follows links and never blocks.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) file.open(path, std::ios::in | std::ios::binary);
    // Said before the digest starts: a large archive takes a moment.
    out << "正在校验游戏文件完整性，请稍候...\n" << std::flush;
    md5_digest digest;
    if (!file.is_open() || !digest.update_from_stream(file)) {
        throw core::failure{core::failure_code::game_file_unavailable};
    }
    if (digest.hex_digest() == expected) return decision::go_on;

    out << question << std::flush;
    if (given_answer) {
        out << (*given_answer == decision::go_on ? "Y\n" : "N\n") << std::flush;
        return *given_answer;
    }
    for (;;) {
        // One byte per read, blanks and line ends skipped; whatever follows
        // on the line waits for the next read.
        char answer;
        if (!(in >> answer)) return decision::declined;
        if (answer == 'Y' || answer == 'y') return decision::go_on;
        if (answer == 'N' || answer == 'n') return decision::declined;
        out << "无效的选项，请重新选择：" << std::flush;
    }
}

}  // namespace integrity
