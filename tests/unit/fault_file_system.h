// A file system and process runner that pass every call on to real ones,
// count them, and at a chosen call either fail it or crash there, as
// SQLite's test VFS and LevelDB's fault-injection environment do.
//
// A crash throws simulated_crash before the call is carried out; the test
// catches it (the function stops there) and calls lose_unflushed(), which
// puts every file written since its last flush back to what it held at that
// flush (empty for a file made new), as a power loss may leave it.
#pragma once

#include "platform/file_system.h"

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Thrown at the crash point. Not a core::failure: nothing in the installer
// may catch it.
struct simulated_crash {};

class fault_file_system : public platform::file_system, public platform::process_runner {
public:
    enum class fault { error, crash };

    fault_file_system(platform::file_system& files, platform::process_runner& processes)
        : files_(files), processes_(processes) {}

    // The n-th call from now (1 for the next) fails with an error of kind,
    // or crashes. Only one call is armed at a time.
    void arm(std::size_t n, fault what, platform::error_kind kind = platform::error_kind::io_error);
    // Calls counted so far, and whether the armed one was reached.
    std::size_t calls() const { return calls_; }
    bool fired() const { return fired_; }
    // What the armed call was: its operation and path.
    const std::string& fired_call() const { return fired_call_; }

    // Drops every write not flushed since, file by file.
    void lose_unflushed();

    // The file system.
    platform::io_result<platform::entry_kind> inspect(const std::filesystem::path& path) override;
    platform::io_result<std::unique_ptr<platform::readable_file>> open_for_reading(
        const std::filesystem::path& path) override;
    platform::io_result<std::unique_ptr<platform::updatable_file>> open_for_update(
        const std::filesystem::path& path) override;
    platform::io_status create_file(const std::filesystem::path& path, std::string_view bytes, bool program) override;
    platform::io_status copy_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
    platform::io_status replace_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
    platform::io_result<platform::removal> remove_file(const std::filesystem::path& path) override;
    platform::io_result<platform::removal> remove_tree(const std::filesystem::path& path) override;
    platform::io_status flush(const std::filesystem::path& path) override;
    platform::io_result<std::vector<std::string>> list(const std::filesystem::path& folder) override;
    platform::io_status check_unshared(const std::filesystem::path& path) override;
    platform::io_result<std::unique_ptr<platform::folder_lock>> lock_folder(
        const std::filesystem::path& folder) override;

    // The process runner.
    platform::io_result<int> run(const platform::process_request& request) override;

    // For the open files: one call, counted; the error when it is the armed
    // one (a crash throws).
    std::optional<platform::io_error> count(platform::operation what, const std::filesystem::path& path);
    // A file is about to change: what it holds now is what a crash gives
    // back, unless it already has unflushed changes.
    void will_change(const std::filesystem::path& path);
    void flushed(const std::filesystem::path& path);

private:
    static std::string key(const std::filesystem::path& path);

    platform::file_system& files_;
    platform::process_runner& processes_;
    std::size_t calls_ = 0;
    std::size_t armed_ = 0;  // 0: nothing armed
    fault fault_ = fault::error;
    platform::error_kind kind_ = platform::error_kind::io_error;
    bool fired_ = false;
    std::string fired_call_;
    // Files with unflushed changes: what each held at its last flush.
    std::map<std::string, std::string> durable_;
};

// The name of an operation, for test output.
const char* operation_name(platform::operation what);
