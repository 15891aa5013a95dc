#include "core/failure.h"
#include "manual/file_helpers.h"
#include "manual/manual.h"
#include "manual/working_files.h"
#include "payload/payload.h"

#include <fstream>

namespace manual {

namespace {

namespace fs = std::filesystem;
using core::failure_code;
using payload::payload_id;

[[noreturn]] void fail(failure_code code) { throw core::failure{code}; }

fs::path in_game(std::string_view windows_path) { return platform::game_path(windows_path); }

// What an earlier run left behind goes first, so that no old file or log
// decides this run. An empty folder temp is refused once and is gone after.
void clear_leftovers() {
    for (const char* name : archiver_files) {
        if (!delete_file_if_present(in_game(name))) fail(failure_code::delete_failed);
    }
    if (!delete_file_if_present(in_game("book.zip"))) fail(failure_code::delete_failed);
    if (!delete_file_if_present(in_game("zelt.log"))) fail(failure_code::delete_failed);
    if (!delete_tree_if_present(in_game("temp"))) fail(failure_code::delete_failed);
    if (!delete_file_if_present(in_game(partial_backup_name))) fail(failure_code::delete_failed);
    if (!delete_file_if_present(in_game(archiver_partial_name))) fail(failure_code::delete_failed);
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
    // A missing, unreadable or special developer archive (a pipe would
    // block the copy).
    std::error_code error;
    const fs::path pages = in_game("zelttest\\book.zip");
    if (!fs::is_regular_file(pages, error)) fail(failure_code::copy_failed);
    fs::copy_file(pages, in_game("book.zip"), fs::copy_options::overwrite_existing, error);
    if (error) fail(failure_code::copy_failed);
    if (!archiver_written) fail(failure_code::copy_failed);
}

// Whether the backup at hand may be replaced: only a backup that is not the
// English original, and only by a copy of an archive that is.
bool backup_is_wanted(const install_options& options, const fs::path& archive, const fs::path& backup) {
    if (!entry_exists(backup)) return true;
    return options.is_english_original && options.is_english_original(archive) && !options.is_english_original(backup);
}

// The archive must not change unless a complete copy of it is kept. The
// copy is written under a temporary name, flushed, checked and renamed into
// place, so a backup is either absent or complete.
void back_up_archive(const install_options& options) {
    const fs::path archive = in_game(archive_name);
    const fs::path backup = in_game(backup_name);
    const fs::path partial = in_game(partial_backup_name);
    if (!entry_exists(archive)) return;  // nothing to keep, nothing will be lost
    std::error_code error;
    if (!fs::is_regular_file(archive, error)) fail(failure_code::game_file_unavailable);
    if (!backup_is_wanted(options, archive, backup)) return;

    const std::uintmax_t size = fs::file_size(archive, error);
    // Each call clears error when it succeeds, so the last one tells.
    const bool complete = !error && fs::copy_file(archive, partial, fs::copy_options::overwrite_existing, error) &&
                          fs::file_size(partial, error) == size && !error && platform::flush_to_disk(partial) &&
                          platform::replace_file(partial, backup);
    if (!complete) {
        fs::remove(partial, error);
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

// After an archiver run that failed, what is there of the working files
// goes; the folder temp may never have been made.
void clean_up_after_failure() {
    if (!clear_working_files()) fail(failure_code::delete_failed);
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
    const bool archiver_written = write_archiver();
    provide_pages(options.developer_mode, archiver_written);
    out << "正在解压中文汉化数据...\n" << std::flush;
    if (options.run_archiver(platform::archiver_step::extract) != 0) {
        // Nothing was unpacked for certain: the archive stays as it is.
        out << "正在清理临时文件...\n" << std::flush;
        clean_up_after_failure();
        fail(failure_code::archiver_reported);
    }
    out << "正在备份英文文件...\n" << std::flush;
    back_up_archive(options);
    out << "正在安装汉化文件...\n" << std::flush;
    const int update_status = options.run_archiver(options.developer_mode ? platform::archiver_step::update_shown
                                                                          : platform::archiver_step::update);
    out << "正在清理临时文件...\n" << std::flush;
    if (update_status != 0) {
        clean_up_after_failure();
        fail(failure_code::archiver_reported);
    }
    clean_up();
    // The updated archive is on the disk before the run says it is done.
    if (entry_exists(in_game(archive_name)) &&
        (!platform::flush_to_disk(in_game(archive_name)) || !platform::flush_to_disk(in_game("TechnicalManual")))) {
        fail(failure_code::game_file_unavailable);
    }
    judge_log();
}

}  // namespace manual
