#include "app/status.h"

#include "app/settings.h"
#include "core/failure.h"
#include "integrity/md5.h"
#include "payload/payload.h"
#include "platform/platform.h"
#include "textpatch/text_install.h"

namespace app {

namespace {

bool region_holds_payload(std::string_view region, payload::payload_id id) {
    const std::optional<std::string_view> table = payload::bytes_of(id);
    if (!table) core::fail(core::failure_code::payload_unavailable);
    return textpatch::holds_table(region, *table);
}

const char* text_state(platform::file_system& files) {
    const textpatch::region_reading reading = textpatch::read_text_region(files);
    switch (reading.result) {
    case textpatch::region_search::no_asset: return "未找到游戏文件 Data\\sharedassets0.assets";
    case textpatch::region_search::no_text_record: return "未找到文本段（可能是游戏版本不同或游戏文件已损坏）";
    case textpatch::region_search::found: break;
    }
    if (region_holds_payload(reading.bytes, payload::payload_id::chinese_table)) return "已安装汉化";
    if (region_holds_payload(reading.bytes, payload::payload_id::english_table)) return "英文原版";
    return "其他内容（可能是其他游戏版本或其他汉化）";
}

// The digest of a file that is there; a file that cannot be read ends the
// report.
std::string digest_of(platform::file_system& files, const std::filesystem::path& file) {
    const platform::io_result<std::string> digest = integrity::digest_of_file(files, file);
    if (!digest) core::fail(core::failure_code::game_file_unavailable, platform::describe(digest.error()));
    return *digest;
}

// Whether something stands at the name; a name that cannot be looked at
// ends the report.
bool present(platform::file_system& files, const std::filesystem::path& path) {
    const platform::io_result<platform::entry_kind> kind = files.inspect(path);
    if (!kind) core::fail(core::failure_code::game_file_unavailable, platform::describe(kind.error()));
    return *kind != platform::entry_kind::absent;
}

const char* manual_state(platform::file_system& files) {
    const std::filesystem::path archive = platform::game_path("TechnicalManual\\package.nw");
    const std::filesystem::path backup = platform::game_path("TechnicalManual\\package.nw.bak");
    if (!present(files, archive)) return "未找到 TechnicalManual\\package.nw";
    if (digest_of(files, archive) == settings.manual_digest) return "英文原版";
    if (present(files, backup) && digest_of(files, backup) == settings.manual_digest) {
        return "已安装汉化，英文备份完好";
    }
    return "其他内容（可能是其他游戏版本，或英文备份缺失或已损坏）";
}

}  // namespace

void report_status(platform::file_system& files, std::ostream& out) {
    // Both are found out before anything is printed: a file that cannot be
    // read gives the failure message alone.
    const char* text = text_state(files);
    const char* manual = manual_state(files);
    out << "游戏文本：" << text << "\n";
    out << "远征手册：" << manual << "\n";
}

}  // namespace app
