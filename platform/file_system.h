// The seam through which every operation on the player's files goes, and
// the one that runs a program. The installer's features take a
// file_system& and a process_runner&; platform_win32.cpp and
// platform_posix.cpp implement them for the system, and tests replace them
// (tests/unit/fault_file_system.h fails any one operation, or drops what was
// not flushed, as a power loss would).
//
// Every call answers what failed and why: the operation, the path as the
// caller named it, the kind of trouble and the system's own code. Nothing
// here throws for a refusal of the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class operation {
    inspect,       // what stands at a name
    open_reading,  // open a file to read it
    open_update,   // open a file to write into it in place
    read,
    write,
    size,
    copy,
    create,       // make a new file with its bytes
    replace,      // put one file in the place of another in one step
    remove,       // delete one file, or a link itself
    remove_tree,  // delete a folder with everything in it
    flush,        // make a file or a folder's entries durable
    close,
    lock,            // take the game folder for this installer alone
    list,            // the entries of a folder
    check_unshared,  // whether another program holds a file open
    enter_folder,    // make a folder the current one
    run,             // start a program and wait for it
};

enum class error_kind {
    not_found,
    access_denied,  // permissions, a read-only attribute, a folder's ACL
    in_use,         // held by another program, a sharing violation, a lock
    no_space,
    io_error,
    link_refused,  // a link or reparse point stands where the installer
                   // would delete, write or copy through it
    not_regular,   // a folder, pipe or device where a file was wanted
    exists,        // a new file's name is taken
    other,
};

struct io_error {
    operation what;
    std::filesystem::path path;  // as the caller gave it
    error_kind kind;
    // errno or GetLastError; 0 when the installer itself refused (a link, a
    // file that is not regular).
    int system_code = 0;
};

// Nothing, or what went wrong.
class [[nodiscard]] io_status {
public:
    io_status() = default;
    io_status(io_error error) : error_(std::move(error)) {}
    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const io_error& error() const { return *error_; }

private:
    std::optional<io_error> error_;
};

// A value, or what went wrong.
template <typename T>
class [[nodiscard]] io_result {
public:
    io_result(T value) : value_(std::move(value)) {}
    io_result(io_error error) : error_(std::move(error)) {}
    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const io_error& error() const { return *error_; }
    io_status status() const { return ok() ? io_status() : io_status(*error_); }

private:
    std::optional<T> value_;
    std::optional<io_error> error_;
};

// What stands at a name, its own kind: a link is a link, not its target.
enum class entry_kind { absent, file, folder, link, other };

// How a deletion that did not fail ended.
enum class removal { removed, was_absent };

// An open file, read in order from its start.
class readable_file {
public:
    virtual ~readable_file() = default;
    // Up to size bytes; 0 at the end of the file.
    virtual io_result<std::size_t> read(char* buffer, std::size_t size) = 0;
    virtual io_status seek(std::uint64_t offset) = 0;
    virtual io_result<std::uint64_t> size() = 0;
};

// An existing file opened to be changed in place: never created, never
// truncated.
class updatable_file : public readable_file {
public:
    // Writes all of data at the current position.
    virtual io_status write(const char* data, std::size_t size) = 0;
    // Makes what was written durable: on the disk, not only in the cache.
    virtual io_status flush() = 0;
    // Lets go of the file; a write the system kept back may fail only here.
    virtual io_status close() = 0;
};

// Held while a function changes the game folder. The system lets go of it
// when the process ends, however it ends.
class folder_lock {
public:
    virtual ~folder_lock() = default;
};

// The player's files. Paths are relative to the current folder (the game
// folder) or absolute; the installer never deletes, writes or copies
// through a link or reparse point standing at the name it works on.
class file_system {
public:
    virtual ~file_system() = default;

    virtual io_result<entry_kind> inspect(const std::filesystem::path& path) = 0;

    // A regular file, links followed; a pipe or device is refused with
    // not_regular without blocking.
    virtual io_result<std::unique_ptr<readable_file>> open_for_reading(const std::filesystem::path& path) = 0;
    // A regular file that exists, not through a link at its name.
    virtual io_result<std::unique_ptr<updatable_file>> open_for_update(const std::filesystem::path& path) = 0;

    // Makes a new file holding bytes, never at a name where anything stands
    // (a link included); a program file is made executable. A file that
    // could not be written completely is removed again.
    virtual io_status create_file(const std::filesystem::path& path, std::string_view bytes, bool program = false) = 0;
    // Copies the regular file from into a new file to, as create_file
    // makes it; the copy is not flushed. A partial copy is removed again.
    virtual io_status copy_file(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Puts from in the place of to in one step, replacing to when it exists
    // (a read-only to included), and makes the change durable. On failure
    // both names are as they were.
    virtual io_status replace_file(const std::filesystem::path& from, const std::filesystem::path& to) = 0;

    // Deletes one file, or a link itself (never its target). A folder is
    // refused with not_regular.
    virtual io_result<removal> remove_file(const std::filesystem::path& path) = 0;
    // Deletes a file, a link itself, or a folder with everything in it,
    // never walking into a link or reparse point. Fails at the first entry
    // that cannot go, naming it.
    virtual io_result<removal> remove_tree(const std::filesystem::path& path) = 0;

    // Makes a file's bytes, or a folder's list of entries, durable.
    virtual io_status flush(const std::filesystem::path& path) = 0;
    // The names in a folder, in no particular order.
    virtual io_result<std::vector<std::string>> list(const std::filesystem::path& folder) = 0;
    // in_use when another program holds the file open in a way that would
    // keep it from being replaced (Windows); always fine on POSIX, where an
    // open file never stops a rename.
    virtual io_status check_unshared(const std::filesystem::path& path) = 0;

    // Takes the folder for this installer alone; in_use when another
    // installer holds it. Programs started by the process runner while the
    // lock is held never outlive the installer's hold on the folder.
    virtual io_result<std::unique_ptr<folder_lock>> lock_folder(const std::filesystem::path& folder) = 0;
};

// One program to run, Ninja's subprocess style: it knows nothing of what
// the program does.
struct process_request {
    std::filesystem::path program;  // relative to folder
    std::vector<std::string> arguments;
    std::filesystem::path folder = ".";
    bool show_output = false;         // standard output on the console, or discarded
    std::filesystem::path error_log;  // standard error appended here (created when absent)
};

class process_runner {
public:
    virtual ~process_runner() = default;
    // Runs the program and waits for it. Its exit status (128 + the signal
    // on POSIX when it was killed), or an error when it could not be
    // started. A program started here ends with the installer: it never
    // keeps running after the installer is gone.
    virtual io_result<int> run(const process_request& request) = 0;
};

// The system's file system and process runner. They keep no state of their
// own, so one of each serves the whole run.
file_system& system_file_system();
process_runner& system_process_runner();

// The error as one line for the player, in GBK: the path as the caller
// named it, a full-width colon and the system's reason in the system's own
// language, e.g. "Data\sharedassets0.assets：拒绝访问。".
std::string describe(const io_error& error);

// A representative system code for an error kind, as the system would give
// it; for test doubles that fail an operation.
int system_code_for(error_kind kind);

}  // namespace platform
