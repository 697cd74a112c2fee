// Config.ini: the defaults of AppSettings, creating or reading the file at start-up (with the
// user's exceptions), and writing its groups back (window state at exit, MDRConfig and the
// exceptions from the settings window and the results list). Also the settings-folder chain.
//
// Every writer loads the file first and refuses (false) when it is missing or unreadable, so a
// file that could not be read is never replaced by a partial one; writes replace the file in
// one step (see common/ini.h).
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

#include "mdr/core/settings.h"
#include "mdr/core/skip_rules.h"

namespace mdr {

class IniFile;

inline constexpr wchar_t kConfigGroup[] = L"MDRConfig";
inline constexpr wchar_t kWindowGroup[] = L"MDRWindow";
inline constexpr wchar_t kExceptionsGroup[] = L"MDRExceptions";

// The defaults; MainWinX/Y centre the 690x470 window on a desktop of the given size.
AppSettings DefaultSettings(int desktopWidth, int desktopHeight);
// DefaultSettings for the primary display (GetSystemMetrics).
AppSettings DefaultSettingsForThisDesktop();

// ---- Pure: settings <-> ini document ----

// The nine MDRConfig keys, in table order.
void WriteConfigGroup(IniFile& ini, const AppSettings& s);
// The fifteen MDRWindow keys; without position, MainWinX/Y/Width/Height/State are left alone.
void WriteWindowGroup(IniFile& ini, const AppSettings& s, bool includePosition = true);
// Removes group MDRExceptions and writes it again: key = long root name + "\" + subkey,
// value "Exception" + running number from 0. Entries whose key the ini format cannot hold
// (a subkey with "=" or a line break) are left out of the file.
void WriteExceptionsGroup(IniFile& ini, const std::vector<SkipMapEntry>& exceptions);
// A new Config.ini: MDRConfig, MDRWindow and an empty MDRExceptions, in that order.
IniFile NewConfigIni(const AppSettings& s);
// Reads every key of MDRConfig and MDRWindow with the current field as default; numbers that
// are not decimal text read as 0; ScanZonesState is taken as stored.
void ReadSettings(const IniFile& ini, AppSettings& s);
// Appends the keys of MDRExceptions (every group of that name), parsed like skip-map lines,
// unless an entry with the same root and subkey (ignoring case and surrounding blanks) is
// already in the list. Hashed: linear in the number of keys.
void ReadExceptions(const IniFile& ini, std::vector<SkipMapEntry>& exceptions);

// ---- File operations ----

enum class ConfigOutcome {
    Created,      // the file did not exist and was written with the settings (first run)
    CreateFailed, // the file did not exist and could not be written (still a first run)
    Read,         // settings and exceptions read from the file
    Unreadable,   // the file exists but cannot be read: nothing changed
    SetAside,     // the file is not text we can read (or far too long): renamed to
                  // SetAsideName, and a new file written with the settings
    Undecodable,  // the same, but it could not be renamed: left as it is, never written
};
// Start-up: creates the file from `s` when missing, otherwise reads it into `s` and appends its
// exceptions to `exceptions`. A file that cannot be decoded is never rewritten: it is set aside
// (setAsideAs receives its new path) so the user's exceptions in it can still be recovered.
ConfigOutcome ReadOrCreateConfig(const std::wstring& path, AppSettings& s,
                                 std::vector<SkipMapEntry>& exceptions,
                                 std::wstring* setAsideAs = nullptr);
// The same on Paths().configFile, Settings() and Exceptions(); sets Flags().firstRun when the
// file did not exist and clears it otherwise.
ConfigOutcome ReadOrCreateConfig(std::wstring* setAsideAs = nullptr);
// "Config.ini.bad-yyyy-mm-dd" beside path for that date (a time is added when taken).
std::wstring SetAsideName(const std::wstring& path, const SYSTEMTIME& date, bool withTime);
// What the user is told once about an undecodable Config.ini (SetAside or Undecodable).
std::wstring ConfigSetAsideMessage(ConfigOutcome outcome, const std::wstring& setAsideAs);

// Shutdown: writes the MDRWindow group only (position keys skipped when minimizedAtExit).
// False when the file cannot be read or written.
bool SaveWindowGroup(const std::wstring& path, const AppSettings& s, bool minimizedAtExit);
// The same with Paths().configFile, Settings() and Flags().minimizedAtExit.
bool SaveWindowGroup();

// Rewrites the MDRExceptions group only.
bool SaveExceptions(const std::wstring& path, const std::vector<SkipMapEntry>& exceptions);
// The same with Paths().configFile and Exceptions().
bool SaveExceptions();
// Settings window OK: MDRConfig and MDRExceptions in one write.
bool SaveConfigAndExceptions(const std::wstring& path, const AppSettings& s,
                             const std::vector<SkipMapEntry>& exceptions);

// ---- Settings folder ----

// The folders to create for a path ending in "\": the text up to and including each "\", from
// left to right ("C:\", "C:\a\", "C:\a\b\").
std::vector<std::wstring> FolderChain(std::wstring_view folderPath);
// Creates each of them in turn; errors (existing folders, drive roots) are ignored.
void CreateFolderChain(std::wstring_view folderPath);

} // namespace mdr
