// The Settings window: general options, appearance and language, and the user's
// exceptions with import and export as .mdr files. Nothing is saved before OK; Cancel discards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mdr/core/localization.h"
#include "mdr/core/skip_rules.h"

namespace mdr {

// Control numbers of the Settings window; tests drive it by these.
namespace settings_controls {
enum SettingsControl : int {
    kCancel = 300,
    kOk = 301,
    kTabs = 302,
    kScanMode = 304,
    kSelectItems = 306,
    kBeforeFixing = 308,
    kDeleteBackups = 309,
    kCreateLog = 310,
    kSkipRemovable = 311,
    kHighlight = 313,
    kSwatch = 314,
    kChooseColor = 315,
    kResetColor = 316,
    kLanguages = 318,
    kExceptionList = 319,
    kNewRoot = 321,
    kNewSubkey = 323,
    kAdd = 324,
    kRemove = 325,
    kExport = 326,
    kImport = 327,
};
} // namespace settings_controls

class IniFile;

// Window class of the Settings window (not a dialog class: message boxes are found by theirs).
inline constexpr wchar_t kSettingsWindowClass[] = L"MDRSettingsWindow";

// Runs the modal dialog on the main thread until it closes; returns 1.
int SettingsWindow();
// Makes SettingsWindow the main window's Settings command (menu 19, toolbar 505).
void InstallSettingsWindow();

// ---- Pure logic of the dialog ----

// A subkey as typed for a new exception: blanks around it and one trailing "\" removed.
std::wstring ExceptionSubkeyFromInput(std::wstring_view typed);
// Whether rows already hold root and subkey (subkeys ignoring case and surrounding blanks).
bool HasExceptionRow(const std::vector<SkipMapEntry>& rows, uint32_t root,
                     std::wstring_view subkey);
// Root handle for one of the five long names written exactly (case-sensitive); 0 otherwise.
uint32_t RootFromExactName(std::wstring_view name);

// A file name from the save dialog with ".mdr" appended unless it already ends in it (ignoring
// case and trailing blanks).
std::wstring WithMdrExtension(std::wstring_view fileName);
// The .mdr document: groups EX_0, EX_1, ... with MainKey and SubKey, in row order. Rows the
// format cannot hold (a line break in the subkey, an unknown root) are left out.
IniFile ExceptionFileFor(const std::vector<SkipMapEntry>& rows);
// The entries of a .mdr document in group order, trailing "\" of each subkey removed. Groups
// whose MainKey is not one of the five names, or whose subkey is empty, are left out.
std::vector<SkipMapEntry> ExceptionsFromFile(const IniFile& file);

// The common dialogs' filter: "<lists> (*.mdr)", "*.mdr", "<all> (*.*)", "*.*", each ended by
// a NUL, with the final extra NUL.
std::wstring ExceptionFileFilter(std::wstring_view listsCaption, std::wstring_view allCaption);

// Index of the language whose file is path (ignoring case), or -1.
int LanguageIndexByFile(const std::vector<LanguageInfo>& languages, std::wstring_view path);
// Index of the first language named name (ignoring case), or -1.
int LanguageIndexByName(const std::vector<LanguageInfo>& languages, std::wstring_view name);

} // namespace mdr
