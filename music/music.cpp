#include "music/music.h"

#include "app/failure.h"

#include <system_error>

namespace {

using platform::nativestring;

// The worker's own state, alive for as long as the worker runs.
struct bgmworker {
    const bgmsystem& system;
    nativestring tempfolder;
};

nativestring tunefile(const nativestring& folder) {
    nativestring path = folder;
    path += platform::separator;
    for (const char16_t* c = bgmfilename; *c != u'\0'; ++c) path += static_cast<nativestring::value_type>(*c);
    return path;
}

// How many bytes the UTF-8 sequence starting with lead has; 0 when lead
// starts none.
std::size_t sequencelength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead < 0xE0) return 2;
    if (lead >= 0xE0 && lead < 0xF0) return 3;
    if (lead >= 0xF0 && lead < 0xF5) return 4;
    return 0;
}

// A file name as command text. Windows names are UTF-16 already; POSIX
// names are UTF-8 bytes, and a byte that is not part of UTF-8 travels as a
// lone surrogate U+DC80 to U+DCFF, which the POSIX device turns back.
std::u16string commandtext(const nativestring& name) {
    if constexpr (sizeof(nativestring::value_type) == sizeof(char16_t)) {
        return std::u16string(name.begin(), name.end());
    } else {
        static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        std::u16string out;
        std::size_t i = 0;
        while (i < name.size()) {
            auto lead = static_cast<unsigned char>(name[i]);
            std::size_t length = sequencelength(lead);
            bool valid = length != 0 && i + length <= name.size();
            char32_t c = length <= 1 ? lead : lead & (0x7F >> length);
            for (std::size_t k = 1; valid && k < length; ++k) {
                auto next = static_cast<unsigned char>(name[i + k]);
                valid = (next & 0xC0) == 0x80;
                c = (c << 6) | (next & 0x3F);
            }
            valid = valid && c >= smallest[length] && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
            if (!valid) {
                out += static_cast<char16_t>(0xDC00 + lead);
                ++i;
            } else if (c >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                i += length;
            } else {
                out += static_cast<char16_t>(c);
                i += length;
            }
        }
        return out;
    }
}

void send(const bgmworker& worker, std::u16string_view command) { worker.system.sendmci(command, 0); }

// Writes the tune and opens it. False when there is no temporary folder:
// then no command is sent at all. The written file need not be usable; the
// device then refuses it and the run goes on in silence.
bool bgmopen(bgmworker& worker) {
    std::optional<nativestring> folder = worker.system.tempfolder();
    if (!folder) return false;
    worker.tempfolder = *folder;
    worker.system.extractpayload(payloadid::tune, tunefile(worker.tempfolder));
    send(worker, u"open \"" + commandtext(tunefile(worker.tempfolder)) + u"\" type sequencer alias bgm");
    return true;
}

void bgmstart(const bgmworker& worker) {
    send(worker, u"seek bgm to start");
    send(worker, u"play bgm");
}

void bgmclose(bgmworker& worker) {
    send(worker, u"stop bgm");
    send(worker, u"close bgm");
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(tunefile(worker.tempfolder)), ignored);
    worker.tempfolder.clear();
}

}  // namespace

void bgmloopwith(std::atomic<bool>& playing, const bgmsystem& system) {
    bgmworker worker{system, {}};
    try {
        if (!bgmopen(worker)) return;
    } catch (const errortype&) {
        // The tune is missing from the payloads; the run does without it.
        return;
    }
    bgmstart(worker);
    while (playing) {
        // Only a query that worked and answered exactly "stopped" means the
        // tune has ended; a refused one leaves it alone.
        std::optional<std::u16string> mode = system.sendmci(u"status bgm mode", 128);
        if (mode && *mode == u"stopped") bgmstart(worker);
        platform::sleepms(100);
    }
    bgmclose(worker);
}

void bgmloop(std::atomic<bool>& playing) { bgmloopwith(playing, bgmsystem{}); }
