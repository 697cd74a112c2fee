// System restore points.
#include "mdr/repair/restore_point.h"
#include "regfile/backup_names.h"

#include <srrestoreptapi.h>
#include <cwchar>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/os_version.h"
#include "common/handles.h"
#include "common/trace.h"
#include "mdr/repair/message_box.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {

using SrSetRestorePointFn = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

constexpr int kOsWindowsXp = 60;
// Documented type for "an application changed settings"; the end call's type is not used.
constexpr DWORD kRestorePointType = MODIFY_SETTINGS;

uint32_t g_sequence = 0;

// Loads the library, makes one call and unloads it again. called tells whether the function ran.
int CallSrSetRestorePoint(RESTOREPOINTINFOW& info, STATEMGRSTATUS& status, bool& called) {
    MDR_HERE();
    called = false;
    UniqueHmodule library(LoadLibraryW(L"srclient.dll"));
    if (!library) return kRestoreLibraryMissing;
    auto function = reinterpret_cast<SrSetRestorePointFn>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "SRSetRestorePointW")));
    if (!function) return kRestoreFunctionMissing;
    status = {};
    called = true;
    BOOL ok = function(&info, &status);
    // Wine's stub says FALSE and leaves the status at 0: that is no restore point either.
    if (!ok && status.nStatus == ERROR_SUCCESS) return kRestoreCallFailed;
    return static_cast<int>(status.nStatus);
}

struct Outcome {
    int code;
    const wchar_t* logName;
    Text text;
    bool quietToo;
};

constexpr Outcome kOutcomes[] = {
    {ERROR_SUCCESS, L"ERROR_SUCCESS", Text::RestorePointCreated, false},
    {ERROR_BAD_ENVIRONMENT, L"ERROR_BAD_ENVIRONMENT", Text::RestorePointBadEnvironment, false},
    {ERROR_DISK_FULL, L"ERROR_DISK_FULL", Text::RestorePointDiskFull, false},
    {ERROR_INTERNAL_ERROR, L"ERROR_INTERNAL_ERROR", Text::RestorePointInternalError, false},
    {ERROR_INVALID_DATA, L"ERROR_INVALID_DATA", Text::RestorePointRejected, true},
    {ERROR_SERVICE_DISABLED, L"ERROR_SERVICE_DISABLED", Text::RestorePointSwitchedOff, false},
};
constexpr Outcome kUnexpected = {-1, L"ERROR_UNEXPECTED", Text::RestorePointUnexpected, false};

const Outcome& OutcomeOf(int code) {
    for (const Outcome& outcome : kOutcomes) {
        if (outcome.code == code) return outcome;
    }
    return kUnexpected;
}

} // namespace

std::wstring RestorePointName(const SYSTEMTIME& t) {
    return DatedName(L"MDR", t);
}

int SystemRestoreAvailable() {
    MDR_HERE();
    if (OperatingSystemCode() < kOsWindowsXp) return 0;
    UniqueHmodule library(LoadLibraryW(L"srclient.dll"));
    return library ? 1 : 0;
}

int MDR_StartRestore(const std::wstring& name) {
    MDR_HERE();
    RESTOREPOINTINFOW info = {};
    info.dwEventType = BEGIN_SYSTEM_CHANGE;
    info.dwRestorePtType = kRestorePointType;
    info.llSequenceNumber = 0;
    wcsncpy(info.szDescription, name.c_str(), MAX_DESC_W - 1);
    STATEMGRSTATUS status = {};
    bool called = false;
    int result = CallSrSetRestorePoint(info, status, called);
    if (called) g_sequence = static_cast<uint32_t>(status.llSequenceNumber);
    return result;
}

int MDR_EndRestore(uint32_t sequenceNumber) {
    MDR_HERE();
    RESTOREPOINTINFOW info = {};
    info.dwEventType = END_SYSTEM_CHANGE;
    info.dwRestorePtType = APPLICATION_INSTALL;
    info.llSequenceNumber = static_cast<int32_t>(sequenceNumber);
    STATEMGRSTATUS status = {};
    bool called = false;
    return CallSrSetRestorePoint(info, status, called);
}

int SetRestorePoint(int mode) {
    MDR_HERE();
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring name = RestorePointName(now);
    Log(L"Trying to set restore point...");

    if (!SystemRestoreAvailable()) {
        Log(L"Cannot set restore point because the operating system does not support it");
        ShowMessage(LangText(Text::RestorePointUnavailable), LangText(Text::ErrorTitle),
                    MB_ICONWARNING);
        return 0;
    }

    const int result = MDR_StartRestore(name);
    const Outcome& outcome = OutcomeOf(result);
    Log(std::wstring(L"MDR_StartRestore() -> #") + outcome.logName);
    if (mode == 0 || outcome.quietToo) {
        if (result == ERROR_SUCCESS) {
            ShowMessage(ReplacePlaceholder(LangText(outcome.text), L"$RESTOREPOINTNAME$",
                                           L"\"" + name + L"\""),
                        LangText(Text::InformationTitle), MB_ICONINFORMATION);
        } else {
            ShowMessage(LangText(outcome.text), LangText(Text::WarningTitle), MB_ICONWARNING);
        }
    }

    Log(L"MDR_EndRestore()");
    MDR_EndRestore(g_sequence);
    Log(L"Returning...");
    return 1;
}

} // namespace mdr
