// Fixing the checked errors of the results list: the questions chosen by BeforeFixing, a .reg
// backup of everything about to go (Backup\MDR_<date>.reg, never over an earlier one), a restore
// point, then the deletions from the bottom row up; afterwards the rows, records, area counts,
// tree labels and counters. Runs on the main thread behind a small progress window.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mdr/core/texts.h"
#include "mdr/scan/detected_errors.h"
#include "common/registry.h"

namespace mdr {

// ---- The command -------------------------------------------------------------------------------

// What fixing reads and changes outside itself: the main window's results list, scan-area tree
// and status bar (ui/fix_command.h); tests supply their own.
class FixView {
  public:
    virtual ~FixView() = default;
    // The main window: it measures the step text and owns the progress window when no window
    // of the program is active. nullptr when there is none.
    virtual HWND Window() = 0;
    virtual int RowCount() = 0;
    virtual uint32_t RowId(int row) = 0; // the record identifier (item data)
    virtual bool IsRowChecked(int row) = 0;
    virtual void RemoveRow(int row) = 0;
    // Tree item 1..18 gets text; normalIcon also puts its icon back to the plain area icon.
    virtual void SetAreaLabel(int item, const std::wstring& text, bool normalIcon) = 0;
    virtual void RefreshDetails() = 0;
    virtual void SetStatusText(const std::wstring& text) = 0; // status field 0
    // Status field 3 after a run: fixed more errors were removed from the list.
    virtual void AddFixedErrors(uint64_t fixed) = 0;
};

// Fixes the checked rows. 1 when the fix ran to its end (also when some rows could not be
// fixed); 0 when it stopped early: nothing to fix, cancelled, nothing checked, the backup file
// not created, or the backup not written completely (then nothing was deleted).
int FixErrorsWindow(FixView& view);

// Deletes the key with all its subkeys and values. 1 when it is gone (also when it was gone
// before); 0 for an empty path, an unknown root, or a key that could not be deleted.
int DeleteRegistryKey(RootKey root, std::wstring_view keyPath);
// Deletes one value ("" = the default value). 1 when it is gone (also when it or its key was
// gone before); 0 when it could not be deleted, or could not be seen to be gone.
int DeleteRegistryValue(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);

// ---- Text width ------------------------------------------------------------------------------

// Width of a text in pixels.
using TextWidth = std::function<int(std::wstring_view)>;
// text when it fits into width; otherwise head + "\..\" + tail, where head grows from the start
// of the folder part (up to and including the last "\") and tail from the start of the last
// part, one character each per step, until the result is at least as wide as width minus the
// width of "\..\".
std::wstring FitPathToWidth(std::wstring_view text, int width, const TextWidth& measure);
// The same, measured in the window's font (WM_GETFONT, else DEFAULT_GUI_FONT).
std::wstring FitPathToWidth(HWND window, std::wstring_view text, int width);

// ---- Steps (pure) ------------------------------------------------------------------------------

// What BeforeFixing asks for. Without a question, backup and restorePoint apply at once; with
// one, they apply on Yes and nothing applies on No.
struct FixChoice {
    std::optional<Text> question; // the Yes/No question, none when nothing is asked
    bool backup = false;
    bool restorePoint = false;
    const wchar_t* askingLog = nullptr;  // logged before the question
    const wchar_t* chosenLog = nullptr;  // logged when backup / restore point are chosen
    const wchar_t* skippedLog = nullptr; // logged on No
};
FixChoice FixChoiceFor(int beforeFixing);

// MDR's own backup names (repair/backup_names.h with the program "MDR"):
// "MDR_dd_mm_yy_(hhmmss).reg" for attempt 1, with "_<attempt>" before ".reg" from attempt 2 on.
std::wstring BackupFileName(const SYSTEMTIME& localTime, int attempt);
// folder + the first BackupFileName that taken() refuses, for attempts 1 to 9999; "" when all
// are taken.
std::wstring FreeBackupFilePath(const std::wstring& folder, const SYSTEMTIME& localTime,
                                const std::function<bool(const std::wstring&)>& taken);
// Claims FreeBackupFilePath in folder by creating it empty (CREATE_NEW, so an earlier backup is
// never replaced, even by a fix in the same second). "" when no file could be created there.
std::wstring ReserveBackupFile(const std::wstring& folder, const SYSTEMTIME& localTime);

// Indexes of the checked rows in the order the fix takes them: the last found first, by
// scanPosition (each row's place in the record list), whatever order the list shows them in.
std::vector<int> RowsInFixOrder(const std::vector<bool>& checked,
                                const std::vector<size_t>& scanPosition);

// The errors-found counter after a fix: the checked rows that were not fixed.
uint64_t ErrorsLeftAfterFix(uint64_t checkedRows, uint64_t fixedErrors);

// Tree label of an area: its name, with " (count)" while it has errors.
std::wstring AreaLabel(const std::wstring& name, int errorCount);

// Whether an item of BackupOmissions() ("HKEY_...\path" or "HKEY_...\path -> name", line breaks
// shown as \r and \n) lies within what deleting the error removes: for a key error the key, its
// values and its whole subtree; for a value error that value (or its key, when the key itself
// could not be read or named).
bool OmissionConcerns(std::wstring_view omission, const DetectedError& error);

// Which checked rows may be deleted. Without a backup every one; with a backup none unless the
// file was written completely, and of those not the rows the backup cannot give back exactly
// (inexact) unless the user agreed to remove them too.
std::vector<bool> RowsToDelete(bool backupChosen, bool backupComplete,
                               const std::vector<bool>& inexact, bool removeInexact);

} // namespace mdr
