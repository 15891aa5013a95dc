// A readable_file as a std::istream, for code that reads a stream forward
// (the text locator, the digest). The stream ends at the file's end or at
// the first read that fails; error() then tells which, and why.
#pragma once

#include "platform/file_system.h"

#include <cstring>
#include <istream>
#include <optional>
#include <streambuf>
#include <vector>

namespace platform {

class file_streambuf : public std::streambuf {
public:
    explicit file_streambuf(readable_file& file, std::size_t buffer_size = std::size_t(1) << 16)
        : file_(file), buffer_(buffer_size == 0 ? 1 : buffer_size) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
    }

    // The read that ended the stream early, if one did.
    const std::optional<io_error>& error() const { return error_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const std::size_t got = fill(buffer_.data(), buffer_.size());
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }

    // Large reads go straight from the file into the caller's buffer.
    std::streamsize xsgetn(char* out, std::streamsize count) override {
        std::streamsize done = 0;
        const std::streamsize buffered = egptr() - gptr();
        if (buffered > 0) {
            const std::streamsize take = buffered < count ? buffered : count;
            std::memcpy(out, gptr(), static_cast<std::size_t>(take));
            gbump(static_cast<int>(take));
            done = take;
        }
        while (done < count) {
            const std::size_t got = fill(out + done, static_cast<std::size_t>(count - done));
            if (got == 0) break;
            done += static_cast<std::streamsize>(got);
        }
        return done;
    }

private:
    std::size_t fill(char* into, std::size_t size) {
        if (error_) return 0;
        io_result<std::size_t> got = file_.read(into, size);
        if (!got) {
            error_ = got.error();
            return 0;
        }
        return *got;
    }

    readable_file& file_;
    std::vector<char> buffer_;
    std::optional<io_error> error_;
};

// The stream over a file; the file outlives it.
class file_input : public std::istream {
public:
    explicit file_input(readable_file& file, std::size_t buffer_size = std::size_t(1) << 16)
        : std::istream(nullptr), buffer_(file, buffer_size) {
        rdbuf(&buffer_);
        // An exception from the file (none of the system's, which answer
        // with errors) goes on to the caller instead of ending the stream
        // as if the file had ended there.
        exceptions(std::ios::badbit);
    }
    const std::optional<io_error>& error() const { return buffer_.error(); }

private:
    file_streambuf buffer_;
};

}  // namespace platform
