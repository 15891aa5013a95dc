#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

scoped_temp_folder::scoped_temp_folder() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "installer-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    folder_ = pattern;
    std::filesystem::current_path(folder_);
}

scoped_temp_folder::~scoped_temp_folder() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    // Give back what a test took away, so the tree can go.
    unlock_entry(folder_);
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder_, error)) {
        unlock_entry(entry.path());
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(folder_, error);
}

scoped_environment_variable::scoped_environment_variable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

scoped_environment_variable::~scoped_environment_variable() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

bool set_immutable(const std::filesystem::path& path, bool on) {
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

bool lock_entry(const std::filesystem::path& path) { return set_immutable(path, true); }

void unlock_entry(const std::filesystem::path& path) { set_immutable(path, false); }

const std::filesystem::path asset_file = "Data/sharedassets0.assets";

test_asset make_asset(std::size_t region_length) {
    using namespace std::string_literals;
    std::string region(region_length, '\0');
    for (std::size_t i = 0; i < region_length; ++i) region[i] = static_cast<char>('a' + i % 26);
    const std::string head = "UnityFS\x01\x02 Engl Fren "s;
    test_asset asset;
    asset.bytes =
        head + "English" + "\0"s + "\x10\x20\x30\x40"s + region + "\x05tailbyte" + "French" + "\0\0\0\x07more records"s;
    asset.start = head.size() + 12;
    asset.length = region_length;
    return asset;
}

std::string locator_lines(const test_asset& asset) {
    std::ostringstream lines;
    lines << "正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n"
          << "找到文本起始点：0x" << std::hex << asset.start << "\n"
          << "找到文本长度：0x" << asset.length << "\n";
    return lines.str();
}
