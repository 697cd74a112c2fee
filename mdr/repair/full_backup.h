// The full registry backup: the five root keys exported completely by the system registry
// editor ("regedit /E"), one file per root, into a folder the user chooses, with a progress
// window whose Cancel stops the export at once (the file being written is left as it is).
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace mdr {

struct FullBackupJob {
    std::wstring label;     // progress text, "HKEY_CLASSES_ROOT..."
    std::wstring file;      // folder + "HKCR_" + time text + ".reg"
    std::wstring arguments; // for the registry editor: /E "file" "HKEY_CLASSES_ROOT"
};

// ---- Pure ----

// "dd_mm_yy_(hhmmss)" of a local time, for example "06_12_26_(054112)".
std::wstring FullBackupTimeText(const SYSTEMTIME& localTime);

// The five jobs, in export order HKCR, HKCU, HKLM, HKU, HKCC; folder ends in "\".
std::vector<FullBackupJob> FullBackupJobs(const std::wstring& folder, const std::wstring& timeText);

// Percentage after finished of total jobs, rounded to the nearest whole number.
int FullBackupProgress(int finished, int total);

// ---- The operation ----

// Asks for a folder and runs the five jobs with the progress window, owned by the window that
// is active on this thread (none at start-up), which is disabled meanwhile. 1 when the jobs
// ran or were cancelled; 0 when the registry editor is missing (after a message) or no folder
// was chosen. Ends the program after a message when the window cannot be made.
int FullbackupWindow();

// The system folder picker with prompt, owned by owner; "" when cancelled. The picker runs on
// a thread of its own in a single-threaded apartment (it needs one; the main thread is in the
// multithreaded one); this thread's windows are served meanwhile.
std::wstring ChooseFolder(HWND owner, const std::wstring& prompt);

} // namespace mdr
