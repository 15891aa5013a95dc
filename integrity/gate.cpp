#include "integrity/gate.h"

#include "core/failure.h"
#include "integrity/md5.h"

namespace integrity {

decision check_file(platform::file_system& files, const std::filesystem::path& path, const std::string& expected,
                    const std::string& question, std::istream& in, std::ostream& out,
                    std::optional<decision> given_answer) {
    // Said before the digest starts: a large archive takes a moment.
    out << "正在校验游戏文件完整性，请稍候...\n" << std::flush;
    const platform::io_result<std::string> digest = digest_of_file(files, path);
    if (!digest) core::fail(core::failure_code::game_file_unavailable, platform::describe(digest.error()));
    if (*digest == expected) return decision::go_on;

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
