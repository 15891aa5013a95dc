#include "core/failure.h"
#include "manual/manual.h"
#include "manual/working_files.h"
#include "payload/payload.h"
#include "platform/platform.h"

namespace manual {

namespace {

namespace fs = std::filesystem;
using core::failure_code;
using payload::payload_id;

fs::path in_game(std::string_view windows_path) { return platform::game_path(windows_path); }

[[noreturn]] void fail(failure_code code, const platform::io_error& error) {
    core::fail(code, platform::describe(error));
}

// The archive is replaced by the archiver's update. A program that holds it
// open could keep the new one from taking its place after the old one is
// gone, so it must be free before anything is done.
void require_archive_unshared(platform::file_system& files) {
    const platform::io_status free = files.check_unshared(in_game(archive_name));
    if (!free) fail(failure_code::game_file_unavailable, free.error());
}

// Writes one payload as a new file; a payload missing from the executable
// ends the install at once.
platform::io_status write_payload(platform::file_system& files, payload_id id, const char* name, bool program = false) {
    const std::optional<std::string_view> bytes = payload::bytes_of(id);
    if (!bytes) core::fail(failure_code::payload_unavailable);
    return files.create_file(in_game(name), *bytes, program);
}

// Writes the archiver's three files; the first that cannot be written.
platform::io_status write_archiver(platform::file_system& files) {
    platform::io_status written = write_payload(files, payload_id::archiver_library, "7za.dll");
    if (written) written = write_payload(files, payload_id::archiver_program, archiver_program, true);
    if (written) written = write_payload(files, payload_id::archiver_extractor, "7zxa.dll");
    return written;
}

void provide_pages(platform::file_system& files, bool developer_mode, const platform::io_status& archiver) {
    if (!developer_mode) {
        if (!archiver) fail(failure_code::copy_failed, archiver.error());
        const platform::io_status pages = write_payload(files, payload_id::page_archive, pages_name);
        if (!pages) fail(failure_code::copy_failed, pages.error());
        return;
    }
    // A missing, unreadable or special developer archive (a pipe would
    // block the copy) is refused by the copy itself.
    const platform::io_status pages = files.copy_file(in_game("zelttest\\book.zip"), in_game(pages_name));
    if (!pages) fail(failure_code::copy_failed, pages.error());
    if (!archiver) fail(failure_code::copy_failed, archiver.error());
}

// Whether the backup at hand may be replaced: only a backup that is not the
// English original, and only by a copy of an archive that is.
bool backup_is_wanted(platform::file_system& files, const install_options& options, const fs::path& archive,
                      const fs::path& backup) {
    const platform::io_result<platform::entry_kind> kind = files.inspect(backup);
    if (!kind) fail(failure_code::copy_failed, kind.error());
    if (*kind == platform::entry_kind::absent) return true;
    return options.is_english_original && options.is_english_original(archive) && !options.is_english_original(backup);
}

// The archive must not change unless a complete copy of it is kept. The
// copy is written under a temporary name, flushed and renamed into place,
// so a backup is either absent or complete.
void back_up_archive(platform::file_system& files, const install_options& options) {
    const fs::path archive = in_game(archive_name);
    const fs::path backup = in_game(backup_name);
    const fs::path partial = in_game(partial_backup_name);
    const platform::io_result<platform::entry_kind> kind = files.inspect(archive);
    if (!kind) fail(failure_code::game_file_unavailable, kind.error());
    if (*kind == platform::entry_kind::absent) return;  // nothing to keep, nothing will be lost
    if (*kind == platform::entry_kind::folder || *kind == platform::entry_kind::other) {
        core::fail(failure_code::game_file_unavailable,
                   platform::describe({platform::operation::copy, archive, platform::error_kind::not_regular}));
    }
    if (!backup_is_wanted(files, options, archive, backup)) return;

    platform::io_status copied = files.copy_file(archive, partial);
    if (copied) copied = files.flush(partial);
    if (copied) copied = files.replace_file(partial, backup);
    if (!copied) {
        // What is left of the copy is cleared by the next install.
        (void)files.remove_file(partial);
        fail(failure_code::copy_failed, copied.error());
    }
}

// One archiver run; a run that cannot start, or that fails, ends the
// install after the working files are gone. Nothing was changed for
// certain by a failed extraction; a failed update may have left the
// archive as it was or changed, which the backup covers.
void run_archiver(platform::file_system& files, platform::process_runner& processes, platform::process_request request,
                  std::ostream& out, bool cleaning_line) {
    request.program = archiver_program;
    request.error_log = in_game(log_name);
    const platform::io_result<int> status = processes.run(request);
    if (cleaning_line) out << "正在清理临时文件...\n" << std::flush;
    if (status && *status == 0) return;
    if (!cleaning_line) out << "正在清理临时文件...\n" << std::flush;
    clear_working_files(files, log_handling::keep);
    if (!status) fail(failure_code::archiver_reported, status.error());
    core::fail(failure_code::archiver_reported);
}

void judge_log(platform::file_system& files) {
    platform::io_result<std::unique_ptr<platform::readable_file>> log = files.open_for_reading(in_game(log_name));
    if (!log) fail(failure_code::log_unreadable, log.error());
    char first;
    const platform::io_result<std::size_t> got = (*log)->read(&first, 1);
    if (!got) fail(failure_code::log_unreadable, got.error());
    if (*got != 0) core::fail(failure_code::archiver_reported);
}

}  // namespace

void install(platform::file_system& files, platform::process_runner& processes, const install_options& options,
             std::ostream& out) {
    // What an earlier run left behind goes first, so that no old file or
    // log decides this run.
    clear_working_files(files, log_handling::remove);
    require_archive_unshared(files);
    out << "开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n";
    out << "正在释放汉化所需临时文件...\n";
    const platform::io_status archiver = write_archiver(files);
    provide_pages(files, options.developer_mode, archiver);
    out << "正在解压中文汉化数据...\n" << std::flush;
    platform::process_request extract;
    // The archiver takes the names as its command line always had them:
    // with the leading ".\" that makes it store the pages as book\..., not
    // as temp\book\....
    extract.arguments = {"x", in_game(".\\book.zip").string(), "-o" + in_game(".\\temp").string(), "-aoa"};
    run_archiver(files, processes, extract, out, false);
    out << "正在备份英文文件...\n" << std::flush;
    back_up_archive(files, options);
    out << "正在安装汉化文件...\n" << std::flush;
    platform::process_request update;
    update.arguments = {"a", in_game(".\\TechnicalManual\\package.nw").string(), in_game(".\\temp\\*").string()};
    update.show_output = options.developer_mode;
    run_archiver(files, processes, update, out, true);
    clear_working_files(files, log_handling::keep);
    // The updated archive is on the disk before the run says it is done.
    const platform::io_result<platform::entry_kind> archive = files.inspect(in_game(archive_name));
    if (!archive) fail(failure_code::game_file_unavailable, archive.error());
    if (*archive != platform::entry_kind::absent) {
        platform::io_status flushed = files.flush(in_game(archive_name));
        if (flushed) flushed = files.flush(in_game("TechnicalManual"));
        if (!flushed) fail(failure_code::game_file_unavailable, flushed.error());
    }
    judge_log(files);
}

}  // namespace manual
