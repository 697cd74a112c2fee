// System restore points through "srclient.dll", which is loaded by name for each call so that
// the program also runs where System Restore does not exist.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

namespace mdr {

// Result codes of MDR_StartRestore / MDR_EndRestore besides the platform's nStatus values.
constexpr int kRestoreLibraryMissing = ERROR_MOD_NOT_FOUND;   // srclient.dll did not load
constexpr int kRestoreFunctionMissing = ERROR_PROC_NOT_FOUND; // no SRSetRestorePointW in it
constexpr int kRestoreCallFailed = -1; // the call returned FALSE without a status code

// Asks System Restore for a restore point named RestorePointName(now). mode 0 is interactive
// (every outcome is shown), mode 1 quiet (only the failures that need the user are shown).
// 0 when System Restore is not available, else 1 (also when the restore point failed).
int SetRestorePoint(int mode);

// 1 on Windows XP or later when "srclient.dll" loads (it is unloaded again at once), else 0.
int SystemRestoreAvailable();

// Begins a system change named name (at most 255 characters are used) and remembers the sequence
// number it returns. The platform's status code: 0 only when the call returned TRUE with status 0;
// kRestoreCallFailed when it returned FALSE with status 0; kRestoreLibraryMissing or
// kRestoreFunctionMissing when nothing could be called.
int MDR_StartRestore(const std::wstring& name);

// Ends the system change with the given sequence number; the status code as above.
int MDR_EndRestore(uint32_t sequenceNumber);

// "MDR_" + "dd_mm_yy_(hhmmss)" of the given local time.
std::wstring RestorePointName(const SYSTEMTIME& localTime);

} // namespace mdr
