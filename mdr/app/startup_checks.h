// The start-up refusals (their texts, titles and icons), the decisions behind the checks that
// need a particular system to fail for real, and the command-line parameters. Pure.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

enum class Refusal {
    OldWindows,
    SkipMapMissing,
    SkipMapUnreadable,
    SixtyFourBit,
    NotAdministrator,
    NoDebugPrivilege,
    SecondInstance,
    LanguagesFolder,
    LanguageFile,
};

struct RefusalMessage {
    std::wstring text;
    std::wstring title;
    UINT icon = 0; // MB_ICONINFORMATION, MB_ICONERROR or 0 (no icon)
};

// languagePath is the CurrentLanguage text named by the LanguageFile refusal.
RefusalMessage MessageFor(Refusal refusal, std::wstring_view languagePath = {});

// Older than the edition's Windows floor (cmake/floor.cmake): versions as NTDDI_VERSION writes
// them (common/late_bound.h). A version that cannot be read (0) is not refused.
bool IsOlderThanFloor(DWORD version, DWORD floor = NTDDI_VERSION);
// GetNativeSystemInfo missing means a system that predates 64-bit Windows.
bool IsSixtyFourBitSystem(bool haveNativeSystemInfo, WORD processorArchitecture);
// The last error right after CreateMutexW for the single-instance mutex.
bool IsSecondInstance(DWORD lastErrorAfterCreate);

struct CommandLineFlags {
    bool scan = false;
    bool minimized = false;
    bool warnOrDie = false;
    std::vector<std::wstring> parameters; // lower-cased and trimmed, in order (for the log)
};

// The program's arguments (without the program name), in any order, repeated or unknown.
CommandLineFlags ParseParameters(const std::vector<std::wstring>& arguments);

} // namespace mdr
