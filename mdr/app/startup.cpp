// The start-up sequence: every check that can refuse the start runs before any window exists,
// each refusal ends the process after its message, and nothing is left half started.
#include "mdr/app/report_run.h"
#include "mdr/app/startup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string>
#include <vector>

#include "mdr/core/config.h"
#include "mdr/core/crash_handler.h"
#include "mdr/app/first_run_backup.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/program_end.h"
#include "common/resources.h"
#include "mdr/core/settings.h"
#include "mdr/core/skip_rules.h"
#include "mdr/app/startup_checks.h"
#include "mdr/app/tools.h"
#include "common/debug_privilege.h"
#include "common/handles.h"
#include "common/trace.h"
#include "common/late_bound.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/scan_thread.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {
namespace {

// The single-instance mutex: held, never closed, until the process ends.
HANDLE g_instanceMutex = nullptr;

std::wstring WithBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring ProgramFolder() {
    MDR_HERE();
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ProfileFolder() {
    MDR_HERE();
    std::wstring folder;
    LPITEMIDLIST list = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROFILE, &list)) && list) {
        const UniqueCoTaskMem owned(list);
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(list, path)) folder = path;
    }
    if (folder.empty()) {
        // Without a profile the settings would land relative to the current directory.
        wchar_t path[MAX_PATH] = {};
        DWORD length = GetEnvironmentVariableW(L"USERPROFILE", path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) folder = path;
    }
    return WithBackslash(folder);
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Set when the command line asks for an unattended report: nothing may open a window then.
bool g_reportRun = false;

// Shows the refusal (on the console in a report run) and releases what was made so far; the
// caller then ends with the exit code returned.
int Refuse(Refusal refusal, std::wstring_view detail = {}) {
    MDR_HERE();
    RefusalMessage message = MessageFor(refusal, detail);
    if (g_reportRun) {
        ReportToConsole(L"MDR: " + message.text);
    } else {
        MessageBoxW(nullptr, message.text.c_str(), message.title.c_str(),
                    MB_OK | message.icon | MB_SETFOREGROUND);
    }
    ReleaseRuntime();
    return g_reportRun ? kReportRefused : 0;
}

bool IsSixtyFourBitWindows() {
    MDR_HERE();
    static const LateBound<void(WINAPI*)(LPSYSTEM_INFO)> nativeSystemInfo(
        L"kernel32.dll", "GetNativeSystemInfo", kWindowsXp);
    const auto getNativeSystemInfo = nativeSystemInfo.get();
    SYSTEM_INFO info{};
    if (getNativeSystemInfo) getNativeSystemInfo(&info);
    return IsSixtyFourBitSystem(getNativeSystemInfo != nullptr, info.wProcessorArchitecture);
}

bool IsAdministrator() {
    MDR_HERE();
    UniqueScHandle manager(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, 0xF000F));
    return static_cast<bool>(manager);
}

void InitializeCom() {
    MDR_HERE();
    // Apartment-threaded: this thread owns every window, and the shell's file and folder
    // dialogs and ShellExecuteEx need a single-threaded apartment. The security blanket is
    // what the restore-point call needs.
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) NoteComInitialized();
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                         RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
}

std::vector<std::wstring> ProgramArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    const UniqueLocalMem owned(list);
    if (!list) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(list[i]);
    return arguments;
}

void EvaluateCommandLine() {
    MDR_HERE();
    CommandLineFlags flags = ParseParameters(ProgramArguments());
    for (const std::wstring& parameter : flags.parameters)
        Log(L"Parameter -> " + parameter);
    Flags().cmdScan = flags.scan;
    Flags().cmdMinimized = flags.minimized;
    Flags().cmdWarnOrDie = flags.warnOrDie;
}

void OfferFirstRunBackup() {
    MDR_HERE();
    if (!Flags().firstRun || g_reportRun) {
        Log(L"Initializing program...");
        return;
    }
    Log(L"This is the first run, asking to backup registry...");
    int answer = MessageBoxW(nullptr, LangText(Text::FirstRunQuestion).c_str(),
                             LangText(Text::FirstRunTitle).c_str(),
                             MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    if (answer == IDYES) {
        Log(L"Starting registry backup...");
        FirstRunFullBackup();
        Log(L"Setting a restore point");
        FirstRunRestorePoint();
        Log(L"Backing up done...");
    } else {
        Log(L"Skipping backup...");
    }
}

void SaveSettingsAtExit() {
    MDR_HERE();
    Log(L"Quit signal received");
    Log(L"Saving settings");
    if (SaveWindowGroup()) {
        Log(L"Done saving settings");
    } else {
        Log(L"Could not save settings");
    }
}

} // namespace

int StartUp(MainWindowRunner runner) {
    MDR_HERE();
    const std::wstring reportFile = ReportFileFrom(ProgramArguments(), g_reportRun);
    if (g_reportRun && reportFile.empty()) {
        ReportToConsole(L"MDR: -report needs the file to write, for example: MDR.exe -report "
                        L"C:\\Reports\\%COMPUTERNAME%.csv");
        return kReportUsage;
    }
    if (IsOlderThanFloor(RunningWindowsVersion())) return Refuse(Refusal::OldWindows);

    // Probing empty floppy and CD drives must not raise "no disk" dialogs.
    SetErrorMode(SEM_FAILCRITICALERRORS);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CreateAppResources();

    AppPaths& paths = Paths();
    paths.programFolder = ProgramFolder();

    paths.settingsFolder = ProfileFolder() + L"Application Data\\Veltrane\\Veltrane Mendora\\";
    paths.configFile = paths.settingsFolder + L"Config.ini";
    paths.logFile = paths.settingsFolder + L"MDRLog.log";
    paths.skipMapFile = paths.programFolder + L"MDRSkipMap.dat";
    paths.backupFolder = paths.programFolder + L"Backup\\";

    InstallCrashHandler();
    MDR_HERE();
    InitScanEnginePaths();

    MDR_HERE();
    switch (LoadSkipMapFile(paths.skipMapFile)) {
    case SkipMapLoad::Missing:
        return Refuse(Refusal::SkipMapMissing);
    case SkipMapLoad::Unreadable:
        return Refuse(Refusal::SkipMapUnreadable);
    case SkipMapLoad::Ok:
        break;
    }

    InitializeCom();
    // Only the 32-bit edition refuses: it would see the redirected registry and system folder.
    if (sizeof(void*) == 4 && IsSixtyFourBitWindows()) return Refuse(Refusal::SixtyFourBit);
    if (!IsAdministrator()) return Refuse(Refusal::NotAdministrator);
    if (!EnableDebugPrivilege()) return Refuse(Refusal::NoDebugPrivilege);

    MDR_HERE();
    g_instanceMutex = CreateMutexW(nullptr, FALSE, L"VeltraneMendora");
    if (IsSecondInstance(GetLastError())) return Refuse(Refusal::SecondInstance);

    if (!IsFolder(paths.backupFolder)) CreateDirectoryW(paths.backupFolder.c_str(), nullptr);

    if (!DiscoverLanguages(paths.programFolder)) return Refuse(Refusal::LanguagesFolder);
    DiscoverTools();

    CreateFolderChain(paths.settingsFolder);
    Settings() = DefaultSettingsForThisDesktop();
    std::wstring setAsideAs;
    const ConfigOutcome config = ReadOrCreateConfig(&setAsideAs);
    if ((config == ConfigOutcome::SetAside || config == ConfigOutcome::Undecodable) &&
        !g_reportRun) {
        // Before the language file: this text is not localized, like the other start-up texts.
        MessageBoxW(nullptr, ConfigSetAsideMessage(config, setAsideAs).c_str(), L"Warning",
                    MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }

    MDR_HERE();
    const std::wstring language = Settings().CurrentLanguage;
    if (LoadLanguage(paths.programFolder, language) != 1) {
        return Refuse(Refusal::LanguageFile, language);
    }
    for (int item = 1; item <= kAreaCount; ++item)
        AreaTable()[item - 1].name = LangText(kAreaNames[item - 1]);

    if (Settings().CreateLog == 1) {
        BeginLogFile(paths.logFile, L"Veltrane Mendora v. " MDR_VERSION_TEXT);
    }
    OfferFirstRunBackup();
    EvaluateCommandLine();
    if (g_reportRun) {
        const int exit = RunReport(reportFile);
        ReleaseRuntime();
        return exit;
    }

    MDR_HERE();
    if (runner() == 1) SaveSettingsAtExit();
    ReleaseRuntime();
    return 0;
}

} // namespace mdr
