// Windows side of the platform seam: the console API, the resources of the
// running executable and the multimedia command strings of WINMM.
#include "platform/platform.h"

// windows.h first: the multimedia header needs its types.
#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// False when the handle took fewer bytes than given.
bool write_all(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// One command string to the multimedia device, without a reply.
bool send_command(const std::wstring& command) { return mciSendStringW(command.c_str(), nullptr, 0, nullptr) == 0; }

// The tune as a MIDI sequencer of the multimedia device, named "bgm".
class sequencer_tune_player : public platform::tune_player {
public:
    bool open(const std::filesystem::path& tune_file) override {
        return send_command(L"open \"" + tune_file.wstring() + L"\" type sequencer alias bgm");
    }

    void play_from_start() override {
        send_command(L"seek bgm to start");
        send_command(L"play bgm");
    }

    // Only a query that worked and answered exactly "stopped" means the tune
    // has ended; a refused one says nothing.
    bool has_ended() override {
        wchar_t reply[128] = {};
        if (mciSendStringW(L"status bgm mode", reply, 128, nullptr) != 0) return false;
        reply[127] = L'\0';
        return std::wstring(reply) == L"stopped";
    }

    void close() override {
        send_command(L"stop bgm");
        send_command(L"close bgm");
    }
};

}  // namespace

namespace platform {

void show_console_icon() {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(120));
    SendMessageW(GetConsoleWindow(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void set_console_title(std::u16string_view title) {
    std::wstring text(title.begin(), title.end());
    SetConsoleTitleW(text.c_str());
}

void size_console(short columns, short rows) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleScreenBufferSize(out, COORD{columns, rows});
    SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(out, TRUE, &window);
}

void clear_console() {
    std::fflush(stdout);
    std::system("cls");
}

void wait_for_key() {
    std::fflush(stdout);
    std::system("pause>nul");
}

void pause_for(unsigned milliseconds) { Sleep(milliseconds); }

// On a console the GBK text is shown as wide text, so it reads correctly
// whatever output code page the console has; redirected output keeps the
// GBK bytes as they are.
void write_console(console_stream stream, const char* gbk, std::size_t size) {
    HANDLE out = GetStdHandle(stream == console_stream::error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (size == 0) return;
    if (!GetConsoleMode(out, &mode)) {
        write_all(out, gbk, size);
        return;
    }
    int count = MultiByteToWideChar(936, 0, gbk, static_cast<int>(size), nullptr, 0);
    if (count <= 0) {
        write_all(out, gbk, size);
        return;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(count));
    MultiByteToWideChar(936, 0, gbk, static_cast<int>(size), wide.data(), count);
    const wchar_t* p = wide.data();
    DWORD left = static_cast<DWORD>(count);
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(out, p, left, &written, nullptr) || written == 0) return;
        p += written;
        left -= written;
    }
}

std::vector<std::filesystem::path> program_arguments(int, char**) {
    std::vector<std::filesystem::path> arguments;
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(words[i]);
    LocalFree(words);
    return arguments;
}

// The four resource steps. The resources of the running executable stay
// mapped for as long as it runs, so the bytes need no release.
std::optional<std::string_view> payload_bytes(std::uint16_t id) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"TXT");
    if (info == nullptr) return std::nullopt;
    DWORD size = SizeofResource(nullptr, info);
    if (size == 0) return std::nullopt;
    HGLOBAL handle = LoadResource(nullptr, info);
    if (handle == nullptr) return std::nullopt;
    const void* data = LockResource(handle);
    if (data == nullptr) return std::nullopt;
    return std::string_view(static_cast<const char*>(data), size);
}

std::filesystem::path game_path(std::string_view windows_path) {
    return std::filesystem::path(std::string(windows_path));
}

io_status enter_folder(const std::filesystem::path& folder) {
    if (!SetCurrentDirectoryW(folder.c_str())) {
        const DWORD code = GetLastError();
        return io_error{operation::enter_folder, folder, error_kind::not_found, static_cast<int>(code)};
    }
    return {};
}

std::unique_ptr<tune_player> make_tune_player() { return std::make_unique<sequencer_tune_player>(); }

std::optional<std::filesystem::path> temp_folder() {
    const wchar_t* value = _wgetenv(L"temp");
    if (value == nullptr) return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace platform
