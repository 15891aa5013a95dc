#include "testsupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

scratchfolder::scratchfolder() : previous(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "installer-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    folder = pattern;
    std::filesystem::current_path(folder);
}

scratchfolder::~scratchfolder() {
    std::error_code error;
    std::filesystem::current_path(previous, error);
    // Give back permissions a test took away, so the tree can go.
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        makedeletable(entry.path());
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(folder, error);
}

std::string readfile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writefile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

bool setimmutable(const std::filesystem::path& path, bool on) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace

bool makeundeletable(const std::filesystem::path& path) { return setimmutable(path, true); }

void makedeletable(const std::filesystem::path& path) { setimmutable(path, false); }

const std::filesystem::path assetfile = "Data/sharedassets0.assets";

asset makeasset(std::size_t regionlength) {
    using namespace std::string_literals;
    std::string region(regionlength, '\0');
    for (std::size_t i = 0; i < regionlength; ++i) region[i] = static_cast<char>('a' + i % 26);
    const std::string head = "UnityFS\x01\x02 Engl Fren "s;
    asset a;
    a.bytes = head + "English" + "\0"s + "\x10\x20\x30\x40"s + region + "\x05tailbyte" + "French" +
              "\0\0\0\x07more records"s;
    a.start = head.size() + 12;
    a.length = regionlength;
    return a;
}

std::string locatorlines(const asset& a) {
    std::ostringstream lines;
    lines << "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n"
          << "找到文本起始点：0x" << std::hex << a.start << "\n"
          << "找到文本长度：0x" << a.length << "\n";
    return lines.str();
}
