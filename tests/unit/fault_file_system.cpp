#include "fault_file_system.h"

#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using platform::io_error;
using platform::io_result;
using platform::io_status;
using platform::operation;

// An open file whose every call is counted by the file system that opened it.
class counted_file : public platform::updatable_file {
public:
    counted_file(fault_file_system& owner, fs::path path, std::unique_ptr<platform::readable_file> reading)
        : owner_(owner), path_(std::move(path)), reading_(std::move(reading)) {}
    counted_file(fault_file_system& owner, fs::path path, std::unique_ptr<platform::updatable_file> updating)
        : owner_(owner), path_(std::move(path)), updating_(std::move(updating)) {}

    io_result<std::size_t> read(char* buffer, std::size_t size) override {
        if (auto error = owner_.count(operation::read, path_)) return *error;
        return file().read(buffer, size);
    }
    io_status seek(std::uint64_t offset) override {
        if (auto error = owner_.count(operation::read, path_)) return *error;
        return file().seek(offset);
    }
    io_result<std::uint64_t> size() override {
        if (auto error = owner_.count(operation::size, path_)) return *error;
        return file().size();
    }
    io_status write(const char* data, std::size_t size) override {
        if (auto error = owner_.count(operation::write, path_)) return *error;
        owner_.will_change(path_);
        return updating_->write(data, size);
    }
    io_status flush() override {
        if (auto error = owner_.count(operation::flush, path_)) return *error;
        io_status flushed = updating_->flush();
        if (flushed) owner_.flushed(path_);
        return flushed;
    }
    io_status close() override {
        if (auto error = owner_.count(operation::close, path_)) return *error;
        return updating_->close();
    }

private:
    platform::readable_file& file() { return updating_ ? *updating_ : *reading_; }

    fault_file_system& owner_;
    fs::path path_;
    std::unique_ptr<platform::readable_file> reading_;
    std::unique_ptr<platform::updatable_file> updating_;
};

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

const char* operation_name(platform::operation what) {
    switch (what) {
    case operation::inspect: return "inspect";
    case operation::open_reading: return "open for reading";
    case operation::open_update: return "open for update";
    case operation::read: return "read";
    case operation::write: return "write";
    case operation::size: return "size";
    case operation::copy: return "copy";
    case operation::create: return "create";
    case operation::replace: return "replace";
    case operation::remove: return "remove";
    case operation::remove_tree: return "remove tree";
    case operation::flush: return "flush";
    case operation::close: return "close";
    case operation::lock: return "lock";
    case operation::list: return "list";
    case operation::check_unshared: return "check unshared";
    case operation::enter_folder: return "enter folder";
    case operation::run: return "run";
    }
    return "?";
}

void fault_file_system::arm(std::size_t n, fault what, platform::error_kind kind) {
    armed_ = calls_ + n;
    fault_ = what;
    kind_ = kind;
    fired_ = false;
    fired_call_.clear();
}

std::optional<io_error> fault_file_system::count(operation what, const fs::path& path) {
    ++calls_;
    if (armed_ == 0 || calls_ != armed_) return std::nullopt;
    armed_ = 0;
    fired_ = true;
    fired_call_ = std::string(operation_name(what)) + " " + path.string();
    if (fault_ == fault::crash) throw simulated_crash{};
    return io_error{what, path, kind_, platform::system_code_for(kind_)};
}

std::string fault_file_system::key(const fs::path& path) {
    std::error_code error;
    return fs::absolute(path, error).lexically_normal().string();
}

void fault_file_system::will_change(const fs::path& path) {
    const std::string name = key(path);
    if (durable_.count(name) == 0) durable_[name] = contents(path);
}

void fault_file_system::flushed(const fs::path& path) { durable_.erase(key(path)); }

void fault_file_system::lose_unflushed() {
    for (const auto& [name, bytes] : durable_) {
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(name, error))) continue;
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    durable_.clear();
}

io_result<platform::entry_kind> fault_file_system::inspect(const fs::path& path) {
    if (auto error = count(operation::inspect, path)) return *error;
    return files_.inspect(path);
}

io_result<std::unique_ptr<platform::readable_file>> fault_file_system::open_for_reading(const fs::path& path) {
    if (auto error = count(operation::open_reading, path)) return *error;
    io_result<std::unique_ptr<platform::readable_file>> file = files_.open_for_reading(path);
    if (!file) return file.error();
    return std::unique_ptr<platform::readable_file>(std::make_unique<counted_file>(*this, path, std::move(*file)));
}

io_result<std::unique_ptr<platform::updatable_file>> fault_file_system::open_for_update(const fs::path& path) {
    if (auto error = count(operation::open_update, path)) return *error;
    io_result<std::unique_ptr<platform::updatable_file>> file = files_.open_for_update(path);
    if (!file) return file.error();
    return std::unique_ptr<platform::updatable_file>(std::make_unique<counted_file>(*this, path, std::move(*file)));
}

io_status fault_file_system::create_file(const fs::path& path, std::string_view bytes, bool program) {
    if (auto error = count(operation::create, path)) return *error;
    io_status created = files_.create_file(path, bytes, program);
    // Until it is flushed, a new file may come back empty after a crash.
    if (created && durable_.count(key(path)) == 0) durable_[key(path)] = "";
    return created;
}

io_status fault_file_system::copy_file(const fs::path& from, const fs::path& to) {
    if (auto error = count(operation::copy, from)) return *error;
    io_status copied = files_.copy_file(from, to);
    if (copied && durable_.count(key(to)) == 0) durable_[key(to)] = "";
    return copied;
}

io_status fault_file_system::replace_file(const fs::path& from, const fs::path& to) {
    if (auto error = count(operation::replace, to)) return *error;
    io_status replaced = files_.replace_file(from, to);
    if (replaced) {
        // The rename is durable; the bytes it moved are only as durable as
        // their last flush.
        const auto pending = durable_.find(key(from));
        durable_.erase(key(to));
        if (pending != durable_.end()) {
            durable_[key(to)] = pending->second;
            durable_.erase(pending);
        }
    }
    return replaced;
}

io_result<platform::removal> fault_file_system::remove_file(const fs::path& path) {
    if (auto error = count(operation::remove, path)) return *error;
    io_result<platform::removal> removed = files_.remove_file(path);
    if (removed) durable_.erase(key(path));
    return removed;
}

io_result<platform::removal> fault_file_system::remove_tree(const fs::path& path) {
    if (auto error = count(operation::remove_tree, path)) return *error;
    io_result<platform::removal> removed = files_.remove_tree(path);
    if (removed) {
        const std::string prefix = key(path);
        for (auto it = durable_.begin(); it != durable_.end();) {
            it = it->first.rfind(prefix, 0) == 0 ? durable_.erase(it) : std::next(it);
        }
    }
    return removed;
}

io_status fault_file_system::flush(const fs::path& path) {
    if (auto error = count(operation::flush, path)) return *error;
    io_status flushed_now = files_.flush(path);
    if (flushed_now) flushed(path);
    return flushed_now;
}

io_result<std::vector<std::string>> fault_file_system::list(const fs::path& folder) {
    if (auto error = count(operation::list, folder)) return *error;
    return files_.list(folder);
}

io_status fault_file_system::check_unshared(const fs::path& path) {
    if (auto error = count(operation::check_unshared, path)) return *error;
    return files_.check_unshared(path);
}

io_result<std::unique_ptr<platform::folder_lock>> fault_file_system::lock_folder(const fs::path& folder) {
    if (auto error = count(operation::lock, folder)) return *error;
    return files_.lock_folder(folder);
}

io_result<int> fault_file_system::run(const platform::process_request& request) {
    if (auto error = count(operation::run, request.program)) return *error;
    return processes_.run(request);
}
