// The seam between the installer and the operating system. Everything that
// differs between Windows and POSIX lives behind these functions; the two
// implementations are platform_win32.cpp and platform_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using nativestring = std::filesystem::path::string_type;

// Console dressing. Results are never checked: a console that refuses a
// request simply keeps its old look.
void setconsoleicon(int iconid);
void setconsoletitle(std::u16string_view title);
void sizeconsole(short columns, short rows);
void clearscreen();  // "cls"
void waitkey();      // "pause>nul": one key, no echo, no prompt
void sleepms(unsigned milliseconds);

// The single sink of console text. The bytes are GBK; a console or terminal
// that expects another encoding gets them converted, anything else (a pipe,
// a file) gets them unchanged.
void writeout(const char* gbk, std::size_t size);

// Payload resources of the running executable (type "TXT"). The handles are
// opaque; a null handle means the step failed.
void* findresource(std::uint16_t id);
std::uint32_t sizeofresource(void* info);
void* loadresource(void* info);
const void* lockresource(void* handle);
void freeresource(void* handle);
// Resources loaded and not yet freed, for leak checks in tests.
int liveresources();

// Runs one command line through the command interpreter and waits for it.
int runcommand(const std::string& commandline);

// Sends one multimedia command string. Nothing when the device refuses the
// command; otherwise its reply, cut to at most replycapacity - 1 characters
// (replycapacity 0: no reply wanted, the answer is empty).
std::optional<std::u16string> sendmci(std::u16string_view command, std::size_t replycapacity);

// The folder for temporary files, as the environment names it, unchanged;
// none when the variable is not set.
std::optional<nativestring> tempfolder();
extern const nativestring::value_type separator;

}  // namespace platform

namespace platform {
// A path written the Windows way ("Data\\sharedassets0.assets"), with the
// separators of this platform.
std::filesystem::path localpath(std::string_view windowspath);
}  // namespace platform

namespace platform {
// The archiver's command lines, run from the game folder where its files
// were written: unpack book.zip into temp, then add temp's contents to the
// manual archive, with standard output discarded or shown and standard
// error appended to zelt.log.
enum class archiverstep { extract, update, updateshown };
std::string archivercommand(archiverstep step);

// Lets a written program file be started (POSIX execute permission).
void allowexecution(const std::filesystem::path& path);
}  // namespace platform
