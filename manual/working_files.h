// The names the manual functions work with, and the one clean-up of what an
// install leaves behind. Internal to manual/.
#pragma once

#include "platform/file_system.h"

namespace manual {

inline constexpr char archive_name[] = "TechnicalManual\\package.nw";
inline constexpr char backup_name[] = "TechnicalManual\\package.nw.bak";
// The backup while it is being written.
inline constexpr char partial_backup_name[] = "TechnicalManual\\package.nw.bak.tmp";
// The archiver's own working copy of the archive during an update.
inline constexpr char archiver_partial_name[] = "TechnicalManual\\package.nw.tmp";
inline constexpr char pages_name[] = "book.zip";
inline constexpr char unpacked_name[] = "temp";
inline constexpr char log_name[] = "zelt.log";
inline constexpr char archiver_program[] = "7za.exe";
inline constexpr const char* archiver_files[] = {"7za.dll", "7zxa.dll", "7za.exe"};

enum class log_handling { keep, remove };

// Deletes, where present, the archiver's files, book.zip, the folder temp
// with everything in it, the partial copies of the archive and of its
// backup, and zelt.log when asked to. Each is removed or was not there;
// the first that cannot go throws core::failure delete_failed naming it.
// The archive and its backup stay.
void clear_working_files(platform::file_system& files, log_handling log);

}  // namespace manual
