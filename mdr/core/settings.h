// AppSettings: the main program's configuration record (the keys of Config.ini), the program's
// folders and files, and the run flags. Process-wide, read at start-up.
#pragma once

#include <windows.h>
#include <string>

namespace mdr {

struct AppSettings {
    // group MDRConfig
    int ScanMode = 0;
    int SelectItems = 0;
    int BeforeFixing = 0;
    int DeleteBackups = 1;
    int CreateLog = 0;
    int SkipRemovable = 1;
    int HighlightEntry = 0;
    int EntryColor = 16315117; // 0x00BBGGRR: red 237, green 242, blue 248
    std::wstring CurrentLanguage = L"Localization\\English.ini";
    // group MDRWindow
    int MainWinX = 0;
    int MainWinY = 0;
    int MainWinWidth = 690;
    int MainWinHeight = 470;
    int MainWinState = 0; // 16777216 = maximized
    int ColumnWidth[6] = {170, 300, 100, 300, 100, 150};
    int SplitterWidth = 200;
    std::wstring ScanZonesState = L"1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1";
};

// Folders (ending in "\") and files, computed at start-up.
struct AppPaths {
    std::wstring programFolder;
    std::wstring settingsFolder;
    std::wstring configFile; // settingsFolder + "Config.ini"
    std::wstring logFile;    // settingsFolder + "MDRLog.log"
    std::wstring skipMapFile;
    std::wstring backupFolder;
};

struct RunFlags {
    bool firstRun = false;
    bool quitRequested = false;
    bool trayIconShown = false;
    bool cmdScan = false;
    bool cmdMinimized = false;
    bool cmdWarnOrDie = false;
    // Set by the main window as it closes: the position fields are then not saved.
    bool minimizedAtExit = false;
};

AppSettings& Settings();
AppPaths& Paths();
RunFlags& Flags();

} // namespace mdr
