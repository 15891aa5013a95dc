#include "app/functions.h"

#include "app/settings.h"
#include "core/failure.h"
#include "integrity/gate.h"
#include "integrity/md5.h"
#include "manual/manual.h"
#include "payload/payload.h"
#include "platform/platform.h"
#include "textpatch/text_install.h"

namespace app {

namespace {

constexpr char install_question[] =
    "远征手册文件MD5校验失败，这可能是由于游戏版本不同，或是已经安装了汉化包引起的。"
    "强行安装可能破环游戏文件，是否继续安装？（Y/N）:";
constexpr char restore_question[] =
    "远征手册英文备份文件MD5校验失败，这可能是由于游戏版本不同，或是备份文件损坏造成的。"
    "强行卸载汉化可能破环游戏文件，是否继续卸载？（Y/N）:";

void install_packaged_table(platform::file_system& files, payload::payload_id id, std::ostream& out) {
    std::optional<std::string_view> table = payload::bytes_of(id);
    if (!table) core::fail(core::failure_code::payload_unavailable);
    textpatch::install_table(files, *table, out);
}

// Developer mode trusts the translators' own files: nothing is checked.
bool allowed_by_gate(const char* windows_path, const char* question, const function_context& context) {
    if (context.developer_mode) return true;
    std::optional<integrity::decision> given;
    if (context.go_on) given = *context.go_on ? integrity::decision::go_on : integrity::decision::declined;
    return integrity::check_file(context.files, platform::game_path(windows_path), settings.manual_digest, question,
                                 context.in, context.out, given) == integrity::decision::go_on;
}

manual::install_options manual_install_options(platform::file_system& files, bool developer_mode) {
    manual::install_options options;
    options.developer_mode = developer_mode;
    options.is_english_original = [&files](const std::filesystem::path& file) {
        const platform::io_result<std::string> digest = integrity::digest_of_file(files, file);
        return digest && *digest == settings.manual_digest;
    };
    return options;
}

}  // namespace

function_outcome run_function(installer_function function, const function_context& context) {
    // One installer at a time in a game folder: a second one would write
    // the same files at the same moment.
    const platform::io_result<std::unique_ptr<platform::folder_lock>> lock = context.files.lock_folder(".");
    if (!lock) core::fail(core::failure_code::game_file_unavailable, platform::describe(lock.error()));
    switch (function) {
    case installer_function::install_text:
        if (context.developer_mode) {
            textpatch::install_developer_table(context.files, platform::game_path("zelttest\\English.csv"),
                                               context.out);
        } else {
            install_packaged_table(context.files, payload::payload_id::chinese_table, context.out);
        }
        break;
    case installer_function::restore_text:
        install_packaged_table(context.files, payload::payload_id::english_table, context.out);
        break;
    case installer_function::install_manual:
        if (!allowed_by_gate("TechnicalManual\\package.nw", install_question, context)) {
            return function_outcome::declined;
        }
        manual::install(context.files, context.processes, manual_install_options(context.files, context.developer_mode),
                        context.out);
        break;
    case installer_function::restore_manual:
        if (!allowed_by_gate("TechnicalManual\\package.nw.bak", restore_question, context)) {
            return function_outcome::declined;
        }
        manual::restore(context.files);
        break;
    }
    return function_outcome::completed;
}

}  // namespace app
