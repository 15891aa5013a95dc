// POSIX side of the platform seam: a terminal stands in for the Windows
// console, /bin/sh for the command interpreter, and payloads are linked into
// the binary as a table of byte ranges.
#include "platform/platform.h"

#include "platform/mci_posix.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <mutex>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct payloadentry {
    std::uint64_t id;
    const unsigned char* begin;
    const unsigned char* end;
};

std::atomic<int> liveloads{0};

bool isterminal(int fd) { return ::isatty(fd) == 1; }

void writeall(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void writeterminal(std::string_view text) {
    if (isterminal(STDOUT_FILENO)) writeall(STDOUT_FILENO, text.data(), text.size());
}

// The terminal's own encoding, read once from the user's locale without
// leaving that locale in force for the rest of the program.
std::string terminalcodeset() {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::string codeset = "UTF-8";
    if (std::setlocale(LC_CTYPE, "") != nullptr) codeset = nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, previous.c_str());
    return codeset;
}

// Converts GBK text to the terminal's encoding; bytes that are not GBK come
// out as '?', so a stray byte never swallows the rest of the text.
std::string toterminal(const char* gbk, std::size_t size) {
    static std::mutex lock;
    static iconv_t converter = [] {
        std::string codeset = terminalcodeset();
        if (codeset == "GBK" || codeset == "GB18030" || codeset == "CP936") return iconv_t(-1);
        return iconv_open(codeset.c_str(), "GBK");
    }();
    if (converter == iconv_t(-1)) return std::string(gbk, size);
    std::lock_guard<std::mutex> guard(lock);
    std::string out(size * 4 + 16, '\0');
    char* in = const_cast<char*>(gbk);
    std::size_t inleft = size;
    char* dest = out.data();
    std::size_t outleft = out.size();
    while (inleft > 0) {
        if (iconv(converter, &in, &inleft, &dest, &outleft) != std::size_t(-1)) break;
        if (errno == E2BIG || outleft == 0) break;
        *dest++ = '?';
        --outleft;
        ++in;
        --inleft;
    }
    out.resize(out.size() - outleft);
    return out;
}

}  // namespace

extern "C" const payloadentry varnholt_payloads[];

namespace platform {

const nativestring::value_type separator = '/';

void setconsoleicon(int) {}

void setconsoletitle(std::u16string_view title) {
    writeterminal("\033]0;" + mci::bytesof(title) + "\007");
}

void sizeconsole(short columns, short rows) {
    writeterminal("\033[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t");
}

void clearscreen() { writeterminal("\033[H\033[2J\033[3J"); }

void waitkey() {
    std::fflush(stdout);
    if (!isterminal(STDIN_FILENO)) {
        std::getchar();  // shares the buffer of std::cin
        return;
    }
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char key;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

void sleepms(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void writeout(const char* gbk, std::size_t size) {
    if (isterminal(STDOUT_FILENO)) {
        std::string text = toterminal(gbk, size);
        writeall(STDOUT_FILENO, text.data(), text.size());
    } else {
        writeall(STDOUT_FILENO, gbk, size);
    }
}

void* findresource(std::uint16_t id) {
    for (const payloadentry* e = varnholt_payloads; e->id != 0; ++e) {
        if (e->id == id) return const_cast<payloadentry*>(e);
    }
    return nullptr;
}

std::uint32_t sizeofresource(void* info) {
    auto* e = static_cast<const payloadentry*>(info);
    return e == nullptr ? 0 : static_cast<std::uint32_t>(e->end - e->begin);
}

void* loadresource(void* info) {
    if (info == nullptr) return nullptr;
    ++liveloads;
    return info;
}

const void* lockresource(void* handle) {
    return handle == nullptr ? nullptr : static_cast<const payloadentry*>(handle)->begin;
}

void freeresource(void* handle) {
    if (handle != nullptr) --liveloads;
}

int liveresources() { return liveloads; }

int runcommand(const std::string& commandline) {
    std::fflush(stdout);
    return std::system(commandline.c_str());
}

std::optional<std::u16string> sendmci(std::u16string_view command, std::size_t replycapacity) {
    return mci::send(command, replycapacity);
}

std::optional<nativestring> tempfolder() {
    const char* value = std::getenv("TMPDIR");
    return nativestring(value != nullptr && *value != '\0' ? value : "/tmp");
}

}  // namespace platform

std::filesystem::path platform::localpath(std::string_view windowspath) {
    std::string path(windowspath);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string platform::archivercommand(archiverstep step) {
    switch (step) {
    case archiverstep::extract: return "./7za.exe x ./book.zip -o./temp -aoa >/dev/null 2>>zelt.log";
    case archiverstep::update: return "./7za.exe a ./TechnicalManual/package.nw ./temp/* >/dev/null 2>>zelt.log";
    case archiverstep::updateshown: return "./7za.exe a ./TechnicalManual/package.nw ./temp/* 2>>zelt.log";
    }
    return {};
}

void platform::allowexecution(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::permissions(path, std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                           std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add, error);
}
