// Digest speed of integrity::md5_digest next to md5sum on the same file in the same run.
//
//   md5_bench [MiB] [rounds]     defaults: 1024 MiB, 3 rounds
//
// Writes a file of pseudo-random bytes into a fresh folder under the
// temporary folder, reads it once so both sides start from a warm cache,
// then times, round after round, update_from_stream + hex_digest (as the
// integrity gate uses them) and `md5sum FILE`. The best time of each side
// is taken, which keeps out most of the noise of a busy machine; the
// processor time (user + system) of each side is shown next to it, as it
// hardly depends on what else the machine is doing. The file
// and folder are removed at the end. Exit status 1 when the digests differ.

#include "integrity/md5.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// User plus system time of this process or of its waited-for children.
double cpu_seconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct timing {
    double wall = 1e30, cpu = 1e30;
    void keep_best(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

// A fresh folder under the temporary folder, removed with everything in it.
struct bench_folder {
    std::filesystem::path path;
    bench_folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "md5-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
    }
    ~bench_folder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

void write_data(const std::filesystem::path& file, std::uint64_t mebibytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t m = 0; m < mebibytes; ++m) {
        for (auto& word : block) {  // xorshift64
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            word = x;
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    if (!out.flush()) throw std::runtime_error("cannot write the data file");
}

void warm_cache(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> piece(1 << 20);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {}
}

// The file opened and read the way checkintegrity does it.
std::string our_digest(const std::filesystem::path& file) {
    char stream_buffer[1 << 16];
    std::ifstream in;
    in.rdbuf()->pubsetbuf(stream_buffer, sizeof stream_buffer);
    in.open(file, std::ios::binary);
    integrity::md5_digest digest;
    digest.update_from_stream(in);
    return digest.hex_digest();
}

std::string md5sum_digest(const std::filesystem::path& file) {
    std::string command = "md5sum '" + file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot start md5sum");
    char line[4096] = {};
    bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    if (pclose(pipe) != 0 || !got) throw std::runtime_error("md5sum failed");
    std::string text(line, std::min<std::size_t>(32, std::char_traits<char>::length(line)));
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (mebibytes == 0 || rounds <= 0) {
        std::cerr << "usage: md5_bench [MiB] [rounds]\n";
        return 2;
    }
    try {
        bench_folder folder;
        std::filesystem::path file = folder.path / "data.bin";
        std::cout << "writing " << mebibytes << " MiB to " << file.string() << std::endl;
        write_data(file, mebibytes);
        warm_cache(file);

        timing ours, theirs;
        std::string ours_result, theirs_result;
        for (int round = 1; round <= rounds; ++round) {
            auto start = clock_type::now();
            double cpu = cpu_seconds(RUSAGE_SELF);
            ours_result = our_digest(file);
            double ours_wall = seconds_since(start), ours_cpu = cpu_seconds(RUSAGE_SELF) - cpu;
            start = clock_type::now();
            cpu = cpu_seconds(RUSAGE_CHILDREN);
            theirs_result = md5sum_digest(file);
            double theirs_wall = seconds_since(start), theirs_cpu = cpu_seconds(RUSAGE_CHILDREN) - cpu;
            ours.keep_best(ours_wall, ours_cpu);
            theirs.keep_best(theirs_wall, theirs_cpu);
            std::printf("round %d: md5_digest %.3f s (cpu %.3f s), md5sum %.3f s (cpu %.3f s)\n", round, ours_wall,
                        ours_cpu, theirs_wall, theirs_cpu);
        }
        double mib = static_cast<double>(mebibytes);
        std::printf("md5_digest %s  best %.3f s (%.0f MiB/s), cpu %.3f s\n", ours_result.c_str(), ours.wall,
                    mib / ours.wall, ours.cpu);
        std::printf("md5sum     %s  best %.3f s (%.0f MiB/s), cpu %.3f s\n", theirs_result.c_str(), theirs.wall,
                    mib / theirs.wall, theirs.cpu);
        double ratio = ours.wall / theirs.wall;
        std::printf("ratio      %.3f wall, %.3f cpu  (goal <= 1.10: %s)\n", ratio, ours.cpu / theirs.cpu,
                    ratio <= 1.10 ? "met" : "missed");
        if (ours_result != theirs_result) {
            std::printf("DIGESTS DIFFER\n");
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "md5_bench: " << e.what() << "\n";
        return 2;
    }
}
