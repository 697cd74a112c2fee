// Names of backup files. MDR and the tools write their backups into one Backup folder as
// "<Program>_dd_mm_yy_(hhmmss).reg", so MDR's backup manager lists them all; a second backup in
// the same second gets "_2", "_3", ... before ".reg" and never replaces an earlier one.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <string_view>

namespace mdr {

// "<program>_dd_mm_yy_(hhmmss)" of a local time.
std::wstring DatedName(std::wstring_view program, const SYSTEMTIME& localTime);
// DatedName + ".reg" for attempt 1, with "_<attempt>" before ".reg" from attempt 2 on.
std::wstring BackupFileName(std::wstring_view program, const SYSTEMTIME& localTime, int attempt);
// folder + the first BackupFileName that taken() refuses, for attempts 1 to 9999; "" when all
// are taken.
std::wstring FreeBackupFilePath(const std::wstring& folder, std::wstring_view program,
                                const SYSTEMTIME& localTime,
                                const std::function<bool(const std::wstring&)>& taken);
// Claims FreeBackupFilePath in folder by creating it empty (CREATE_NEW, so an earlier backup is
// never replaced, even by one in the same second). "" when no file could be created there.
std::wstring ReserveBackupFile(const std::wstring& folder, std::wstring_view program,
                               const SYSTEMTIME& localTime);

} // namespace mdr
