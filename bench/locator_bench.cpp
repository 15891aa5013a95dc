// Times the text field locator on a 1 GiB asset file against the cost of
// reading the file at all (dd) and against grep's own search for "French".
//
//   locator_bench [block size in bytes] [runs]
//
// The file is made in a fresh temporary folder and removed at the end. Each
// figure is the best of several runs, all with the file in the page cache.
#include "textpatch/locator.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::uint64_t file_size = std::uint64_t(1) << 30;
constexpr std::uint64_t english_at = file_size - (std::uint64_t(4) << 20);
constexpr std::uint64_t french_at = english_at + 7 + (std::uint64_t(2) << 20);

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Breaks every copy of name in [data, data + size) by zeroing its first byte;
// a zero byte cannot start a new copy, as neither name holds one.
void break_names(char* data, std::size_t size, const char* name) {
    const std::size_t n = std::strlen(name);
    for (char* at = data; (at = static_cast<char*>(memmem(at, size - (at - data), name, n))) != nullptr;) *at = '\0';
}

// Random bytes with "English" and "French" only where the benchmark puts them.
bool make_file(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    constexpr std::size_t chunk = std::size_t(8) << 20;
    constexpr std::size_t overlap = 6;  // a name may straddle two chunks
    std::vector<char> buffer(overlap + chunk, '\0');
    std::uint64_t state = 20240601;
    for (std::uint64_t offset = 0; offset < file_size; offset += chunk) {
        std::memmove(buffer.data(), buffer.data() + chunk, overlap);
        char* fresh = buffer.data() + overlap;
        for (std::size_t i = 0; i < chunk; i += 8) {
            const std::uint64_t r = splitmix(state);
            std::memcpy(fresh + i, &r, 8);
        }
        // Copies across the seam show up in the scan of overlap + chunk and
        // get their fresh part broken: the first byte of the chunk.
        for (const char* name : {"English", "French"}) {
            const std::size_t n = std::strlen(name);
            for (std::size_t k = 1; k < n; ++k) {
                if (offset > 0 && std::memcmp(fresh - k, name, k) == 0 && std::memcmp(fresh, name + k, n - k) == 0) {
                    fresh[0] = '\0';
                }
            }
            break_names(fresh, chunk, name);
        }
        for (auto [at, name] : {std::pair{english_at, "English"}, std::pair{french_at, "French"}}) {
            if (at >= offset && at < offset + chunk) std::memcpy(fresh + (at - offset), name, std::strlen(name));
        }
        out.write(fresh, static_cast<std::streamsize>(chunk));
    }
    out.close();
    return !out.fail();
}

double seconds(const std::function<void()>& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double best(int runs, const std::function<void()>& work) {
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) fastest = std::min(fastest, seconds(work));
    return fastest;
}

void run_shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t block_size =
        argc > 1 ? std::strtoull(argv[1], nullptr, 10) : textpatch::block_reader::default_block_size;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

    std::string pattern = (std::filesystem::temp_directory_path() / "locator-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const std::filesystem::path file = folder / "sharedassets0.assets";
    int status = 0;
    try {
        if (std::filesystem::space(folder).available < file_size + (std::uint64_t(256) << 20)) {
            std::fprintf(stderr, "not enough free space in %s for a 1 GiB file\n", folder.c_str());
            std::filesystem::remove_all(folder);
            return 1;
        }
        std::printf("making %s (1 GiB)...\n", file.c_str());
        std::fflush(stdout);
        if (!make_file(file)) throw std::runtime_error("could not write the file");

        const std::string quoted = "'" + file.string() + "'";
        const std::string dd = "dd if=" + quoted + " of=/dev/null bs=1M 2>/dev/null";
        const std::string grep = "grep -c -a -F French " + quoted + " >/dev/null";
        run_shell(dd);  // into the page cache

        auto locate = [&] {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream sink;
            const std::optional<textpatch::text_region> region = textpatch::locate_text_region(in, sink, block_size);
            if (!region || region->start != english_at + 12 || region->length != french_at - english_at - 21) {
                throw std::runtime_error("the locator found the wrong region");
            }
        };
        const double locator = best(runs, locate);
        const double dd_time = best(runs, [&] { run_shell(dd); });
        const double grep_time = best(runs, [&] { run_shell(grep); });

        std::printf("block size     %zu bytes, best of %d runs\n", block_size, runs);
        std::printf("locator        %.3f s  (%.2f GB/s)\n", locator, file_size / locator / 1e9);
        std::printf("dd bs=1M       %.3f s\n", dd_time);
        std::printf("grep -c -a -F  %.3f s\n", grep_time);
        std::printf("locator/dd     %.2f\n", locator / dd_time);
        std::printf("locator/grep   %.2f\n", locator / grep_time);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
