#include "textpatch/text_install.h"

#include "core/failure.h"
#include "platform/platform.h"
#include "textpatch/table_conversion.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace textpatch {

namespace {

constexpr std::size_t fill_block_size = 2000000;

std::filesystem::path asset_path() { return platform::game_path("Data\\sharedassets0.assets"); }

[[noreturn]] void fail(core::failure_code code) { throw core::failure{code}; }

}  // namespace

text_region locate_asset_region(std::ostream& out) {
    std::ifstream in(asset_path(), std::ios::binary);
    if (!in.is_open()) fail(core::failure_code::game_file_unavailable);
    std::optional<text_region> region = locate_text_region(in, out);
    if (!region) fail(core::failure_code::text_record_missing);
    return *region;
}

std::fstream open_asset_for_update() {
    // in|out opens an existing file only, and keeps its contents.
    std::fstream asset(asset_path(), std::ios::in | std::ios::out | std::ios::binary);
    if (!asset.is_open()) fail(core::failure_code::game_file_unavailable);
    return asset;
}

void write_text_region(std::fstream& asset, const text_region& region, std::string_view table) {
    // A table that does not fit would run over the bytes after the region:
    // the asset file is not the one the table was made for.
    if (table.size() > region.length) fail(core::failure_code::text_record_missing);
    const std::uint64_t fill = region.length - table.size();

    asset.seekp(static_cast<std::streamoff>(region.start));
    if (asset.fail()) fail(core::failure_code::game_file_unavailable);
    asset.write(table.data(), static_cast<std::streamsize>(table.size()));
    if (asset.fail()) fail(core::failure_code::game_file_unavailable);

    // The rest of the region becomes zero bytes, in pieces of one block.
    const std::vector<char> zeros(fill_block_size, '\0');
    for (std::uint64_t left = fill; left > 0;) {
        const std::uint64_t piece = std::min<std::uint64_t>(left, zeros.size());
        asset.write(zeros.data(), static_cast<std::streamsize>(piece));
        if (asset.fail()) fail(core::failure_code::game_file_unavailable);
        left -= piece;
    }

    // The close flushes the last buffered bytes: a full disk may show only here.
    asset.close();
    if (asset.fail()) fail(core::failure_code::game_file_unavailable);
}

void install_table(std::string_view table, std::ostream& out) {
    const text_region region = locate_asset_region(out);
    std::fstream asset = open_asset_for_update();
    write_text_region(asset, region, table);
}

void install_developer_table(const std::filesystem::path& csv_path, std::ostream& out) {
    const text_region region = locate_asset_region(out);
    std::fstream asset = open_asset_for_update();

    // Binary: the converter takes a carriage return before a line feed as
    // part of the line end itself, the same on every platform.
    std::ifstream csv(csv_path, std::ios::binary);
    if (!csv.is_open()) fail(core::failure_code::game_file_unavailable);
    std::ostringstream converted;
    convert_developer_table(csv, converted);
    // A read that failed part way (a folder of that name, a device error)
    // would install a truncated table.
    if (csv.bad()) fail(core::failure_code::game_file_unavailable);

    write_text_region(asset, region, converted.str());
}

}  // namespace textpatch
