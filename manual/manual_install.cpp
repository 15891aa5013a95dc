#include "core/failure.h"
#include "manual/file_helpers.h"
#include "manual/manual.h"
#include "payload/payload.h"

#include <fstream>

namespace manual {

namespace {

namespace fs = std::filesystem;
using core::failure_code;
using payload::payload_id;

[[noreturn]] void fail(failure_code code) { throw core::failure{code}; }

fs::path in_game(std::string_view windows_path) { return platform::game_path(windows_path); }

const char* const archiver_files[] = {"7za.dll", "7zxa.dll", "7za.exe"};

void clear_leftovers() {
    for (const char* name : archiver_files) {
        if (!delete_file_if_present(in_game(name))) fail(failure_code::delete_failed);
    }
    if (!delete_file_if_present(in_game("book.zip"))) fail(failure_code::delete_failed);
    if (!delete_file_if_present(in_game("zelt.log"))) fail(failure_code::delete_failed);
    if (!delete_tree_if_present(in_game("temp"))) fail(failure_code::delete_failed);
}

// Writes one payload; a payload missing from the executable ends the
// install at once, a file that cannot be written answers false.
bool write_payload(payload_id id, const char* name) {
    switch (payload::write_file(id, in_game(name))) {
    case payload::write_result::written: return true;
    case payload::write_result::payload_unavailable: fail(failure_code::payload_unavailable);
    case payload::write_result::file_not_written: return false;
    }
    return false;
}

// Writes the archiver's three files; false as soon as one cannot be written.
bool write_archiver() {
    if (!write_payload(payload_id::archiver_library, "7za.dll")) return false;
    if (!write_payload(payload_id::archiver_program, "7za.exe")) return false;
    if (!write_payload(payload_id::archiver_extractor, "7zxa.dll")) return false;
    platform::allow_execution(in_game("7za.exe"));
    return true;
}

void provide_pages(bool developer_mode, bool archiver_written) {
    if (!developer_mode) {
        if (!archiver_written) fail(failure_code::copy_failed);
        if (!write_payload(payload_id::page_archive, "book.zip")) fail(failure_code::copy_failed);
        return;
    }
    std::error_code error;
    fs::copy_file(in_game("zelttest\\book.zip"), in_game("book.zip"), fs::copy_options::overwrite_existing, error);
    if (error) fail(failure_code::copy_failed);  // a missing or unreadable developer archive
    if (!archiver_written) fail(failure_code::copy_failed);
}

// The archive must not change unless a complete copy of it is kept. A
// backup from an earlier install is the English original and stays as is.
void back_up_archive() {
    const fs::path archive = in_game("TechnicalManual\\package.nw");
    const fs::path copy = in_game("TechnicalManual\\package.nw.bak");
    if (entry_exists(copy) || !entry_exists(archive)) return;
    std::error_code error;
    const std::uintmax_t size = fs::file_size(archive, error);
    // Each call clears error when it succeeds, so the last one tells.
    const bool complete = !error && fs::copy_file(archive, copy, fs::copy_options::none, error) &&
                          fs::file_size(copy, error) == size && !error;
    if (!complete) {
        fs::remove(copy, error);
        fail(failure_code::copy_failed);
    }
}

void clean_up() {
    for (const char* name : archiver_files) {
        if (!delete_file(in_game(name))) fail(failure_code::delete_failed);
    }
    if (!delete_file(in_game("book.zip"))) fail(failure_code::delete_failed);
    if (delete_tree_counting_files(in_game("temp")) == 0) fail(failure_code::delete_failed);
}

void judge_log() {
    std::ifstream log(in_game("zelt.log"));
    if (log.fail()) fail(failure_code::log_unreadable);
    if (log.peek() != std::ifstream::traits_type::eof()) fail(failure_code::archiver_reported);
}

}  // namespace

void install(const install_options& options, std::ostream& out) {
    clear_leftovers();
    out << "开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n";
    out << "正在释放汉化所需临时文件...\n";
    bool archiver_written = write_archiver();
    provide_pages(options.developer_mode, archiver_written);
    out << "正在解压中文汉化数据...\n" << std::flush;
    options.run_archiver(platform::archiver_step::extract);
    out << "正在备份英文文件...\n" << std::flush;
    back_up_archive();
    out << "正在安装汉化文件...\n" << std::flush;
    options.run_archiver(options.developer_mode ? platform::archiver_step::update_shown
                                                : platform::archiver_step::update);
    out << "正在清理临时文件...\n" << std::flush;
    clean_up();
    judge_log();
}

}  // namespace manual
