// POSIX side of the platform seam: a terminal stands in for the Windows
// console, and the payloads are linked into the
// binary as a table of byte ranges.
#include "platform/platform.h"
#include "platform/tune_player_posix.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <iterator>
#include <langinfo.h>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct payload_entry {
    std::uint64_t id;
    const unsigned char* begin;
    const unsigned char* end;
};

bool is_terminal(int fd) { return ::isatty(fd) == 1; }

// False when the descriptor took fewer bytes than given.
bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void write_terminal(std::string_view text) {
    if (is_terminal(STDOUT_FILENO)) write_all(STDOUT_FILENO, text.data(), text.size());
}

// UTF-16 as UTF-8, for the terminal's title.
std::string utf8_of(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The terminal's own encoding, read once from the user's locale without
// leaving that locale in force for the rest of the program.
std::string terminal_codeset() {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::string codeset = "UTF-8";
    if (std::setlocale(LC_CTYPE, "") != nullptr) codeset = nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, previous.c_str());
    return codeset;
}

// Converts GBK text to the terminal's encoding; bytes that are not GBK come
// out as '?', so a stray byte never swallows the rest of the text.
std::string to_terminal(const char* gbk, std::size_t size) {
    static std::mutex lock;
    static iconv_t converter = [] {
        std::string codeset = terminal_codeset();
        if (codeset == "GBK" || codeset == "GB18030" || codeset == "CP936") return iconv_t(-1);
        return iconv_open(codeset.c_str(), "GBK");
    }();
    if (converter == iconv_t(-1)) return std::string(gbk, size);
    std::lock_guard<std::mutex> guard(lock);
    std::string out(size * 4 + 16, '\0');
    char* in = const_cast<char*>(gbk);
    std::size_t in_left = size;
    char* dest = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0) {
        if (iconv(converter, &in, &in_left, &dest, &out_left) != std::size_t(-1)) break;
        if (errno == E2BIG || out_left == 0) break;
        *dest++ = '?';
        --out_left;
        ++in;
        --in_left;
    }
    out.resize(out.size() - out_left);
    return out;
}

// The terminal's modes while a key wait has it raw, for the signal
// handlers that put them back.
termios terminal_before_wait{};
constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restore_terminal_and_reraise(int signal_number) {
    tcsetattr(STDIN_FILENO, TCSANOW, &terminal_before_wait);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

}  // namespace

extern "C" const payload_entry varnholt_payloads[];

namespace platform {

void show_console_icon() {}

void set_console_title(std::u16string_view title) { write_terminal("\033]0;" + utf8_of(title) + "\007"); }

void size_console(short columns, short rows) {
    write_terminal("\033[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t");
}

void clear_console() { write_terminal("\033[H\033[2J\033[3J"); }

void wait_for_key() {
    std::fflush(stdout);
    if (!is_terminal(STDIN_FILENO)) {
        std::getchar();  // shares the buffer of std::cin
        return;
    }
    if (tcgetattr(STDIN_FILENO, &terminal_before_wait) != 0) return;
    // Ctrl+C, a closed window or a kill while the terminal is raw must not
    // leave it without echo: the handlers put its modes back first.
    struct sigaction restoring {};
    restoring.sa_handler = restore_terminal_and_reraise;
    sigemptyset(&restoring.sa_mask);
    struct sigaction previous[std::size(ending_signals)];
    for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
        sigaction(ending_signals[i], &restoring, &previous[i]);
    }
    termios raw = terminal_before_wait;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char key;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {}
    tcsetattr(STDIN_FILENO, TCSANOW, &terminal_before_wait);
    for (std::size_t i = 0; i < std::size(ending_signals); ++i) sigaction(ending_signals[i], &previous[i], nullptr);
}

void pause_for(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void write_console(console_stream stream, const char* gbk, std::size_t size) {
    const int fd = stream == console_stream::error ? STDERR_FILENO : STDOUT_FILENO;
    if (is_terminal(fd)) {
        std::string text = to_terminal(gbk, size);
        write_all(fd, text.data(), text.size());
    } else {
        write_all(fd, gbk, size);
    }
}

std::vector<std::filesystem::path> program_arguments(int argc, char** argv) {
    std::vector<std::filesystem::path> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

std::optional<std::string_view> payload_bytes(std::uint16_t id) {
    for (const payload_entry* entry = varnholt_payloads; entry->id != 0; ++entry) {
        if (entry->id != id) continue;
        if (entry->end == entry->begin) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(entry->begin),
                                static_cast<std::size_t>(entry->end - entry->begin));
    }
    return std::nullopt;
}

std::filesystem::path game_path(std::string_view windows_path) {
    std::string path(windows_path);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

io_status enter_folder(const std::filesystem::path& folder) {
    if (::chdir(folder.c_str()) != 0) return io_error{operation::enter_folder, folder, error_kind::not_found, errno};
    return {};
}

std::unique_ptr<tune_player> make_tune_player() { return make_synthesizer_tune_player({}); }

std::optional<std::filesystem::path> temp_folder() {
    const char* value = std::getenv("TMPDIR");
    return std::filesystem::path(value != nullptr && *value != '\0' ? value : "/tmp");
}

}  // namespace platform
