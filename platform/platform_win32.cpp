// Windows side of the platform seam: the console API, the resources of the
// running executable, the command interpreter and the multimedia command
// strings of WINMM.
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::atomic<int> liveloads{0};

const wchar_t* widen(std::u16string_view text, std::wstring& storage) {
    storage.assign(text.begin(), text.end());
    return storage.c_str();
}

void writeall(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

}  // namespace

namespace platform {

const nativestring::value_type separator = L'\\';

void setconsoleicon(int iconid) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconid));
    SendMessageW(GetConsoleWindow(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void setconsoletitle(std::u16string_view title) {
    std::wstring text;
    SetConsoleTitleW(widen(title, text));
}

void sizeconsole(short columns, short rows) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleScreenBufferSize(out, COORD{columns, rows});
    SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(out, TRUE, &window);
}

void clearscreen() {
    std::fflush(stdout);
    std::system("cls");
}

void waitkey() {
    std::fflush(stdout);
    std::system("pause>nul");
}

void sleepms(unsigned milliseconds) { Sleep(milliseconds); }

// On a console the GBK text is shown as wide text, so it reads correctly
// whatever output code page the console has; redirected output keeps the
// GBK bytes as they are.
void writeout(const char* gbk, std::size_t size) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (size == 0) return;
    if (!GetConsoleMode(out, &mode)) {
        writeall(out, gbk, size);
        return;
    }
    int count = MultiByteToWideChar(936, 0, gbk, static_cast<int>(size), nullptr, 0);
    if (count <= 0) {
        writeall(out, gbk, size);
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

void* findresource(std::uint16_t id) {
    return FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"TXT");
}

std::uint32_t sizeofresource(void* info) {
    return info == nullptr ? 0 : SizeofResource(nullptr, static_cast<HRSRC>(info));
}

void* loadresource(void* info) {
    if (info == nullptr) return nullptr;
    HGLOBAL handle = LoadResource(nullptr, static_cast<HRSRC>(info));
    if (handle != nullptr) ++liveloads;
    return handle;
}

const void* lockresource(void* handle) {
    return handle == nullptr ? nullptr : LockResource(static_cast<HGLOBAL>(handle));
}

void freeresource(void* handle) {
    if (handle == nullptr) return;
    FreeResource(static_cast<HGLOBAL>(handle));
    --liveloads;
}

int liveresources() { return liveloads; }

int runcommand(const std::string& commandline) {
    std::fflush(stdout);
    return std::system(commandline.c_str());
}

std::optional<std::u16string> sendmci(std::u16string_view command, std::size_t replycapacity) {
    std::wstring text;
    widen(command, text);
    if (replycapacity == 0) {
        if (mciSendStringW(text.c_str(), nullptr, 0, nullptr) != 0) return std::nullopt;
        return std::u16string();
    }
    std::vector<wchar_t> reply(replycapacity, L'\0');
    if (mciSendStringW(text.c_str(), reply.data(), static_cast<UINT>(replycapacity), nullptr) != 0) {
        return std::nullopt;
    }
    reply.back() = L'\0';
    return std::u16string(reply.data(), reply.data() + wcslen(reply.data()));
}

std::optional<nativestring> tempfolder() {
    const wchar_t* value = _wgetenv(L"temp");
    if (value == nullptr) return std::nullopt;
    return nativestring(value);
}

}  // namespace platform

std::filesystem::path platform::localpath(std::string_view windowspath) {
    return std::filesystem::path(std::string(windowspath));
}

std::string platform::archivercommand(archiverstep step) {
    switch (step) {
    case archiverstep::extract: return "7za.exe x .\\book.zip -o.\\temp -aoa>nul 2>>zelt.log";
    case archiverstep::update: return "7za.exe a .\\TechnicalManual\\package.nw .\\temp\\*>nul 2>>zelt.log";
    case archiverstep::updateshown: return "7za.exe a .\\TechnicalManual\\package.nw .\\temp\\* 2>>zelt.log";
    }
    return {};
}

void platform::allowexecution(const std::filesystem::path&) {}
