// Windows side of the file-system and process seam: handles opened with
// the sharing the installer needs, no deletion, copy or write through a
// reparse point, long paths in their \\?\ form, and programs started in a
// job that ends them with the installer.
#include "platform/file_system.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace platform {

namespace {

namespace fs = std::filesystem;

error_kind kind_of(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE: return error_kind::not_found;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: return error_kind::access_denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return error_kind::in_use;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return error_kind::no_space;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT: return error_kind::io_error;
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_CANT_RESOLVE_FILENAME: return error_kind::link_refused;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY: return error_kind::exists;
    case ERROR_DIRECTORY: return error_kind::not_regular;
    default: return error_kind::other;
    }
}

io_error system_error(operation what, const fs::path& path, DWORD code = GetLastError()) {
    return io_error{what, path, kind_of(code), static_cast<int>(code)};
}

io_error refusal(operation what, const fs::path& path, error_kind kind) { return io_error{what, path, kind, 0}; }

// The path the system calls take: the full path, in the \\?\ form when it
// is too long for the classic one, so a game folder deep in the tree works.
std::wstring long_form(const fs::path& path) {
    const std::wstring given = path.wstring();
    if (given.rfind(L"\\\\?\\", 0) == 0) return given;
    const DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (size == 0) return given;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return given;
    full.resize(length);
    if (full.size() < MAX_PATH - 12) return given;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

constexpr DWORD no_attributes = INVALID_FILE_ATTRIBUTES;

DWORD attributes_of(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

bool is_missing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// The final path of what a name leads to, as the system resolves it.
std::wstring final_path(const std::wstring& path) {
    HANDLE entry = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE) return {};
    wchar_t buffer[4096];
    const DWORD length = GetFinalPathNameByHandleW(entry, buffer, 4096, FILE_NAME_NORMALIZED);
    CloseHandle(entry);
    if (length == 0 || length >= 4096) return {};
    return std::wstring(buffer, length);
}

// Whether the name is a link: a reparse point, or a name that the system
// resolves somewhere else than into its own folder (how a symbolic link of
// the host shows under a compatibility layer that reports no reparse
// point for it).
bool is_link(const fs::path& path, DWORD attributes) {
    if (attributes != no_attributes && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    const std::wstring own = final_path(long_form(path));
    const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(L".");
    const std::wstring folder = final_path(long_form(parent));
    if (own.empty() || folder.empty()) return false;
    std::wstring expected = folder;
    if (expected.back() != L'\\') expected += L'\\';
    expected += path.filename().wstring();
    return CompareStringOrdinal(own.c_str(), static_cast<int>(own.size()), expected.c_str(),
                                static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL;
}

bool write_all(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(out, data, chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

class handle_file : public updatable_file {
public:
    handle_file(HANDLE handle, fs::path path) : handle_(handle), path_(std::move(path)) {}
    ~handle_file() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    io_result<std::size_t> read(char* buffer, std::size_t size) override {
        DWORD got = 0;
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!ReadFile(handle_, buffer, chunk, &got, nullptr)) return system_error(operation::read, path_);
        return static_cast<std::size_t>(got);
    }

    io_status seek(std::uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return system_error(operation::read, path_);
        return {};
    }

    io_result<std::uint64_t> size() override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) return system_error(operation::size, path_);
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    io_status write(const char* data, std::size_t size) override {
        if (!write_all(handle_, data, size)) return system_error(operation::write, path_);
        return {};
    }

    io_status flush() override {
        if (!FlushFileBuffers(handle_)) return system_error(operation::flush, path_);
        return {};
    }

    io_status close() override {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle)) return system_error(operation::close, path_);
        return {};
    }

private:
    HANDLE handle_;
    fs::path path_;
};

// Opens a file that is there; folders, pipes and devices are refused.
io_result<HANDLE> open_regular(const fs::path& path, DWORD access, DWORD sharing, operation what, bool no_link) {
    const std::wstring name = long_form(path);
    const DWORD attributes = attributes_of(name);
    if (attributes == no_attributes) return system_error(what, path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return refusal(what, path, error_kind::not_regular);
    }
    if (no_link && is_link(path, attributes)) return refusal(what, path, error_kind::link_refused);
    HANDLE handle = CreateFileW(name.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return system_error(what, path);
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return refusal(what, path, error_kind::not_regular);
    }
    return handle;
}

io_result<HANDLE> create_new(const fs::path& path) {
    // CREATE_NEW fails on any entry of that name, a link included.
    HANDLE handle =
        CreateFileW(long_form(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return system_error(operation::create, path);
    return handle;
}

io_status finish_new_file(HANDLE handle, const fs::path& path, io_status written) {
    if (!CloseHandle(handle) && written.ok()) written = system_error(operation::close, path);
    if (!written.ok()) DeleteFileW(long_form(path).c_str());
    return written;
}

// Deletes one entry that is not a folder; a read-only attribute of the
// installer's own working files never keeps it.
io_result<removal> remove_entry(const fs::path& path, operation what) {
    const std::wstring name = long_form(path);
    const DWORD attributes = attributes_of(name);
    if (attributes == no_attributes) {
        const DWORD code = GetLastError();
        if (is_missing(code)) return removal::was_absent;
        return system_error(what, path, code);
    }
    // Deleting through a link could take what it leads to with it.
    if (is_link(path, attributes)) return refusal(what, path, error_kind::link_refused);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refusal(what, path, error_kind::not_regular);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!DeleteFileW(name.c_str())) {
        const DWORD code = GetLastError();
        if (is_missing(code)) return removal::was_absent;
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesW(name.c_str(), attributes);
        return system_error(what, path, code);
    }
    return removal::removed;
}

io_result<std::vector<std::wstring>> folder_names(const fs::path& folder, operation what) {
    std::wstring pattern = long_form(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    std::vector<std::wstring> names;
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return names;
        return system_error(what, folder, code);
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    if (code != ERROR_NO_MORE_FILES) return system_error(what, folder, code);
    return names;
}

io_result<removal> remove_tree_at(const fs::path& path) {
    const std::wstring name = long_form(path);
    const DWORD attributes = attributes_of(name);
    if (attributes == no_attributes) {
        const DWORD code = GetLastError();
        if (is_missing(code)) return removal::was_absent;
        return system_error(operation::remove_tree, path, code);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || is_link(path, attributes)) {
        return remove_entry(path, operation::remove_tree);
    }
    io_result<std::vector<std::wstring>> names = folder_names(path, operation::remove_tree);
    if (!names) return names.error();
    for (const std::wstring& inner : *names) {
        io_result<removal> removed = remove_tree_at(path / inner);
        if (!removed) return removed.error();
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!RemoveDirectoryW(name.c_str())) return system_error(operation::remove_tree, path);
    return removal::removed;
}

// The folder is locked through a file in it that no other process may open
// and that the system deletes when the handle closes, also when the process
// is killed.
class file_lock : public folder_lock {
public:
    explicit file_lock(HANDLE file) : file_(file) {}
    ~file_lock() override { CloseHandle(file_); }

private:
    HANDLE file_;
};

class win32_file_system : public file_system {
public:
    io_result<entry_kind> inspect(const fs::path& path) override {
        const DWORD attributes = attributes_of(long_form(path));
        if (attributes == no_attributes) {
            const DWORD code = GetLastError();
            if (is_missing(code)) return entry_kind::absent;
            return system_error(operation::inspect, path, code);
        }
        if (is_link(path, attributes)) return entry_kind::link;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return entry_kind::folder;
        return entry_kind::file;
    }

    io_result<std::unique_ptr<readable_file>> open_for_reading(const fs::path& path) override {
        io_result<HANDLE> handle =
            open_regular(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, operation::open_reading, false);
        if (!handle) return handle.error();
        return std::unique_ptr<readable_file>(std::make_unique<handle_file>(*handle, path));
    }

    io_result<std::unique_ptr<updatable_file>> open_for_update(const fs::path& path) override {
        io_result<HANDLE> handle = open_regular(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                operation::open_update, true);
        if (!handle) return handle.error();
        return std::unique_ptr<updatable_file>(std::make_unique<handle_file>(*handle, path));
    }

    io_status create_file(const fs::path& path, std::string_view bytes, bool) override {
        io_result<HANDLE> handle = create_new(path);
        if (!handle) return handle.error();
        io_status written;
        if (!write_all(*handle, bytes.data(), bytes.size())) written = system_error(operation::write, path);
        return finish_new_file(*handle, path, written);
    }

    io_status copy_file(const fs::path& from, const fs::path& to) override {
        io_result<HANDLE> source = open_regular(from, GENERIC_READ, FILE_SHARE_READ, operation::copy, false);
        if (!source) return source.error();
        LARGE_INTEGER size{};
        GetFileSizeEx(*source, &size);
        io_result<HANDLE> target = create_new(to);
        if (!target) {
            CloseHandle(*source);
            return target.error();
        }
        std::vector<char> buffer(std::size_t(1) << 20);
        std::uint64_t copied = 0;
        io_status written;
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(*source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                written = system_error(operation::copy, from);
                break;
            }
            if (got == 0) break;
            if (!write_all(*target, buffer.data(), got)) {
                written = system_error(operation::write, to);
                break;
            }
            copied += got;
        }
        CloseHandle(*source);
        if (written.ok() && copied != static_cast<std::uint64_t>(size.QuadPart)) {
            written = refusal(operation::copy, from, error_kind::in_use);
        }
        return finish_new_file(*target, to, written);
    }

    io_status replace_file(const fs::path& from, const fs::path& to) override {
        const std::wstring source = long_form(from);
        const std::wstring target = long_form(to);
        const DWORD source_attributes = attributes_of(source);
        if (source_attributes == no_attributes) return system_error(operation::replace, from);
        if (is_link(from, source_attributes)) return refusal(operation::replace, from, error_kind::link_refused);
        const DWORD attributes = attributes_of(target);
        if (attributes != no_attributes) {
            if (is_link(to, attributes)) return refusal(operation::replace, to, error_kind::link_refused);
            // The file is replaced on purpose: its read-only attribute must
            // not keep the backup from going back.
            if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
                SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
            }
        }
        if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD code = GetLastError();
            if (attributes != no_attributes && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
                SetFileAttributesW(target.c_str(), attributes);
            }
            return system_error(operation::replace, to, code);
        }
        return {};
    }

    io_result<removal> remove_file(const fs::path& path) override { return remove_entry(path, operation::remove); }

    io_result<removal> remove_tree(const fs::path& path) override { return remove_tree_at(path); }

    io_status flush(const fs::path& path) override {
        const std::wstring name = long_form(path);
        const DWORD attributes = attributes_of(name);
        if (attributes == no_attributes) return system_error(operation::flush, path);
        // A folder's entries are made durable by the write-through flag of
        // the rename that changed them.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return system_error(operation::flush, path);
        if (!FlushFileBuffers(file)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            return system_error(operation::flush, path, code);
        }
        if (!CloseHandle(file)) return system_error(operation::flush, path);
        return {};
    }

    io_result<std::vector<std::string>> list(const fs::path& folder) override {
        io_result<std::vector<std::wstring>> names = folder_names(folder, operation::list);
        if (!names) return names.error();
        std::vector<std::string> listed;
        for (const std::wstring& name : *names) listed.push_back(fs::path(name).u8string());
        return listed;
    }

    io_status check_unshared(const fs::path& path) override {
        // Opened without any sharing: any other program that has the file
        // open makes this fail, whatever sharing it allowed itself.
        HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (is_missing(code)) return {};
            return system_error(operation::check_unshared, path, code);
        }
        CloseHandle(file);
        return {};
    }

    io_result<std::unique_ptr<folder_lock>> lock_folder(const fs::path& folder) override {
        const fs::path lock = folder / L"zelt.lock";
        const DWORD attributes = attributes_of(long_form(lock));
        if (attributes != no_attributes && is_link(lock, attributes)) {
            return refusal(operation::lock, lock, error_kind::link_refused);
        }
        HANDLE file = CreateFileW(long_form(lock).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) return system_error(operation::lock, folder);
        return std::unique_ptr<folder_lock>(std::make_unique<file_lock>(file));
    }
};

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) return word;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

class owned_handle {
public:
    explicit owned_handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~owned_handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    owned_handle(const owned_handle&) = delete;
    owned_handle& operator=(const owned_handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class job_process_runner : public process_runner {
public:
    io_result<int> run(const process_request& request) override {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        const DWORD log_attributes = attributes_of(long_form(request.error_log));
        if (log_attributes != no_attributes && is_link(request.error_log, log_attributes)) {
            return refusal(operation::run, request.error_log, error_kind::link_refused);
        }
        owned_handle log(CreateFileW(long_form(request.error_log).c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
        if (!log.valid()) return system_error(operation::run, request.error_log);
        owned_handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                       OPEN_EXISTING, 0, nullptr));
        HANDLE shown = INVALID_HANDLE_VALUE;
        if (request.show_output) {
            DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &shown, 0, TRUE,
                            DUPLICATE_SAME_ACCESS);
        } else {
            shown = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                                nullptr);
        }
        owned_handle output(shown);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = log.get();

        const std::wstring program = long_form(request.folder / request.program);
        const std::wstring folder = long_form(request.folder);
        std::wstring command = quoted(request.program.wstring());
        for (const std::string& argument : request.arguments) command += L" " + quoted(fs::u8path(argument).wstring());

        // The program runs in a job that ends it when the last handle of the
        // job closes: when this installer ends, however it ends, the
        // program ends with it and never writes the game folder unlocked.
        owned_handle job(CreateJobObjectW(nullptr, nullptr));
        if (!job.valid()) return system_error(operation::run, request.program);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            return system_error(operation::run, request.program);
        }
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                            folder.c_str(), &startup, &started)) {
            return system_error(operation::run, request.program);
        }
        owned_handle process(started.hProcess);
        owned_handle thread(started.hThread);
        if (!AssignProcessToJobObject(job.get(), process.get())) {
            const DWORD code = GetLastError();
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), INFINITE);
            return system_error(operation::run, request.program, code);
        }
        ResumeThread(thread.get());
        WaitForSingleObject(process.get(), INFINITE);
        DWORD status = 0;
        if (!GetExitCodeProcess(process.get(), &status)) return system_error(operation::run, request.program);
        return static_cast<int>(status);
    }
};

// Wide text as GBK, the installer's console text; what GBK cannot hold
// comes out as '?'.
std::string gbk_of(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

file_system& system_file_system() {
    static win32_file_system files;
    return files;
}

process_runner& system_process_runner() {
    static job_process_runner runner;
    return runner;
}

std::string describe(const io_error& error) {
    std::string reason;
    if (error.system_code == 0) {
        switch (error.kind) {
        case error_kind::link_refused: reason = "是一个链接，安装程序不会经由链接写入或删除。"; break;
        case error_kind::not_regular: reason = "不是普通文件。"; break;
        case error_kind::in_use: reason = "正被其他程序使用。"; break;
        default: reason = "操作失败。"; break;
        }
    } else {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            static_cast<DWORD>(error.system_code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
        if (text != nullptr) LocalFree(text);
        while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
            message.pop_back();
        }
        if (message.empty()) message = L"error " + std::to_wstring(error.system_code);
        reason = gbk_of(message);
    }
    return gbk_of(error.path.wstring()) + "：" + reason;
}

int system_code_for(error_kind kind) {
    switch (kind) {
    case error_kind::not_found: return ERROR_FILE_NOT_FOUND;
    case error_kind::access_denied: return ERROR_ACCESS_DENIED;
    case error_kind::in_use: return ERROR_SHARING_VIOLATION;
    case error_kind::no_space: return ERROR_DISK_FULL;
    case error_kind::io_error: return ERROR_IO_DEVICE;
    case error_kind::link_refused: return 0;
    case error_kind::not_regular: return 0;
    case error_kind::exists: return ERROR_FILE_EXISTS;
    case error_kind::other: return ERROR_INVALID_FUNCTION;
    }
    return ERROR_INVALID_FUNCTION;
}

}  // namespace platform
