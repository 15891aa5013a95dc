// The background tune, looped by a worker thread for as long as the run
// keeps the flag set.
#pragma once

#include "payload/payload.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What the worker takes from the system. The installer's worker uses the
// platform and the payloads; tests hand in devices and tunes of their own.
struct bgmsystem {
    std::function<std::optional<std::u16string>(std::u16string_view command, std::size_t replycapacity)> sendmci =
        platform::sendmci;
    std::function<std::optional<platform::nativestring>()> tempfolder = platform::tempfolder;
    std::function<bool(std::uint16_t id, std::filesystem::path path)> extractpayload = ::extractpayload;
};

// The worker's body: writes the tune into the temporary folder, opens it as
// the sequencer "bgm" and plays it, starting it again each time it has
// stopped at its end, until it sees playing false; then stops and closes the
// device and deletes the file. Without a temporary folder, or without the
// tune among the payloads, there is no music and it returns at once.
void bgmloop(std::atomic<bool>& playing);
void bgmloopwith(std::atomic<bool>& playing, const bgmsystem& system);

// The tune file's name inside the temporary folder.
inline constexpr char16_t bgmfilename[] = u"varnholt_chinese_bgm.tmp";
