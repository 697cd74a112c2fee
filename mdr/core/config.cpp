#include "mdr/core/config.h"

#include <windows.h>

#include <cwchar>
#include <unordered_set>

#include "common/ini.h"
#include "common/registry.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}

AppPaths& Paths() {
    static AppPaths paths;
    return paths;
}

RunFlags& Flags() {
    static RunFlags flags;
    return flags;
}

namespace {

constexpr wchar_t kColumnWidthKeys[6][13] = {L"ColumnWidth0", L"ColumnWidth1", L"ColumnWidth2",
                                             L"ColumnWidth3", L"ColumnWidth4", L"ColumnWidth5"};

int ReadInt(const IniFile& ini, const wchar_t* group, const wchar_t* key, int current) {
    return ParseInt(ini.GetString(group, key, std::to_wstring(current)));
}

// Loads an existing Config.ini for an update; false when it is missing or unreadable.
bool LoadForUpdate(const std::wstring& path, IniFile& ini) {
    return ini.Load(path) == FileState::Ok;
}

} // namespace

AppSettings DefaultSettings(int desktopWidth, int desktopHeight) {
    AppSettings s;
    const RECT desktop{0, 0, desktopWidth, desktopHeight};
    const RECT centred = CentredRect(desktop, desktop, SIZE{s.MainWinWidth, s.MainWinHeight});
    s.MainWinX = centred.left;
    s.MainWinY = centred.top;
    return s;
}

AppSettings DefaultSettingsForThisDesktop() {
    return DefaultSettings(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void WriteConfigGroup(IniFile& ini, const AppSettings& s) {
    MDR_HERE();
    ini.SetInt(kConfigGroup, L"ScanMode", s.ScanMode);
    ini.SetInt(kConfigGroup, L"SelectItems", s.SelectItems);
    ini.SetInt(kConfigGroup, L"BeforeFixing", s.BeforeFixing);
    ini.SetInt(kConfigGroup, L"DeleteBackups", s.DeleteBackups);
    ini.SetInt(kConfigGroup, L"CreateLog", s.CreateLog);
    ini.SetInt(kConfigGroup, L"SkipRemovable", s.SkipRemovable);
    ini.SetInt(kConfigGroup, L"HighlightEntry", s.HighlightEntry);
    ini.SetInt(kConfigGroup, L"EntryColor", s.EntryColor);
    ini.Set(kConfigGroup, L"CurrentLanguage", s.CurrentLanguage);
}

void WriteWindowGroup(IniFile& ini, const AppSettings& s, bool includePosition) {
    MDR_HERE();
    if (includePosition) {
        ini.SetInt(kWindowGroup, L"MainWinX", s.MainWinX);
        ini.SetInt(kWindowGroup, L"MainWinY", s.MainWinY);
        ini.SetInt(kWindowGroup, L"MainWinWidth", s.MainWinWidth);
        ini.SetInt(kWindowGroup, L"MainWinHeight", s.MainWinHeight);
        ini.SetInt(kWindowGroup, L"MainWinState", s.MainWinState);
    }
    for (int i = 0; i < 6; ++i)
        ini.SetInt(kWindowGroup, kColumnWidthKeys[i], s.ColumnWidth[i]);
    ini.SetInt(kWindowGroup, L"SplitterWidth", s.SplitterWidth);
    ini.Set(kWindowGroup, L"ScanZonesState", s.ScanZonesState);
}

void WriteExceptionsGroup(IniFile& ini, const std::vector<SkipMapEntry>& exceptions) {
    MDR_HERE();
    ini.RemoveGroup(kExceptionsGroup);
    ini.AddGroup(kExceptionsGroup);
    int number = 0;
    for (const SkipMapEntry& e : exceptions) {
        MDR_HERE();
        std::wstring key = RootKeyName(e.root) + L"\\" + e.subkey;
        if (ini.Set(kExceptionsGroup, key, L"Exception" + std::to_wstring(number))) ++number;
    }
}

IniFile NewConfigIni(const AppSettings& s) {
    IniFile ini;
    WriteConfigGroup(ini, s);
    WriteWindowGroup(ini, s, true);
    ini.AddGroup(kExceptionsGroup);
    return ini;
}

void ReadSettings(const IniFile& ini, AppSettings& s) {
    MDR_HERE();
    s.ScanMode = ReadInt(ini, kConfigGroup, L"ScanMode", s.ScanMode);
    s.SelectItems = ReadInt(ini, kConfigGroup, L"SelectItems", s.SelectItems);
    s.BeforeFixing = ReadInt(ini, kConfigGroup, L"BeforeFixing", s.BeforeFixing);
    s.DeleteBackups = ReadInt(ini, kConfigGroup, L"DeleteBackups", s.DeleteBackups);
    s.CreateLog = ReadInt(ini, kConfigGroup, L"CreateLog", s.CreateLog);
    s.SkipRemovable = ReadInt(ini, kConfigGroup, L"SkipRemovable", s.SkipRemovable);
    s.HighlightEntry = ReadInt(ini, kConfigGroup, L"HighlightEntry", s.HighlightEntry);
    s.EntryColor = ReadInt(ini, kConfigGroup, L"EntryColor", s.EntryColor);
    s.CurrentLanguage = ini.GetString(kConfigGroup, L"CurrentLanguage", s.CurrentLanguage);

    s.MainWinX = ReadInt(ini, kWindowGroup, L"MainWinX", s.MainWinX);
    s.MainWinY = ReadInt(ini, kWindowGroup, L"MainWinY", s.MainWinY);
    s.MainWinWidth = ReadInt(ini, kWindowGroup, L"MainWinWidth", s.MainWinWidth);
    s.MainWinHeight = ReadInt(ini, kWindowGroup, L"MainWinHeight", s.MainWinHeight);
    s.MainWinState = ReadInt(ini, kWindowGroup, L"MainWinState", s.MainWinState);
    for (int i = 0; i < 6; ++i)
        s.ColumnWidth[i] = ReadInt(ini, kWindowGroup, kColumnWidthKeys[i], s.ColumnWidth[i]);
    s.SplitterWidth = ReadInt(ini, kWindowGroup, L"SplitterWidth", s.SplitterWidth);
    s.ScanZonesState = ini.GetString(kWindowGroup, L"ScanZonesState", s.ScanZonesState);
}

void ReadExceptions(const IniFile& ini, std::vector<SkipMapEntry>& exceptions) {
    MDR_HERE();
    std::unordered_set<std::wstring> known;
    known.reserve(exceptions.size());
    for (const SkipMapEntry& e : exceptions)
        known.insert(SkipEntryKey(e.root, e.subkey));
    uint32_t previousRoot = 0;
    for (const std::wstring& key : ini.Keys(kExceptionsGroup)) {
        MDR_HERE();
        SkipMapEntry entry;
        if (!ParseSkipLine(key, previousRoot, entry)) continue;
        previousRoot = entry.root;
        // Only true duplicates are dropped: a narrower exception below a branch rule is kept,
        // so removing the branch rule later does not silently lose it.
        if (known.insert(SkipEntryKey(entry.root, entry.subkey)).second)
            exceptions.push_back(std::move(entry));
    }
}

std::wstring SetAsideName(const std::wstring& path, const SYSTEMTIME& t, bool withTime) {
    wchar_t suffix[40];
    if (withTime) {
        swprintf(suffix, 40, L".bad-%04u-%02u-%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay,
                 t.wHour, t.wMinute, t.wSecond);
    } else {
        swprintf(suffix, 40, L".bad-%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    }
    return path + suffix;
}

std::wstring ConfigSetAsideMessage(ConfigOutcome outcome, const std::wstring& setAsideAs) {
    if (outcome == ConfigOutcome::SetAside) {
        return L"The settings file Config.ini could not be read. It was kept as \"" + setAsideAs +
               L"\" and the default settings are used.";
    }
    return L"The settings file Config.ini could not be read. It is left as it is and the "
           L"default settings are used.";
}

ConfigOutcome ReadOrCreateConfig(const std::wstring& path, AppSettings& s,
                                 std::vector<SkipMapEntry>& exceptions, std::wstring* setAsideAs) {
    MDR_HERE();
    IniFile ini;
    switch (ini.Load(path)) {
    case FileState::Missing:
        return NewConfigIni(s).Save(path) ? ConfigOutcome::Created : ConfigOutcome::CreateFailed;
    case FileState::Unreadable:
        return ConfigOutcome::Unreadable;
    case FileState::Undecodable: {
        // Renamed, not rewritten: whatever the user's exceptions are, they stay in that file.
        SYSTEMTIME now;
        GetLocalTime(&now);
        for (bool withTime : {false, true}) {
            const std::wstring aside = SetAsideName(path, now, withTime);
            if (!MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) continue;
            if (setAsideAs) *setAsideAs = aside;
            NewConfigIni(s).Save(path);
            return ConfigOutcome::SetAside;
        }
        return ConfigOutcome::Undecodable;
    }
    case FileState::Ok:
        break;
    }
    ReadSettings(ini, s);
    ReadExceptions(ini, exceptions);
    return ConfigOutcome::Read;
}

ConfigOutcome ReadOrCreateConfig(std::wstring* setAsideAs) {
    ConfigOutcome outcome =
        ReadOrCreateConfig(Paths().configFile, Settings(), Exceptions(), setAsideAs);
    Flags().firstRun = outcome == ConfigOutcome::Created || outcome == ConfigOutcome::CreateFailed;
    return outcome;
}

bool SaveWindowGroup(const std::wstring& path, const AppSettings& s, bool minimizedAtExit) {
    MDR_HERE();
    IniFile ini;
    if (!LoadForUpdate(path, ini)) return false;
    WriteWindowGroup(ini, s, !minimizedAtExit);
    return ini.Save(path);
}

bool SaveWindowGroup() {
    return SaveWindowGroup(Paths().configFile, Settings(), Flags().minimizedAtExit);
}

bool SaveExceptions(const std::wstring& path, const std::vector<SkipMapEntry>& exceptions) {
    MDR_HERE();
    IniFile ini;
    if (!LoadForUpdate(path, ini)) return false;
    WriteExceptionsGroup(ini, exceptions);
    return ini.Save(path);
}

bool SaveExceptions() {
    return SaveExceptions(Paths().configFile, Exceptions());
}

bool SaveConfigAndExceptions(const std::wstring& path, const AppSettings& s,
                             const std::vector<SkipMapEntry>& exceptions) {
    MDR_HERE();
    IniFile ini;
    if (!LoadForUpdate(path, ini)) return false;
    WriteConfigGroup(ini, s);
    WriteExceptionsGroup(ini, exceptions);
    return ini.Save(path);
}

std::vector<std::wstring> FolderChain(std::wstring_view folderPath) {
    std::vector<std::wstring> chain;
    for (size_t i = 0; i < folderPath.size(); ++i)
        if (folderPath[i] == L'\\') chain.emplace_back(folderPath.substr(0, i + 1));
    return chain;
}

void CreateFolderChain(std::wstring_view folderPath) {
    MDR_HERE();
    for (const std::wstring& folder : FolderChain(folderPath))
        CreateDirectoryW(folder.c_str(), nullptr);
}

} // namespace mdr
