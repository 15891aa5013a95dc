// The multimedia device of the POSIX build. It understands the command
// strings the installer sends to a MIDI sequencer ("open ... type sequencer
// alias NAME", "seek NAME to start", "play NAME", "status NAME mode",
// "stop NAME", "close NAME") and plays the file through FluidSynth with a
// General MIDI sound font, both looked up when a file is opened. Without the
// library, a sound font or an audio output it stays silent but answers as if
// it played: "status" says "playing" until the tune is stopped.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::mci {

// FluidSynth string settings ("audio.driver", "audio.file.name", ...) that a
// device applies to every synthesizer it makes. None: the system's default
// audio output.
using settinglist = std::vector<std::pair<std::string, std::string>>;

class device {
public:
    explicit device(settinglist settings = {});
    ~device();
    device(const device&) = delete;
    device& operator=(const device&) = delete;

    // One command string. Nothing when the command is refused (unknown
    // command or alias, a file that is no MIDI file, ...); otherwise the
    // reply cut to replycapacity - 1 characters, empty for replycapacity 0.
    std::optional<std::u16string> send(std::u16string_view command, std::size_t replycapacity);

private:
    struct sequencer;
    std::optional<std::u16string> execute(const std::vector<std::string>& words);

    settinglist settings;
    std::mutex lock;
    std::map<std::string, std::unique_ptr<sequencer>> aliases;
};

// The device behind platform::sendmci, made on first use and kept until the
// process ends.
std::optional<std::u16string> send(std::u16string_view command, std::size_t replycapacity);

// Whether a tune can be heard here: the synthesizer library loads and a
// General MIDI sound font stands in one of the usual places.
bool synthesizerfound();

// UTF-16 as UTF-8 bytes; lone surrogates U+DC80 to U+DCFF stand for bytes
// that were not UTF-8 in the file name they came from.
std::string bytesof(std::u16string_view text);
std::optional<std::string> soundfont();

}  // namespace platform::mci
