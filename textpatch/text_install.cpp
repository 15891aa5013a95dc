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

// Only a regular file is opened: a pipe would block the open and a device
// such as /dev/zero would never end the scan. The check follows links and
// never blocks.
void require_regular_file(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) fail(core::failure_code::game_file_unavailable);
}

// The region's bytes, read from an open asset file; nothing when they
// cannot all be read.
std::optional<std::string> read_region(std::ifstream& in, const text_region& region) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(region.start));
    std::string bytes(static_cast<std::size_t>(region.length), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
    return bytes;
}

}  // namespace

text_region locate_asset_region(std::ostream& out) {
    require_regular_file(asset_path());
    std::ifstream in(asset_path(), std::ios::binary);
    if (!in.is_open()) fail(core::failure_code::game_file_unavailable);
    std::optional<text_region> region = locate_text_region(in, out);
    if (!region) fail(core::failure_code::text_record_missing);
    return *region;
}

std::fstream open_asset_for_update() {
    require_regular_file(asset_path());
    // in|out opens an existing file only, and keeps its contents.
    std::fstream asset(asset_path(), std::ios::in | std::ios::out | std::ios::binary);
    if (!asset.is_open()) fail(core::failure_code::game_file_unavailable);
    return asset;
}

void write_text_region(std::fstream& asset, const text_region& region, std::string_view table) {
    // A table that does not fit would run over the bytes after the region:
    // the asset file is not the one the table was made for. A table that
    // holds the next record's name would end the region inside itself at
    // the next install, and no install could find it whole again.
    if (table.size() > region.length || table.find("French") != std::string_view::npos) {
        fail(core::failure_code::text_record_missing);
    }
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

region_reading read_text_region() {
    std::error_code error;
    if (!std::filesystem::exists(asset_path(), error)) return {region_search::no_asset, {}};
    require_regular_file(asset_path());
    std::ifstream in(asset_path(), std::ios::binary);
    if (!in.is_open()) fail(core::failure_code::game_file_unavailable);
    std::ostringstream quiet;
    const std::optional<text_region> region = locate_text_region(in, quiet);
    if (in.bad()) fail(core::failure_code::game_file_unavailable);
    if (!region) return {region_search::no_text_record, {}};
    std::optional<std::string> bytes = read_region(in, *region);
    if (!bytes) fail(core::failure_code::game_file_unavailable);
    return {region_search::found, std::move(*bytes)};
}

bool holds_table(std::string_view region, std::string_view table) {
    return region.size() >= table.size() && region.substr(0, table.size()) == table &&
           region.find_first_not_of('\0', table.size()) == std::string_view::npos;
}

void make_region_durable(const text_region& region, std::string_view table) {
    // On the disk before the run says it is done, and read back as written.
    if (!platform::flush_to_disk(asset_path())) fail(core::failure_code::game_file_unavailable);
    std::ifstream in(asset_path(), std::ios::binary);
    const std::optional<std::string> written = read_region(in, region);
    if (!written || !holds_table(*written, table)) {
        fail(core::failure_code::game_file_unavailable);
    }
}

void install_table(std::string_view table, std::ostream& out) {
    const text_region region = locate_asset_region(out);
    std::fstream asset = open_asset_for_update();
    write_text_region(asset, region, table);
    make_region_durable(region, table);
}

void install_developer_table(const std::filesystem::path& csv_path, std::ostream& out) {
    const text_region region = locate_asset_region(out);
    std::fstream asset = open_asset_for_update();

    // Binary: the converter takes a carriage return before a line feed as
    // part of the line end itself, the same on every platform.
    require_regular_file(csv_path);
    std::ifstream csv(csv_path, std::ios::binary);
    if (!csv.is_open()) fail(core::failure_code::game_file_unavailable);
    std::ostringstream converted;
    convert_developer_table(csv, converted);
    // A read that failed part way (a folder of that name, a device error)
    // would install a truncated table.
    if (csv.bad()) fail(core::failure_code::game_file_unavailable);

    const std::string table = converted.str();
    write_text_region(asset, region, table);
    make_region_durable(region, table);
}

}  // namespace textpatch
