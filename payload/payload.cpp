#include "payload/payload.h"

#include "app/failure.h"
#include "platform/platform.h"

#include <fstream>

void payloadtype::load(std::uint16_t id) {
    info = platform::findresource(id);
    if (info == nullptr) throw errortype{1};
    size = platform::sizeofresource(info);
    if (size == 0) throw errortype{1};
    handle = platform::loadresource(info);
    if (handle == nullptr) throw errortype{1};
    data = static_cast<const unsigned char*>(platform::lockresource(handle));
    if (data == nullptr) throw errortype{1};
}

void payloadtype::release() {
    if (data == nullptr) return;
    platform::freeresource(handle);
    size = 0;
    handle = nullptr;
    data = nullptr;
}

bool extractpayload(std::uint16_t id, std::filesystem::path path) {
    payloadtype payload;
    payload.load(id);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out.write(reinterpret_cast<const char*>(payload.data), payload.size);
    out.close();
    // A full disk or a device error shows only in the write or the close.
    return !out.fail();
}
