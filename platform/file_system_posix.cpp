// POSIX side of the file-system and process seam: descriptors opened
// without following a link at the name, trees removed through the folder's
// own descriptor, and programs started with fork and exec.
#include "platform/file_system.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace platform {

namespace {

namespace fs = std::filesystem;

error_kind kind_of(int code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR: return error_kind::not_found;
    case EACCES:
    case EPERM:
    case EROFS: return error_kind::access_denied;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return error_kind::in_use;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return error_kind::no_space;
    case EIO: return error_kind::io_error;
    case ELOOP: return error_kind::link_refused;
    case EEXIST:
    case ENOTEMPTY: return error_kind::exists;
    case EISDIR: return error_kind::not_regular;
    default: return error_kind::other;
    }
}

io_error system_error(operation what, const fs::path& path, int code = errno) {
    return io_error{what, path, kind_of(code), code};
}

io_error refusal(operation what, const fs::path& path, error_kind kind) { return io_error{what, path, kind, 0}; }

int open_retrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// False when the descriptor took fewer bytes than given; errno tells why.
bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

class descriptor_file : public updatable_file {
public:
    descriptor_file(int fd, fs::path path) : fd_(fd), path_(std::move(path)) {}
    ~descriptor_file() override {
        if (fd_ >= 0) ::close(fd_);
    }

    io_result<std::size_t> read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) return system_error(operation::read, path_);
        }
    }

    io_status seek(std::uint64_t offset) override {
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return system_error(operation::read, path_);
        return {};
    }

    io_result<std::uint64_t> size() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return system_error(operation::size, path_);
        return static_cast<std::uint64_t>(info.st_size);
    }

    io_status write(const char* data, std::size_t size) override {
        if (!write_all(fd_, data, size)) return system_error(operation::write, path_);
        return {};
    }

    io_status flush() override {
        if (::fsync(fd_) != 0) return system_error(operation::flush, path_);
        return {};
    }

    io_status close() override {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) return system_error(operation::close, path_);
        return {};
    }

private:
    int fd_;
    fs::path path_;
};

// Opens without blocking on a pipe, then takes regular files only and puts
// the descriptor back to blocking reads.
io_result<int> open_regular(const fs::path& path, int flags, operation what) {
    const int fd = open_retrying(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return system_error(what, path);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return system_error(what, path, code);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return refusal(what, path, error_kind::not_regular);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

io_result<int> create_new(const fs::path& path, bool program) {
    const int fd =
        open_retrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, program ? 0755 : 0644);
    if (fd < 0) return system_error(operation::create, path);
    return fd;
}

// Closes a new file after its bytes; on any failure the file goes again.
io_status finish_new_file(int fd, const fs::path& path, io_status written) {
    if (::close(fd) != 0 && written.ok() && errno != EINTR) written = system_error(operation::close, path);
    if (!written.ok()) ::unlink(path.c_str());
    return written;
}

fs::path folder_of(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

io_status flush_entry(const fs::path& path) {
    const int fd = open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return system_error(operation::flush, path);
    const bool flushed = ::fsync(fd) == 0;
    const int code = errno;
    ::close(fd);
    if (!flushed) return system_error(operation::flush, path, code);
    return {};
}

// Deletes everything inside the open folder fd (named path for errors),
// never following a link: each entry is reached through its folder's
// descriptor, so a link swapped in meanwhile is removed, not walked into.
io_status empty_folder(int fd, const fs::path& path) {
    DIR* folder = ::fdopendir(fd);
    if (folder == nullptr) {
        const int code = errno;
        ::close(fd);
        return system_error(operation::list, path, code);
    }
    io_status result;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            if (errno != 0) result = system_error(operation::list, path);
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        const fs::path inner = path / name;
        struct stat info {};
        if (::fstatat(::dirfd(folder), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;
            result = system_error(operation::remove_tree, inner);
            break;
        }
        if (S_ISDIR(info.st_mode)) {
            const int inner_fd = ::openat(::dirfd(folder), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner_fd < 0) {
                result = system_error(operation::remove_tree, inner);
                break;
            }
            result = empty_folder(inner_fd, inner);
            if (!result.ok()) break;
            if (::unlinkat(::dirfd(folder), name, AT_REMOVEDIR) != 0) {
                result = system_error(operation::remove_tree, inner);
                break;
            }
        } else if (::unlinkat(::dirfd(folder), name, 0) != 0 && errno != ENOENT) {
            result = system_error(operation::remove_tree, inner);
            break;
        }
        // The listing is read again from its start after a change, so no
        // entry is missed however the system orders a changing folder.
        ::rewinddir(folder);
    }
    ::closedir(folder);
    return result;
}

// The folder is locked through an open descriptor of it. The descriptor is
// inherited by the programs the installer starts, so a program that
// outlives a killed installer still keeps a second installer out.
class descriptor_lock : public folder_lock {
public:
    explicit descriptor_lock(int fd) : fd_(fd) {}
    ~descriptor_lock() override { ::close(fd_); }

private:
    int fd_;
};

class posix_file_system : public file_system {
public:
    io_result<entry_kind> inspect(const fs::path& path) override {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return entry_kind::absent;
            return system_error(operation::inspect, path);
        }
        if (S_ISLNK(info.st_mode)) return entry_kind::link;
        if (S_ISDIR(info.st_mode)) return entry_kind::folder;
        if (S_ISREG(info.st_mode)) return entry_kind::file;
        return entry_kind::other;
    }

    io_result<std::unique_ptr<readable_file>> open_for_reading(const fs::path& path) override {
        io_result<int> fd = open_regular(path, O_RDONLY, operation::open_reading);
        if (!fd) return fd.error();
        return std::unique_ptr<readable_file>(std::make_unique<descriptor_file>(*fd, path));
    }

    io_result<std::unique_ptr<updatable_file>> open_for_update(const fs::path& path) override {
        io_result<int> fd = open_regular(path, O_RDWR | O_NOFOLLOW, operation::open_update);
        if (!fd) return fd.error();
        return std::unique_ptr<updatable_file>(std::make_unique<descriptor_file>(*fd, path));
    }

    io_status create_file(const fs::path& path, std::string_view bytes, bool program) override {
        io_result<int> fd = create_new(path, program);
        if (!fd) return fd.error();
        io_status written;
        if (!write_all(*fd, bytes.data(), bytes.size())) written = system_error(operation::write, path);
        return finish_new_file(*fd, path, written);
    }

    io_status copy_file(const fs::path& from, const fs::path& to) override {
        io_result<int> source = open_regular(from, O_RDONLY, operation::copy);
        if (!source) return source.error();
        struct stat info {};
        ::fstat(*source, &info);
        io_result<int> target = create_new(to, false);
        if (!target) {
            ::close(*source);
            return target.error();
        }
        std::vector<char> buffer(std::size_t(1) << 20);
        std::uint64_t copied = 0;
        io_status written;
        for (;;) {
            const ssize_t n = ::read(*source, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                written = system_error(operation::copy, from);
                break;
            }
            if (n == 0) break;
            if (!write_all(*target, buffer.data(), static_cast<std::size_t>(n))) {
                written = system_error(operation::write, to);
                break;
            }
            copied += static_cast<std::uint64_t>(n);
        }
        ::close(*source);
        // A file that changed size while it was copied is being written by
        // someone else: the copy is not the file.
        if (written.ok() && copied != static_cast<std::uint64_t>(info.st_size)) {
            written = refusal(operation::copy, from, error_kind::in_use);
        }
        return finish_new_file(*target, to, written);
    }

    io_status replace_file(const fs::path& from, const fs::path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return system_error(operation::replace, to);
        // The rename is a change of the folders' entries: flushed with it.
        io_status flushed = flush_entry(folder_of(to));
        if (flushed.ok() && folder_of(from) != folder_of(to)) flushed = flush_entry(folder_of(from));
        return flushed;
    }

    io_result<removal> remove_file(const fs::path& path) override {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return removal::was_absent;
            return system_error(operation::remove, path);
        }
        if (S_ISDIR(info.st_mode)) return refusal(operation::remove, path, error_kind::not_regular);
        if (::unlink(path.c_str()) != 0) {
            if (errno == ENOENT) return removal::was_absent;
            return system_error(operation::remove, path);
        }
        return removal::removed;
    }

    io_result<removal> remove_tree(const fs::path& path) override {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return removal::was_absent;
            return system_error(operation::remove_tree, path);
        }
        if (!S_ISDIR(info.st_mode)) return remove_file(path);
        const int fd = open_retrying(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return system_error(operation::remove_tree, path);
        io_status emptied = empty_folder(fd, path);
        if (!emptied.ok()) return emptied.error();
        if (::rmdir(path.c_str()) != 0) return system_error(operation::remove_tree, path);
        return removal::removed;
    }

    io_status flush(const fs::path& path) override { return flush_entry(path); }

    io_result<std::vector<std::string>> list(const fs::path& folder) override {
        const int fd = open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return system_error(operation::list, folder);
        DIR* entries = ::fdopendir(fd);
        if (entries == nullptr) {
            const int code = errno;
            ::close(fd);
            return system_error(operation::list, folder, code);
        }
        std::vector<std::string> names;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(entries);
            if (entry == nullptr) break;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
        }
        const int code = errno;
        ::closedir(entries);
        if (code != 0) return system_error(operation::list, folder, code);
        return names;
    }

    io_status check_unshared(const fs::path&) override { return {}; }

    io_result<std::unique_ptr<folder_lock>> lock_folder(const fs::path& folder) override {
        // Without close-on-exec: the programs the installer starts hold it too.
        const int fd = open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return system_error(operation::lock, folder);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            return system_error(operation::lock, folder, code);
        }
        return std::unique_ptr<folder_lock>(std::make_unique<descriptor_lock>(fd));
    }
};

class fork_process_runner : public process_runner {
public:
    io_result<int> run(const process_request& request) override {
        // The log is opened here, so that a log that cannot be had is this
        // installer's failure, not a silent one of the child's.
        const int log =
            open_retrying(request.error_log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (log < 0) return system_error(operation::run, request.error_log);
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) {
            const int code = errno;
            ::close(log);
            return system_error(operation::run, request.program, code);
        }
        const std::string program = (request.folder / request.program).string();
        std::vector<std::string> words{program};
        words.insert(words.end(), request.arguments.begin(), request.arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::string folder = request.folder.string();

        const pid_t installer = ::getpid();
        const pid_t child = ::fork();
        if (child < 0) {
            const int code = errno;
            ::close(log);
            ::close(report[0]);
            ::close(report[1]);
            return system_error(operation::run, request.program, code);
        }
        if (child == 0) {
#if defined(__linux__)
            // The program ends with the installer, however the installer ends.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != installer) ::_exit(127);
#endif
            int code = 0;
            if (::dup2(log, STDERR_FILENO) < 0) code = errno;
            if (code == 0 && !request.show_output) {
                const int null = ::open("/dev/null", O_WRONLY);
                if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) code = errno;
            }
            if (code == 0 && ::chdir(folder.c_str()) != 0) code = errno;
            if (code == 0) {
                ::execv(argv[0], argv.data());
                code = errno;
            }
            while (::write(report[1], &code, sizeof code) < 0 && errno == EINTR) {}
            ::_exit(127);
        }
        ::close(log);
        ::close(report[1]);
        int code = 0;
        ssize_t got;
        do {
            got = ::read(report[0], &code, sizeof code);
        } while (got < 0 && errno == EINTR);
        ::close(report[0]);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR) return system_error(operation::run, request.program);
        }
        if (got == static_cast<ssize_t>(sizeof code)) return system_error(operation::run, request.program, code);
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
};

// Text in the encoding of the user's locale as GBK; what GBK cannot hold
// comes out as '?'.
std::string locale_text_as_gbk(const std::string& text, const char* codeset) {
    if (codeset == nullptr || std::strcmp(codeset, "GBK") == 0 || std::strcmp(codeset, "GB18030") == 0) return text;
    iconv_t converter = ::iconv_open("GBK", codeset);
    if (converter == iconv_t(-1)) return text;
    std::string out(text.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* dest = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0 && out_left > 0) {
        if (::iconv(converter, &in, &in_left, &dest, &out_left) != std::size_t(-1)) break;
        if (errno == E2BIG) break;
        *dest++ = '?';
        --out_left;
        ++in;
        --in_left;
    }
    ::iconv_close(converter);
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace

file_system& system_file_system() {
    static posix_file_system files;
    return files;
}

process_runner& system_process_runner() {
    static fork_process_runner runner;
    return runner;
}

std::string describe(const io_error& error) {
    std::string reason;
    switch (error.kind) {
    case error_kind::link_refused:
        reason =
            error.system_code == 0 || error.system_code == ELOOP ? "是一个链接，安装程序不会经由链接写入或删除。" : "";
        break;
    case error_kind::not_regular: reason = error.system_code == 0 ? "不是普通文件。" : ""; break;
    case error_kind::in_use: reason = error.system_code == 0 ? "正被其他程序使用。" : ""; break;
    default: break;
    }
    // The system's reason in the user's language, converted from the
    // locale's encoding; paths are taken as the locale's text too.
    locale_t user = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    const char* codeset = user != static_cast<locale_t>(0) ? ::nl_langinfo_l(CODESET, user) : "ANSI_X3.4-1968";
    if (reason.empty()) {
        const char* text =
            user != static_cast<locale_t>(0) ? ::strerror_l(error.system_code, user) : std::strerror(error.system_code);
        reason = locale_text_as_gbk(text, codeset);
    }
    // A locale that names no encoding of its own leaves the path as the
    // file system holds it, which is UTF-8 in practice.
    const bool plain = std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
    std::string line = locale_text_as_gbk(error.path.string(), plain ? "UTF-8" : codeset) + "：" + reason;
    if (user != static_cast<locale_t>(0)) ::freelocale(user);
    return line;
}

int system_code_for(error_kind kind) {
    switch (kind) {
    case error_kind::not_found: return ENOENT;
    case error_kind::access_denied: return EACCES;
    case error_kind::in_use: return EBUSY;
    case error_kind::no_space: return ENOSPC;
    case error_kind::io_error: return EIO;
    case error_kind::link_refused: return ELOOP;
    case error_kind::not_regular: return EISDIR;
    case error_kind::exists: return EEXIST;
    case error_kind::other: return EINVAL;
    }
    return EINVAL;
}

}  // namespace platform
