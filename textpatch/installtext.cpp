#include "textpatch/installtext.h"

#include "app/failure.h"
#include "payload/payload.h"
#include "platform/platform.h"
#include "textpatch/locator.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t fillblocksize = 2000000;

std::filesystem::path assetpath() { return platform::localpath("Data\\sharedassets0.assets"); }

}  // namespace

void locateasset(std::ostream& out) {
    std::ifstream in(assetpath(), std::ios::binary);
    if (!in.is_open()) throw errortype{2};
    locatetextfield(in, out);
}

std::fstream openassetforupdate() {
    // in|out opens an existing file only, and keeps its contents.
    std::fstream asset(assetpath(), std::ios::in | std::ios::out | std::ios::binary);
    if (!asset.is_open()) throw errortype{2};
    return asset;
}

void writetextregion(std::fstream& asset, const unsigned char* data, std::uint64_t size) {
    // A table that does not fit would run over the bytes after the region:
    // the asset file is not the one the table was made for.
    if (textfieldlength < 0 || size > static_cast<std::uint64_t>(textfieldlength)) throw errortype{9};
    const std::uint64_t fill = static_cast<std::uint64_t>(textfieldlength) - size;

    asset.seekp(static_cast<std::streamoff>(textfieldstart));
    if (asset.fail()) throw errortype{2};
    asset.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (asset.fail()) throw errortype{2};

    // The rest of the region becomes zero bytes, in pieces of one block.
    const std::vector<char> zeros(fillblocksize, '\0');
    for (std::uint64_t left = fill; left > 0;) {
        const std::uint64_t piece = std::min<std::uint64_t>(left, zeros.size());
        asset.write(zeros.data(), static_cast<std::streamsize>(piece));
        if (asset.fail()) throw errortype{2};
        left -= piece;
    }

    // The close flushes the last buffered bytes: a full disk may show only here.
    asset.close();
    if (asset.fail()) throw errortype{2};
}

void installtable(const unsigned char* data, std::uint64_t size, std::ostream& out) {
    locateasset(out);
    std::fstream asset = openassetforupdate();
    writetextregion(asset, data, size);
}

void installtext(const payloadtype& payload, std::ostream& out) {
    installtable(payload.data, payload.size, out);
}
