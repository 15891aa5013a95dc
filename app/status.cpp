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
    if (!table) throw core::failure{core::failure_code::payload_unavailable};
    return textpatch::holds_table(region, *table);
}

const char* text_state() {
    const textpatch::region_reading reading = textpatch::read_text_region();
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
std::string digest_of(const std::filesystem::path& file) {
    std::optional<std::string> digest = integrity::digest_of_file(file);
    if (!digest) throw core::failure{core::failure_code::game_file_unavailable};
    return *digest;
}

const char* manual_state() {
    const std::filesystem::path archive = platform::game_path("TechnicalManual\\package.nw");
    const std::filesystem::path backup = platform::game_path("TechnicalManual\\package.nw.bak");
    std::error_code error;
    if (!std::filesystem::exists(archive, error)) return "未找到 TechnicalManual\\package.nw";
    if (digest_of(archive) == settings.manual_digest) return "英文原版";
    if (std::filesystem::exists(backup, error) && digest_of(backup) == settings.manual_digest) {
        return "已安装汉化，英文备份完好";
    }
    return "其他内容（可能是其他游戏版本，或英文备份缺失或已损坏）";
}

}  // namespace

void report_status(std::ostream& out) {
    // Both are found out before anything is printed: a file that cannot be
    // read gives the failure message alone.
    const char* text = text_state();
    const char* manual = manual_state();
    out << "游戏文本：" << text << "\n";
    out << "远征手册：" << manual << "\n";
}

}  // namespace app
