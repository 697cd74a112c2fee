// Sevrid's model: the Win32 services of the machine as the service control manager lists them,
// their texts (indirect resource strings included), and the commands that start, stop, delete
// and re-configure them, each wait bounded. No windows here.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"

namespace mdr {

struct RowContent;

inline constexpr wchar_t kServicesKey[] = L"System\\CurrentControlSet\\Services\\";

struct ServiceRecord {
    std::wstring name; // the key name: the service's identity
    std::wstring displayName;
    std::wstring description;
    std::wstring binaryPath;
    std::wstring serviceDll;
    DWORD startType = 0;
    bool delayedStart = false; // an automatic service started a while after the others
    bool delayedKnown = false; // the system answers whether it is delayed (Vista and later)
    DWORD state = 0;
    DWORD exitCode = 0;
    DWORD serviceExitCode = 0;
    DWORD checkPoint = 0;
    DWORD waitHint = 0;
    uint32_t id = 0;
    std::wstring account;              // the account it runs as (lpServiceStartName)
    DWORD processId = 0;               // its process while it runs, else 0
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    bool fileMissing = false;          // its program file or its service DLL does not exist
    bool windowsOwn = false;           // LooksLikeWindowsOwn of its file (a best guess)
    bool driver = false;               // a kernel or file-system driver
};

std::wstring StateText(DWORD state);
// "Automatic (Delayed Start)" for an automatic service with delayed set.
std::wstring StartTypeText(DWORD startType, bool delayed = false);

// The group after "-k" of a command that runs svchost.exe ("netsvcs" of
// "...\svchost.exe -k netsvcs -p"): the services that share one process; "" for other commands.
std::wstring SvchostGroup(std::wstring_view command);

// Whether a service's file (its service DLL, else its program) looks like one of Windows' own:
// it lies in the Windows folder (windowsFolder ends in "\") and its version information names
// the system's maker as company. A best guess: anyone can write that company into a file.
bool LooksLikeWindowsOwn(std::wstring_view file, std::wstring_view windowsFolder,
                         std::wstring_view company);

// "@file,-id": the file and the number after the comma; none without a leading "@" and a comma.
struct IndirectString {
    std::wstring file;
    int id;
};
std::optional<IndirectString> ParseIndirectString(std::wstring_view text);
// The string of an "@file,-id" text, read from the file loaded as data (its code never runs):
// "" when the file holds no such string; the text unchanged when it is no such reference or
// the file cannot be loaded.
std::wstring ResolveIndirectString(const std::wstring& text);
// The registry description without quotes and line feeds, resolved; the display name without one.
std::wstring ServiceDescription(const std::wstring& serviceName, const std::wstring& displayName);

// Every Win32 service, in the manager's order. Records whose service name matches one of
// previous keep its id and icon; the ids of previous records not found again are released.
// Whether anything under the services key changed since the last question (the first answer is
// yes): RegNotifyChangeKeyValue on the whole subtree.
class ServicesKeyWatch {
  public:
    ServicesKeyWatch();
    bool Changed();

  private:
    UniqueHkey key_;
    UniqueHandle event_;
    bool armed_ = false;
};

// With drivers, the kernel and file-system drivers too (SERVICE_DRIVER). With watch, a record of
// previous whose status (state and process) stands keeps its configuration unasked while the
// services key has not changed, which makes an unchanged refresh cheap.
std::vector<ServiceRecord> CollectServices(std::vector<ServiceRecord> previous,
                                           bool drivers = false, ServicesKeyWatch* watch = nullptr);
std::wstring ServiceIdentity(const ServiceRecord& record);
// The service list's rows, one for each record in their order; without those of Windows' own
// when hideWindows is set.
std::vector<RowContent> ServiceRows(const std::vector<ServiceRecord>& records,
                                    bool hideWindows = false);

// The Copy all line of a row: column 0 padded or cut to 50, columns 1 and 2 to 20, joined by
// five spaces, then CR LF.
std::wstring PaddedCopyLine(const std::vector<std::wstring>& columns);

// The export record lines of one service (without the closing empty line and separator).
std::vector<std::wstring> ServiceExportLines(const ServiceRecord& record);

// ---- Control ----

// How a command waits for a service to leave a pending state: it asks again after the
// service's wait hint (kept within 100..1000 ms) and gives up once the check point has not
// moved for twice the wait hint (at least 2 s, at most `stall` milliseconds; `stall` without a
// hint), or after `limit` milliseconds in all: a service that keeps
// moving its check point without ever arriving must not hold the tool for good. pump runs
// between the questions (the window keeps painting).
struct ServiceWait {
    std::function<void()> pump;
    DWORD stall = 30000;
    DWORD limit = 300000;
};

struct ServiceResult {
    bool ok = false;
    DWORD error = 0; // the system's error code when not ok (0: none known)
};

ServiceResult StartServiceByName(const std::wstring& name, const ServiceWait& wait);
bool StopServiceByName(const std::wstring& name, const ServiceWait& wait);
// Stops the service, waits until it is stopped, then deletes it.
ServiceResult DeleteServiceByName(const std::wstring& name, const ServiceWait& wait);
// The start type, and for an automatic one whether it is delayed (delayed is ignored for the
// others). Choosing plain automatic clears a delayed flag. True only when read back as asked.
bool SetServiceStartType(const std::wstring& name, DWORD startType, bool delayed = false);

// ---- Dependents ----

struct DependentService {
    std::wstring name;
    std::wstring displayName;
};
// Every service that depends on root directly or through others, each once, in the order to stop
// them: a service always before those it depends on (deepest first). dependentsOf gives the
// direct dependents of a service; names compare without regard to case; cycles end.
std::vector<std::wstring> DependentsStopOrder(
    const std::wstring& root,
    const std::function<std::vector<std::wstring>(const std::wstring&)>& dependentsOf);
// The running services that depend on name, in the order to stop them. They come from
// EnumDependentServicesW and from each running service's own dependency list (which Wine's
// service manager answers where it does not enumerate dependents).
std::vector<DependentService> RunningDependents(const std::wstring& name);

struct ChainResult {
    bool ok = false;                    // the service itself stopped (or started)
    DWORD error = 0;                    // its error code when it did not start
    std::vector<std::wstring> failures; // "<display name>" or "<display name> (error code N)"
};
// Stops the dependents (in the given order), then the service; a dependent that will not stop is
// named and the others still go on. One seen stopped counts as stopped.
ChainResult StopWithDependents(const std::wstring& name,
                               const std::vector<DependentService>& dependents,
                               const ServiceWait& wait);
// Starts the service, then the dependents that were running, in the reverse of their stop order.
ChainResult StartWithDependents(const std::wstring& name,
                                const std::vector<DependentService>& dependents,
                                const ServiceWait& wait);
// Whether this system can delay an automatic start at all (Windows Vista and later).
bool DelayedStartAvailable();
// The registry values a start-type change rewrites, to be backed up before it.
inline constexpr wchar_t kStartValue[] = L"Start";
inline constexpr wchar_t kDelayedValue[] = L"DelayedAutostart";

} // namespace mdr
