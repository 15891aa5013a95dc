// The POSIX build's tune player: FluidSynth with a General MIDI sound font,
// both looked up when a tune is opened. The library is loaded at run time,
// never linked, so the installer runs the same where it is missing; then,
// or without a sound font or an audio output, the player stays silent and
// never reports an end.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// FluidSynth string settings ("audio.driver", "audio.file.name", ...) given
// to every synthesizer the player makes. None: the system's default output.
using synthesizer_settings = std::vector<std::pair<std::string, std::string>>;

std::unique_ptr<tune_player> make_synthesizer_tune_player(synthesizer_settings settings);

// Whether a tune can be heard here: the library loads and a General MIDI
// sound font stands in one of the usual places.
bool synthesizer_available();

// The General MIDI sound font the player uses, if one is installed.
std::optional<std::string> sound_font();

}  // namespace platform
