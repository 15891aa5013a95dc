#include "textpatch/text_install.h"

#include "core/failure.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "textpatch/table_conversion.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

namespace textpatch {

namespace {

constexpr std::size_t fill_block_size = 2000000;

std::filesystem::path asset_path() { return platform::game_path("Data\\sharedassets0.assets"); }

[[noreturn]] void fail(core::failure_code code, const platform::io_error& error) {
    core::fail(code, platform::describe(error));
}

void require(const platform::io_status& status) {
    if (!status) fail(core::failure_code::game_file_unavailable, status.error());
}

// Only a regular file is opened: a pipe would block the open and a device
// such as /dev/zero would never end the scan.
std::unique_ptr<platform::readable_file> open_for_reading(platform::file_system& files,
                                                          const std::filesystem::path& path) {
    platform::io_result<std::unique_ptr<platform::readable_file>> file = files.open_for_reading(path);
    if (!file) fail(core::failure_code::game_file_unavailable, file.error());
    return std::move(*file);
}

// The region's bytes, read from an open asset file.
std::string read_region(platform::readable_file& file, const text_region& region) {
    require(file.seek(region.start));
    std::string bytes(static_cast<std::size_t>(region.length), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const platform::io_result<std::size_t> got = file.read(bytes.data() + done, bytes.size() - done);
        require(got.status());
        if (*got == 0) break;
        done += *got;
    }
    // A file that ends inside the region does not hold it.
    bytes.resize(done);
    return bytes;
}

// Scans an open asset file; a read that fails part way is the file's
// failure, not a missing record.
std::optional<text_region> scan(platform::readable_file& file, std::ostream& out) {
    platform::file_input in(file);
    std::optional<text_region> region = locate_text_region(in, out);
    if (in.error()) fail(core::failure_code::game_file_unavailable, *in.error());
    return region;
}

}  // namespace

text_region locate_asset_region(platform::file_system& files, std::ostream& out) {
    const std::unique_ptr<platform::readable_file> file = open_for_reading(files, asset_path());
    std::optional<text_region> region = scan(*file, out);
    if (!region) core::fail(core::failure_code::text_record_missing);
    return *region;
}

std::unique_ptr<platform::updatable_file> open_asset_for_update(platform::file_system& files) {
    platform::io_result<std::unique_ptr<platform::updatable_file>> asset = files.open_for_update(asset_path());
    if (!asset) fail(core::failure_code::game_file_unavailable, asset.error());
    return std::move(*asset);
}

void write_text_region(platform::updatable_file& asset, const text_region& region, std::string_view table) {
    // A table that does not fit would run over the bytes after the region:
    // the asset file is not the one the table was made for. A table that
    // holds the next record's name would end the region inside itself at
    // the next install, and no install could find it whole again.
    if (table.size() > region.length || table.find("French") != std::string_view::npos) {
        core::fail(core::failure_code::text_record_missing);
    }
    const std::uint64_t fill = region.length - table.size();

    require(asset.seek(region.start));
    require(asset.write(table.data(), table.size()));
    // The rest of the region becomes zero bytes, in pieces of one block.
    const std::vector<char> zeros(fill_block_size, '\0');
    for (std::uint64_t left = fill; left > 0;) {
        const std::uint64_t piece = std::min<std::uint64_t>(left, zeros.size());
        require(asset.write(zeros.data(), static_cast<std::size_t>(piece)));
        left -= piece;
    }
    // On the disk before the run says it is done; a full disk may show only
    // in the flush or the close.
    require(asset.flush());
    require(asset.close());
}

region_reading read_text_region(platform::file_system& files) {
    const platform::io_result<platform::entry_kind> kind = files.inspect(asset_path());
    if (!kind) fail(core::failure_code::game_file_unavailable, kind.error());
    if (*kind == platform::entry_kind::absent) return {region_search::no_asset, {}};
    const std::unique_ptr<platform::readable_file> file = open_for_reading(files, asset_path());
    std::ostringstream quiet;
    const std::optional<text_region> region = scan(*file, quiet);
    if (!region) return {region_search::no_text_record, {}};
    std::string bytes = read_region(*file, *region);
    if (bytes.size() != region->length) {
        core::fail(core::failure_code::game_file_unavailable,
                   platform::describe({platform::operation::read, asset_path(), platform::error_kind::io_error}));
    }
    return {region_search::found, std::move(bytes)};
}

bool holds_table(std::string_view region, std::string_view table) {
    return region.size() >= table.size() && region.substr(0, table.size()) == table &&
           region.find_first_not_of('\0', table.size()) == std::string_view::npos;
}

namespace {

// Read back as written before the run says it is done.
void check_written(platform::file_system& files, const text_region& region, std::string_view table) {
    const std::unique_ptr<platform::readable_file> file = open_for_reading(files, asset_path());
    const std::string written = read_region(*file, region);
    if (written.size() != region.length || !holds_table(written, table)) {
        core::fail(core::failure_code::game_file_unavailable);
    }
}

}  // namespace

void install_table(platform::file_system& files, std::string_view table, std::ostream& out) {
    const text_region region = locate_asset_region(files, out);
    const std::unique_ptr<platform::updatable_file> asset = open_asset_for_update(files);
    write_text_region(*asset, region, table);
    check_written(files, region, table);
}

void install_developer_table(platform::file_system& files, const std::filesystem::path& csv_path, std::ostream& out) {
    const text_region region = locate_asset_region(files, out);
    const std::unique_ptr<platform::updatable_file> asset = open_asset_for_update(files);

    const std::unique_ptr<platform::readable_file> csv_file = open_for_reading(files, csv_path);
    platform::file_input csv(*csv_file);
    std::ostringstream converted;
    convert_developer_table(csv, converted);
    // A read that failed part way (a device error) would install a
    // truncated table.
    if (csv.error()) fail(core::failure_code::game_file_unavailable, *csv.error());

    const std::string table = converted.str();
    write_text_region(*asset, region, table);
    check_written(files, region, table);
}

}  // namespace textpatch
