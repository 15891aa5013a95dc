// The names the manual functions work with, and the clean-up of what an
// interrupted install leaves behind. Internal to manual/.
#pragma once

namespace manual {

inline constexpr char archive_name[] = "TechnicalManual\\package.nw";
inline constexpr char backup_name[] = "TechnicalManual\\package.nw.bak";
// The backup while it is being written.
inline constexpr char partial_backup_name[] = "TechnicalManual\\package.nw.bak.tmp";
// The archiver's own working copy of the archive during an update.
inline constexpr char archiver_partial_name[] = "TechnicalManual\\package.nw.tmp";
inline constexpr const char* archiver_files[] = {"7za.dll", "7zxa.dll", "7za.exe"};

// Deletes, where present, the archiver's files, book.zip, the folder temp
// (empty or not), and the partial copies of the archive and of its backup.
// False at the first that is present and cannot go. The archive, its backup
// and zelt.log stay.
bool clear_working_files();

}  // namespace manual
