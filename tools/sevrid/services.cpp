#include "tools/sevrid/services.h"

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <unordered_map>
#include <unordered_set>

#include "common/icon_file.h"
#include "common/record_ids.h"
#include "common/registry.h"
#include "common/text.h"
#include "common/late_bound.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"

namespace mdr {

namespace {

bool Exists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Fit(const std::wstring& text, size_t width) {
    std::wstring fitted = text.substr(0, width);
    fitted.resize(width, L' ');
    return fitted;
}

// The service's configuration: start type, command and account, or nothing when it cannot be
// read.
bool QueryConfig(SC_HANDLE service, DWORD& startType, std::wstring& binaryPath,
                 std::wstring* account = nullptr) {
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, needed, &needed)) return false;
    startType = config->dwStartType;
    binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
    if (account) *account = config->lpServiceStartName ? config->lpServiceStartName : L"";
    return true;
}

// SERVICE_CONFIG_DELAYED_AUTO_START_INFO and its record, from Windows Vista on: the floor's
// headers lack them. Older systems refuse the level (ERROR_INVALID_LEVEL).
constexpr DWORD kDelayedAutoStartInfo = 3;
struct DelayedAutoStartInfo {
    BOOL delayed;
};
using QueryConfig2Fn = BOOL(WINAPI*)(SC_HANDLE, DWORD, BYTE*, DWORD, DWORD*);
using ChangeConfig2Fn = BOOL(WINAPI*)(SC_HANDLE, DWORD, void*);
const LateBound<QueryConfig2Fn> queryConfig2(L"advapi32.dll", "QueryServiceConfig2W",
                                             kWindowsVista);
const LateBound<ChangeConfig2Fn> changeConfig2(L"advapi32.dll", "ChangeServiceConfig2W",
                                               kWindowsVista);

// Whether the service's automatic start is delayed; nothing where the system cannot say.
std::optional<bool> QueryDelayed(SC_HANDLE service) {
    const auto query = queryConfig2.get();
    if (!query) return std::nullopt;
    DelayedAutoStartInfo info{};
    DWORD needed = 0;
    if (!query(service, kDelayedAutoStartInfo, reinterpret_cast<BYTE*>(&info), sizeof info,
               &needed))
        return std::nullopt;
    return info.delayed != FALSE;
}

// The services a service depends on (its lpDependencies), without the groups ("+" names). Wine's
// manager leaves lpDependencies empty: then the "DependOnService" value it keeps is read.
std::vector<std::wstring> QueryDependencies(SC_HANDLE service, const std::wstring& name) {
    std::vector<BYTE> buffer;
    const wchar_t* list = nullptr;
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed != 0) {
        buffer.resize(needed);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(service, config, needed, &needed) && config->lpDependencies &&
            *config->lpDependencies)
            list = config->lpDependencies;
    }
    std::vector<wchar_t> stored;
    if (!list) {
        UniqueHkey key;
        DWORD type = 0, size = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str(), 0, KEY_QUERY_VALUE,
                          key.put()) != ERROR_SUCCESS ||
            RegQueryValueExW(key.get(), L"DependOnService", nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            type != REG_MULTI_SZ)
            return {};
        stored.assign(size / sizeof(wchar_t) + 2, L'\0'); // ends in two NULs whatever is stored
        if (RegQueryValueExW(key.get(), L"DependOnService", nullptr, &type,
                             reinterpret_cast<BYTE*>(stored.data()), &size) != ERROR_SUCCESS)
            return {};
        list = stored.data();
    }
    std::vector<std::wstring> names;
    for (const wchar_t* p = list; *p; p += std::wcslen(p) + 1)
        if (*p != SC_GROUP_IDENTIFIERW) names.emplace_back(p);
    return names;
}

// The services of type in state, as the manager enumerates them.
std::vector<std::pair<std::wstring, std::wstring>> EnumerateNames(SC_HANDLE manager, DWORD state) {
    std::vector<std::pair<std::wstring, std::wstring>> names;
    std::vector<BYTE> buffer;
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0, count = 0;
        const BOOL done = EnumServicesStatusW(
            manager, SERVICE_WIN32, state, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
            static_cast<DWORD>(buffer.size()), &needed, &count, &resume);
        const bool more = !done && GetLastError() == ERROR_MORE_DATA;
        if (!done && !more) break;
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            names.emplace_back(entries[i].lpServiceName ? entries[i].lpServiceName : L"",
                               entries[i].lpDisplayName ? entries[i].lpDisplayName : L"");
        if (!more) break;
        if (needed > buffer.size()) buffer.resize(buffer.size() + needed);
    }
    return names;
}

void SetStatus(ServiceRecord& r, const SERVICE_STATUS_PROCESS& s) {
    r.processId = s.dwCurrentState == SERVICE_STOPPED ? 0 : s.dwProcessId;
    r.driver = (s.dwServiceType & SERVICE_DRIVER) != 0;
    r.state = s.dwCurrentState;
    r.exitCode = s.dwWin32ExitCode;
    r.serviceExitCode = s.dwServiceSpecificExitCode;
    r.checkPoint = s.dwCheckPoint;
    r.waitHint = s.dwWaitHint;
}

struct Opened {
    UniqueScHandle manager;
    UniqueScHandle service;
    DWORD error = 0;
};

// The manager and the service with just the rights a command needs.
Opened OpenForCommand(const std::wstring& name, DWORD access) {
    Opened o;
    o.manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!o.manager) {
        o.error = GetLastError();
        return o;
    }
    o.service.reset(OpenServiceW(o.manager.get(), name.c_str(), access));
    if (!o.service) o.error = GetLastError();
    return o;
}

// Waits while keepWaiting(state) holds, asking after the wait hint (100..1000 ms) and giving up
// when the check point has not moved for wait.stall ms or after wait.limit ms in all. The last
// status read, or nothing when a query failed.
std::optional<SERVICE_STATUS> WaitWhile(SC_HANDLE service, const ServiceWait& wait,
                                        const std::function<bool(DWORD)>& keepWaiting) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return std::nullopt;
    DWORD lastCheckPoint = status.dwCheckPoint;
    const ULONGLONG startedAt = TickCount64();
    ULONGLONG progressAt = startedAt;
    while (keepWaiting(status.dwCurrentState)) {
        const ULONGLONG now = TickCount64();
        // A service that names a wait hint is given up after twice that without progress, as
        // the manager itself would; one without a hint gets the whole stall.
        const ULONGLONG stall =
            status.dwWaitHint ? std::clamp<ULONGLONG>(2ull * status.dwWaitHint, 2000, wait.stall)
                              : wait.stall;
        if (now - progressAt >= stall || now - startedAt >= wait.limit) break;
        const DWORD pause = std::clamp<DWORD>(status.dwWaitHint / 10, 100, 1000);
        const ULONGLONG until = TickCount64() + pause;
        while (TickCount64() < until) {
            if (wait.pump) wait.pump();
            Sleep(20);
        }
        if (!QueryServiceStatus(service, &status)) return std::nullopt;
        if (status.dwCheckPoint != lastCheckPoint) {
            lastCheckPoint = status.dwCheckPoint;
            progressAt = TickCount64();
        }
    }
    return status;
}

} // namespace

std::wstring StateText(DWORD state) {
    static const wchar_t* const kTexts[] = {
        L"",        L"Stopped",        L"Starting",      L"Stopping",
        L"Running", L"Resume pending", L"Pause pending", L"Paused"};
    return state < 8 ? kTexts[state] : L"";
}

std::wstring StartTypeText(DWORD startType, bool delayed) {
    if (delayed && startType == SERVICE_AUTO_START) return L"Automatic (Delayed Start)";
    static const wchar_t* const kTexts[] = {L"Boot start", L"System start", L"Auto start",
                                            L"Demand start", L"Disabled"};
    return startType < 5 ? kTexts[startType] : L"";
}

std::wstring SvchostGroup(std::wstring_view command) {
    const std::wstring lower = ToLower(command);
    static constexpr std::wstring_view kHost = L"svchost.exe";
    const size_t at = lower.find(kHost);
    // svchost.exe must be the program: its whole file name, then a quote, a blank or the end.
    if (at == std::wstring::npos || (at > 0 && lower[at - 1] != L'\\' && lower[at - 1] != L'"'))
        return L"";
    size_t p = at + kHost.size();
    if (p < lower.size() && lower[p] == L'"') ++p;
    if (p < lower.size() && lower[p] != L' ') return L"";
    // The arguments, blank-separated, quotes dropped.
    std::vector<std::wstring> args;
    for (const std::wstring& piece : Split(command.substr(p), L' ')) {
        std::wstring arg = piece;
        std::erase(arg, L'"');
        if (!arg.empty()) args.push_back(arg);
    }
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == L"-k" || args[i] == L"-K" || args[i] == L"/k" || args[i] == L"/K")
            return args[i + 1];
    return L"";
}

std::optional<IndirectString> ParseIndirectString(std::wstring_view text) {
    const size_t comma = text.find(L',');
    if (text.empty() || text[0] != L'@' || comma == std::wstring_view::npos) return std::nullopt;
    const std::wstring number(text.substr(comma + 1));
    return IndirectString{std::wstring(text.substr(1, comma - 1)),
                          static_cast<int>(std::wcstol(number.c_str(), nullptr, 10))};
}

std::wstring ResolveIndirectString(const std::wstring& text) {
    const std::optional<IndirectString> reference = ParseIndirectString(text);
    if (!reference) return text;
    const std::wstring file = ExpandEnvironment(reference->file);
    if (file.empty()) return text;
    // As data only: a DLL named in the registry must not run its start-up code in this
    // administrator's process. Windows before Vista refuses LOAD_LIBRARY_AS_IMAGE_RESOURCE.
    UniqueHmodule library(LoadLibraryExW(
        file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!library) library.reset(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!library) return text;
    wchar_t buffer[256] = {};
    const int length = LoadStringW(library.get(), static_cast<UINT>(-reference->id), buffer, 256);
    return std::wstring(buffer, static_cast<size_t>(std::max(length, 0)));
}

std::wstring ServiceDescription(const std::wstring& serviceName, const std::wstring& displayName) {
    std::wstring d = ReadValueAsText(kHklm, kServicesKey + serviceName, L"Description");
    d.erase(std::remove(d.begin(), d.end(), L'"'), d.end());
    if (!d.empty() && d[0] == L'@') d = ResolveIndirectString(d);
    if (d.empty()) d = displayName;
    d.erase(std::remove(d.begin(), d.end(), L'\n'), d.end());
    return d;
}

std::wstring ServiceIdentity(const ServiceRecord& record) {
    return IdentityKey({record.name});
}

bool LooksLikeWindowsOwn(std::wstring_view file, std::wstring_view windowsFolder,
                         std::wstring_view company) {
    return !windowsFolder.empty() && file.size() > windowsFolder.size() &&
           ToLower(file.substr(0, windowsFolder.size())) == ToLower(windowsFolder) &&
           ToLower(company).find(L"microsoft") != std::wstring::npos;
}

std::vector<RowContent> ServiceRows(const std::vector<ServiceRecord>& records, bool hideWindows) {
    std::vector<RowContent> rows;
    rows.reserve(records.size());
    for (const ServiceRecord& r : records)
        if (!hideWindows || !r.windowsOwn)
            rows.push_back(
                {ServiceIdentity(r),
                 {r.displayName, StateText(r.state), StartTypeText(r.startType, r.delayedStart),
                  r.binaryPath, r.description, r.account,
                  r.processId ? std::to_wstring(r.processId) : L"", SvchostGroup(r.binaryPath),
                  r.driver ? L"Driver" : L"Service"},
                 r.id,
                 r.icon ? r.icon->get() : nullptr,
                 r.fileMissing});
    return rows;
}

ServicesKeyWatch::ServicesKeyWatch() {
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, std::wstring(kServicesKey).c_str(), 0, KEY_NOTIFY,
                  key_.put());
    event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

bool ServicesKeyWatch::Changed() {
    const bool changed = !armed_ || WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0;
    if (changed) {
        // Watching again before the caller reads, so that no change slips through between.
        ResetEvent(event_.get());
        armed_ = key_ && event_ &&
                 RegNotifyChangeKeyValue(key_.get(), TRUE,
                                         REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                         event_.get(), TRUE) == ERROR_SUCCESS;
    }
    return changed;
}

std::vector<ServiceRecord> CollectServices(std::vector<ServiceRecord> previous, bool drivers,
                                           ServicesKeyWatch* watch) {
    // Nothing of the services' registry changed: a record whose status stands keeps what was
    // read of its configuration.
    const bool keyUnchanged = watch && !watch->Changed();
    std::unordered_map<std::wstring, ServiceRecord*> known;
    for (ServiceRecord& record : previous)
        known.emplace(ServiceIdentity(record), &record);

    std::vector<ServiceRecord> records;
    const std::wstring windowsFolder = SpecialFolderPath(CSIDL_WINDOWS);
    // Listing needs no administrator: enumerate and query only.
    UniqueScHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT));
    std::vector<BYTE> buffer;
    DWORD resume = 0;
    for (bool more = static_cast<bool>(manager); more;) {
        DWORD needed = 0;
        DWORD count = 0;
        // The Ex form (Windows 2000 on) also gives each running service's process.
        BOOL done = EnumServicesStatusExW(
            manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | (drivers ? SERVICE_DRIVER : 0),
            SERVICE_STATE_ALL, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count,
            &resume, nullptr);
        more = !done && GetLastError() == ERROR_MORE_DATA;
        if (!done && !more) break;
        if (count == 0 && more) {
            buffer.resize(needed);
            continue;
        }
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            const ENUM_SERVICE_STATUS_PROCESSW& entry = entries[i];
            ServiceRecord r;
            r.name = entry.lpServiceName ? entry.lpServiceName : L"";
            const SERVICE_STATUS_PROCESS& s = entry.ServiceStatusProcess;
            auto same = known.find(ServiceIdentity(r));
            if (keyUnchanged && same != known.end() && same->second->id != 0 &&
                same->second->state == s.dwCurrentState &&
                same->second->processId ==
                    (s.dwCurrentState == SERVICE_STOPPED ? 0 : s.dwProcessId)) {
                records.push_back(std::move(*same->second));
                same->second->id = 0;
                SetStatus(records.back(), s);
                continue;
            }
            const std::wstring enumeratedName = entry.lpDisplayName ? entry.lpDisplayName : L"";
            r.description = ServiceDescription(r.name, enumeratedName);
            r.displayName = enumeratedName.starts_with(L"@") ? ResolveIndirectString(enumeratedName)
                                                             : enumeratedName;
            UniqueScHandle service(OpenServiceW(manager.get(), r.name.c_str(),
                                                SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
            if (service) {
                QueryConfig(service.get(), r.startType, r.binaryPath, &r.account);
                const std::optional<bool> delayed = QueryDelayed(service.get());
                r.delayedKnown = delayed.has_value();
                r.delayedStart = delayed.value_or(false);
            }
            r.serviceDll =
                ReadValueAsText(kHklm, kServicesKey + r.name + L"\\Parameters", L"ServiceDll");
            if (r.binaryPath.empty())
                r.binaryPath = ReadValueAsText(kHklm, kServicesKey + r.name, L"ImagePath");
            SetStatus(r, s);
            r.fileMissing = !Exists(CommandToFilePath(r.binaryPath)) ||
                            (!r.serviceDll.empty() && !Exists(r.serviceDll));
            bool keepIcon = false;
            if (same != known.end() && same->second->id != 0) {
                // Found again: its id stays, and its icon while the command is the same, so
                // the row is not rewritten.
                r.id = same->second->id;
                same->second->id = 0;
                keepIcon = same->second->binaryPath == r.binaryPath;
                if (keepIcon) r.icon = std::move(same->second->icon);
            } else {
                r.id = NewRecordId();
            }
            if (!keepIcon) {
                UniqueHicon icon = SmallIconOf(r.binaryPath, 0);
                if (icon) r.icon = std::make_shared<UniqueHicon>(std::move(icon));
            }
            const std::wstring file =
                r.serviceDll.empty() ? CommandToFilePath(r.binaryPath) : r.serviceDll;
            // The version resource only of files in the Windows folder.
            r.windowsOwn = LooksLikeWindowsOwn(file, windowsFolder, L"microsoft") &&
                           LooksLikeWindowsOwn(file, windowsFolder,
                                               QueryVersionString(file, kCompanyName, false));
            records.push_back(std::move(r));
        }
        if (!more) break;
        if (needed > buffer.size()) buffer.resize(needed);
    }
    for (const ServiceRecord& old : previous)
        if (old.id != 0) ReleaseRecordId(old.id);
    return records;
}

std::wstring PaddedCopyLine(const std::vector<std::wstring>& columns) {
    std::wstring line;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += L"     ";
        line += i == 0 ? Fit(columns[i], 50) : i < 3 ? Fit(columns[i], 20) : columns[i];
    }
    return line + L"\r\n";
}

std::vector<std::wstring> ServiceExportLines(const ServiceRecord& r) {
    std::vector<std::wstring> lines = {
        L"Service name: " + r.name,
        L"Display name: " + r.displayName,
        L"Description: " + r.description,
        L"Image path: " + r.binaryPath,
        L"Image path MD5: " + FileMd5(CommandToFilePath(r.binaryPath)),
    };
    if (!r.serviceDll.empty()) {
        lines.push_back(L"Service DLL: " + r.serviceDll);
        lines.push_back(L"Service DLL MD5: " + FileMd5(r.serviceDll));
    }
    lines.push_back(L"Startup type: " + StartTypeText(r.startType));
    lines.push_back(L"Current state: " + StateText(r.state));
    return lines;
}

ServiceResult StartServiceByName(const std::wstring& name, const ServiceWait& wait) {
    Opened o = OpenForCommand(name, SERVICE_START | SERVICE_QUERY_STATUS);
    if (!o.service) return {false, o.error};
    if (!StartServiceW(o.service.get(), 0, nullptr)) return {false, GetLastError()};
    const auto status =
        WaitWhile(o.service.get(), wait, [](DWORD s) { return s == SERVICE_START_PENDING; });
    // Started means seen running.
    if (status && status->dwCurrentState == SERVICE_RUNNING) return {true, 0};
    if (!status || status->dwCurrentState == SERVICE_START_PENDING)
        return {false, ERROR_SERVICE_REQUEST_TIMEOUT};
    return {false, status->dwWin32ExitCode ? status->dwWin32ExitCode : ERROR_SERVICE_NOT_ACTIVE};
}

bool StopServiceByName(const std::wstring& name, const ServiceWait& wait) {
    Opened o = OpenForCommand(name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!o.service) return false;
    SERVICE_STATUS status{};
    if (!ControlService(o.service.get(), SERVICE_CONTROL_STOP, &status)) return false;
    const auto last =
        WaitWhile(o.service.get(), wait, [](DWORD s) { return s == SERVICE_STOP_PENDING; });
    // Stopped means seen stopped.
    return last && last->dwCurrentState == SERVICE_STOPPED;
}

ServiceResult DeleteServiceByName(const std::wstring& name, const ServiceWait& wait) {
    Opened o = OpenForCommand(name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    // A service already marked for deletion may refuse to open: that is worth saying.
    if (!o.service) return {false, o.error == ERROR_SERVICE_MARKED_FOR_DELETE ? o.error : 0};
    SERVICE_STATUS status{};
    ControlService(o.service.get(), SERVICE_CONTROL_STOP, &status);
    const auto last =
        WaitWhile(o.service.get(), wait, [](DWORD s) { return s != SERVICE_STOPPED; });
    if (!last || last->dwCurrentState != SERVICE_STOPPED) return {false, 0};
    // The manager marks it and removes it once the last handle to it is closed.
    if (!DeleteService(o.service.get())) return {false, GetLastError()};
    return {true, 0};
}

bool SetServiceStartType(const std::wstring& name, DWORD startType, bool delayed) {
    Opened o = OpenForCommand(name, SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG);
    if (!o.service) return false;
    delayed = delayed && startType == SERVICE_AUTO_START;
    const auto change = changeConfig2.get();
    if (delayed && !change) return false;
    // The flag first: where the system refuses it, nothing has changed. Plain automatic clears
    // it; the other types ignore it, so it stays as it is.
    const std::optional<bool> wasDelayed = QueryDelayed(o.service.get());
    if (startType == SERVICE_AUTO_START && change && (delayed || wasDelayed.value_or(false))) {
        DelayedAutoStartInfo info{delayed ? TRUE : FALSE};
        if (!change(o.service.get(), kDelayedAutoStartInfo, &info)) return false;
    }
    if (!ChangeServiceConfigW(o.service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        return false;
    // Changed means read back.
    DWORD readBack = 0;
    std::wstring path;
    if (!QueryConfig(o.service.get(), readBack, path) || readBack != startType) return false;
    return startType != SERVICE_AUTO_START || !change ||
           QueryDelayed(o.service.get()).value_or(false) == delayed;
}

bool DelayedStartAvailable() {
    return changeConfig2.get() != nullptr && queryConfig2.get() != nullptr;
}

std::vector<std::wstring> DependentsStopOrder(
    const std::wstring& root,
    const std::function<std::vector<std::wstring>(const std::wstring&)>& dependentsOf) {
    std::vector<std::wstring> order;
    std::unordered_set<std::wstring> seen{ToLower(root)};
    // Depth first: a service goes into the order after everything that depends on it.
    std::function<void(const std::wstring&)> visit = [&](const std::wstring& service) {
        for (const std::wstring& dependent : dependentsOf(service)) {
            if (!seen.insert(ToLower(dependent)).second) continue;
            visit(dependent);
            order.push_back(dependent);
        }
    };
    visit(root);
    return order;
}

std::vector<DependentService> RunningDependents(const std::wstring& name) {
    UniqueScHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT));
    if (!manager) return {};
    // Who depends on whom among the running services, by their own dependency lists.
    std::unordered_map<std::wstring, std::vector<std::wstring>> dependents;
    std::unordered_map<std::wstring, std::wstring> displayNames;
    for (const auto& [service, display] : EnumerateNames(manager.get(), SERVICE_ACTIVE)) {
        displayNames[ToLower(service)] = display;
        UniqueScHandle handle(OpenServiceW(manager.get(), service.c_str(), SERVICE_QUERY_CONFIG));
        if (!handle) continue;
        for (const std::wstring& dependency : QueryDependencies(handle.get(), service))
            dependents[ToLower(dependency)].push_back(service);
    }
    auto dependentsOf = [&](const std::wstring& service) {
        std::vector<std::wstring> found = dependents[ToLower(service)];
        UniqueScHandle handle(
            OpenServiceW(manager.get(), service.c_str(), SERVICE_ENUMERATE_DEPENDENTS));
        DWORD needed = 0, count = 0;
        if (handle &&
            !EnumDependentServicesW(handle.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count) &&
            GetLastError() == ERROR_MORE_DATA) {
            std::vector<BYTE> buffer(needed);
            auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
            if (EnumDependentServicesW(handle.get(), SERVICE_ACTIVE, entries, needed, &needed,
                                       &count))
                for (DWORD i = 0; i < count; ++i)
                    if (entries[i].lpServiceName) found.emplace_back(entries[i].lpServiceName);
        }
        return found;
    };
    std::vector<DependentService> order;
    for (const std::wstring& service : DependentsStopOrder(name, dependentsOf)) {
        const auto display = displayNames.find(ToLower(service));
        if (display != displayNames.end()) order.push_back({service, display->second});
    }
    return order;
}

namespace {
DWORD CurrentState(const std::wstring& name) {
    Opened o = OpenForCommand(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    return o.service && QueryServiceStatus(o.service.get(), &status) ? status.dwCurrentState : 0;
}
} // namespace

ChainResult StopWithDependents(const std::wstring& name,
                               const std::vector<DependentService>& dependents,
                               const ServiceWait& wait) {
    ChainResult result;
    for (const DependentService& d : dependents)
        // One that has stopped meanwhile is stopped all the same.
        if (!StopServiceByName(d.name, wait) && CurrentState(d.name) != SERVICE_STOPPED)
            result.failures.push_back(d.displayName);
    result.ok = StopServiceByName(name, wait) || CurrentState(name) == SERVICE_STOPPED;
    return result;
}

ChainResult StartWithDependents(const std::wstring& name,
                                const std::vector<DependentService>& dependents,
                                const ServiceWait& wait) {
    ChainResult result;
    const ServiceResult started = StartServiceByName(name, wait);
    result.ok = started.ok;
    result.error = started.error;
    if (!started.ok) return result;
    for (auto d = dependents.rbegin(); d != dependents.rend(); ++d) {
        const ServiceResult again = StartServiceByName(d->name, wait);
        if (!again.ok)
            result.failures.push_back(d->displayName + L" (error code " +
                                      std::to_wstring(again.error) + L")");
    }
    return result;
}

} // namespace mdr
