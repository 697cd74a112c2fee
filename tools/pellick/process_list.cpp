// Pellick's model: process and module snapshots, the checked kill, the safe removal of a
// program file and the start of programs.
#include "tools/pellick/process_list.h"

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "common/icon_file.h"
#include "common/export_text.h"
#include "common/format.h"
#include "common/late_bound.h"
#include "common/record_ids.h"
#include "common/text.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_backup.h"

namespace mdr {

namespace {

// Least access first; the older rights where the limited right is unknown (before Vista).
UniqueHandle OpenForQuery(DWORD pid, DWORD extra) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | extra, FALSE, pid));
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION | extra, FALSE, pid));
    return process;
}

const std::wstring& WindowsFolder() {
    static const std::wstring folder = SpecialFolderPath(CSIDL_WINDOWS);
    return folder;
}

uint64_t Ticks(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

uint64_t Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// The name GetModuleFileNameExW gives, normalised; "" when it gives none.
std::wstring ModuleNameOf(HANDLE process) {
    std::wstring name(1024, L'\0');
    const DWORD length = GetModuleFileNameExW(process, nullptr, name.data(), 1024);
    if (length == 0) return L"";
    name.resize(length);
    return NormaliseProcessPath(name, WindowsFolder(), LongPathName);
}

// The normalised image path of process pid (process: opened with PROCESS_VM_READ, or empty),
// "" when it cannot be opened or named.
std::wstring ImagePathOf(DWORD pid, HANDLE process) {
    if (process) {
        std::wstring path = ModuleNameOf(process);
        if (!path.empty()) return path;
    }
    // Named from the kernel's record where the process's own memory cannot be read.
    UniqueHandle limited = OpenForQuery(pid, 0);
    return limited ? ProcessImagePath(limited.get()) : L"";
}

// The drives and the devices they are mounted on ("C:", "\Device\HarddiskVolume1").
std::vector<std::pair<std::wstring, std::wstring>> DosDevices() {
    std::vector<std::pair<std::wstring, std::wstring>> devices;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const wchar_t drive[] = {static_cast<wchar_t>(L'A' + i), L':', L'\0'};
        wchar_t device[MAX_PATH] = {};
        if ((drives >> i & 1) && QueryDosDeviceW(drive, device, MAX_PATH))
            devices.emplace_back(drive, device);
    }
    return devices;
}

struct Times {
    bool read = false;
    uint64_t created = 0;
    uint64_t cpu = 0; // kernel + user
};

Times TimesOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
    return {true, Ticks(created), Ticks(kernel) + Ticks(user)};
}

// The working set and the private memory in bytes; 0 where they cannot be read.
std::pair<uint64_t, uint64_t> MemoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!process) return {0, 0};
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters)))
        // The commit charge is the private memory too; Wine fills only that field for other
        // processes.
        return {counters.WorkingSetSize,
                counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage};
    // Windows XP before its second service pack knows only the shorter record.
    counters.cb = sizeof(PROCESS_MEMORY_COUNTERS);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(PROCESS_MEMORY_COUNTERS)))
        return {0, 0};
    return {counters.WorkingSetSize, counters.PagefileUsage};
}

uint64_t WorkingSetOf(HANDLE process) {
    return MemoryOf(process).first;
}

unsigned Processors() {
    static const unsigned count = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return static_cast<unsigned>(info.dwNumberOfProcessors);
    }();
    return count;
}

// SYSTEM_PROCESS_INFORMATION up to the parent's id; its fields fall on the same offsets in
// both widths as the compiler lays them out.
struct SystemProcessEntry {
    ULONG next;
    ULONG threads;
    LARGE_INTEGER reserved[3];
    LARGE_INTEGER created, user, kernel;
    USHORT nameLength, nameMax;
    PWSTR name;
    LONG basePriority;
    ULONG_PTR pid, parentPid;
};

struct SystemFacts {
    uint64_t cpu = 0; // kernel + user
    DWORD parentPid = 0;
};

// Every process's processor time and parent in one call, where GetProcessTimes of another
// process gives no times (Wine); their ids in the system's order into pids. Empty when the call
// is missing or fails.
std::map<DWORD, SystemFacts> SystemProcesses(std::vector<DWORD>& pids) {
    static const LateBound<LONG(WINAPI*)(int, PVOID, ULONG, PULONG)> querySystem(
        L"ntdll.dll", "NtQuerySystemInformation", kWindowsXp);
    constexpr int kSystemProcessInformation = 5;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    static std::vector<char> buffer(256 * 1024); // kept between refreshes: one thread uses it
    std::map<DWORD, SystemFacts> facts;
    const auto query = querySystem.get();
    if (!query) return facts;
    LONG status = kLengthMismatch;
    for (int tries = 0; tries < 4 && status == kLengthMismatch; ++tries) {
        ULONG needed = 0;
        status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kLengthMismatch)
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 64 * 1024));
    }
    if (status < 0) return facts;
    for (size_t at = 0; at + sizeof(SystemProcessEntry) <= buffer.size();) {
        SystemProcessEntry entry;
        memcpy(&entry, buffer.data() + at, sizeof(entry));
        pids.push_back(static_cast<DWORD>(entry.pid));
        facts[static_cast<DWORD>(entry.pid)] = {
            static_cast<uint64_t>(entry.user.QuadPart + entry.kernel.QuadPart),
            static_cast<DWORD>(entry.parentPid)};
        if (entry.next == 0) break;
        at += entry.next;
    }
    return facts;
}

// The edition-specific part: the environment-block layout of this edition's own width. The
// 64-bit edition reads the 64-bit block, which a 32-bit process on 64-bit Windows has too.
constexpr const PebLayout& kOwnPeb = sizeof(void*) == 8 ? kPeb64 : kPeb32;

bool WindowsIs64() {
    static const bool is64 = sizeof(void*) == 8 || RunsUnderWow64();
    return is64;
}

int BitsOf(HANDLE process) {
    if (!WindowsIs64()) return 32;
    static const LateBound<BOOL(WINAPI*)(HANDLE, PBOOL)> isWow64Process(
        L"kernel32.dll", "IsWow64Process", kWindowsXpSp2);
    BOOL wow64 = FALSE;
    const auto query = isWow64Process.get();
    if (!process || !query || !query(process, &wow64)) return 0;
    return wow64 ? 32 : 64;
}

// PROCESS_BASIC_INFORMATION, every field as wide as an address.
struct BasicInformation {
    ULONG_PTR exitStatus;
    ULONG_PTR peb;
    ULONG_PTR affinity;
    ULONG_PTR basePriority;
    ULONG_PTR pid;
    ULONG_PTR parentPid;
};

// What does not change while the process runs: its parent's id, its width and its command
// line. Nothing here fails the refresh; what cannot be read stays unknown.
void ReadLineage(HANDLE process, ProcessRecord& record) {
    static const LateBound<LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG)> queryInformation(
        L"ntdll.dll", "NtQueryInformationProcess", kWindowsXp);
    record.bits = BitsOf(process);
    record.commandLine = kNotAvailable;
    BasicInformation basic{};
    ULONG size = 0;
    const auto query = queryInformation.get();
    if (!process || !query || query(process, 0, &basic, sizeof(basic), &size) < 0) return;
    record.parentPid = static_cast<DWORD>(basic.parentPid);
    if (!EditionReaches(record.bits) || basic.peb == 0) return;
    auto line = CommandLineAt(basic.peb, kOwnPeb, [process](uint64_t at, void* into, size_t n) {
        SIZE_T got = 0;
        return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(at)),
                                 into, n, &got) &&
               got == n;
    });
    if (line) record.commandLine = std::move(*line);
}

int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring FilePart(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool WriteNewTextFile(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const std::wstring& line : lines)
        bytes += ToUtf8(line) + "\r\n";
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

} // namespace

std::wstring NormaliseProcessPath(std::wstring_view name, std::wstring_view windowsFolder,
                                  std::wstring (*longForm)(const std::wstring&)) {
    std::wstring path = ReplaceAllNoCase(name, L"\\??\\", L"");
    path = ReplaceAllNoCase(path, L"\\SystemRoot\\", windowsFolder);
    if (longForm && path.find(L'~') != std::wstring::npos) {
        std::wstring longPath = longForm(path);
        if (!longPath.empty()) path = std::move(longPath);
    }
    return path;
}

std::wstring DrivePathOf(std::wstring_view devicePath,
                         const std::vector<std::pair<std::wstring, std::wstring>>& devices) {
    for (const auto& [drive, device] : devices) {
        if (devicePath.size() > device.size() && devicePath[device.size()] == L'\\' &&
            StartsWithNoCase(devicePath, device))
            return drive + std::wstring(devicePath.substr(device.size()));
    }
    return std::wstring(devicePath);
}

std::wstring LongPathName(const std::wstring& path) {
    std::wstring result(MAX_PATH, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), result.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    result.resize(length);
    return result;
}

std::wstring MemText(uint64_t workingSetBytes) {
    return std::to_wstring(workingSetBytes / 1024) + L"K";
}

std::wstring PaddedPid(DWORD pid) {
    std::wstring text = std::to_wstring(pid);
    if (text.size() < 5) text.insert(0, 5 - text.size(), L' ');
    return text;
}

std::vector<int> ParentsOf(const std::vector<ProcessRecord>& records) {
    std::vector<Lineage> lineage;
    lineage.reserve(records.size());
    for (const ProcessRecord& r : records)
        lineage.push_back({r.pid, r.parentPid, r.created});
    return ParentIndexes(lineage);
}

std::wstring ParentText(const ProcessRecord& record, const ProcessRecord* parent) {
    if (parent) return FilePart(parent->path) + L" (" + std::to_wstring(parent->pid) + L")";
    return record.parentPid ? std::to_wstring(record.parentPid) : L"";
}

std::vector<RowContent> ProcessRows(const std::vector<ProcessRecord>& records,
                                    const std::vector<int>& depths) {
    std::vector<RowContent> rows;
    rows.reserve(records.size());
    const std::vector<int> parents = ParentsOf(records);
    for (size_t i = 0; i < records.size(); ++i) {
        const ProcessRecord& r = records[i];
        const std::wstring pid = std::to_wstring(r.pid);
        const ProcessRecord* parent = parents[i] < 0 ? nullptr : &records[size_t(parents[i])];
        rows.push_back(
            {IdentityKey({r.path, pid}),
             {i < depths.size() ? std::wstring(4 * size_t(depths[i]), L' ') + r.path : r.path, pid,
              MemText(r.workingSet), r.cpu, PrivateMemoryText(r.privateBytes),
              ParentText(r, parent), r.bits ? std::to_wstring(r.bits) : L"", r.commandLine},
             r.id,
             r.icon ? r.icon->get() : nullptr,
             false});
    }
    return rows;
}

std::wstring ProcessImagePath(HANDLE process) {
    static const LateBound<BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD)> queryFullName(
        L"kernel32.dll", "QueryFullProcessImageNameW", kWindowsVista);
    std::wstring name(1024, L'\0');
    DWORD length = 1024;
    if (const auto query = queryFullName.get()) {
        if (!query(process, 0, name.data(), &length)) length = 0;
    } else {
        length = GetProcessImageFileNameW(process, name.data(), 1024);
        name = DrivePathOf(std::wstring_view(name).substr(0, length), DosDevices());
        length = length ? static_cast<DWORD>(name.size()) : 0;
    }
    if (length == 0) return L"";
    name.resize(length);
    return NormaliseProcessPath(name, WindowsFolder(), LongPathName);
}

std::vector<ProcessRecord> EnumerateProcesses(std::vector<ProcessRecord> old, bool* ok) {
    if (ok) *ok = false;
    // The system's process list gives the ids with the processor times in one call; the ids
    // alone where it fails (a tool-help snapshot also gathers every thread, many times the cost).
    const uint64_t listedAt = Now();
    std::vector<DWORD> pids;
    const std::map<DWORD, SystemFacts> system = SystemProcesses(pids);
    if (system.empty()) {
        pids.resize(1024);
        for (;;) {
            DWORD bytes = 0;
            const DWORD size = static_cast<DWORD>(pids.size() * sizeof(DWORD));
            if (!EnumProcesses(pids.data(), size, &bytes)) return old;
            if (bytes < size) {
                pids.resize(bytes / sizeof(DWORD));
                break;
            }
            pids.resize(pids.size() * 2);
        }
    }
    std::map<DWORD, ProcessRecord*> previous;
    for (ProcessRecord& record : old)
        previous[record.pid] = &record;
    std::vector<ProcessRecord> records;
    for (const DWORD pid : pids) {
        // One handle per process and refresh: its start time, name and working set.
        UniqueHandle process = OpenForQuery(pid, PROCESS_VM_READ);
        const Times times = TimesOf(process.get());
        const uint64_t created = times.created;
        auto found = previous.find(pid);
        ProcessRecord* prior =
            found != previous.end() && found->second->id != 0 ? found->second : nullptr;
        ProcessRecord record;
        if (prior && created != 0 && prior->created == created) {
            // The same process as before: its name has not changed, so it is not read again.
            record = std::move(*prior);
        } else {
            std::wstring path = ImagePathOf(pid, process.get());
            if (path.empty()) continue;
            if (prior && created == 0 && prior->created == 0 && EqualsNoCase(prior->path, path)) {
                record = std::move(*prior);
            } else {
                prior = nullptr;
                record = ProcessRecord{};
                record.path = std::move(path);
                record.pid = pid;
                record.id = NewRecordId();
                record.listedAt = listedAt;
                record.created = created;
                if (UniqueHicon icon = SmallIconOf(record.path, 0))
                    record.icon = std::make_shared<UniqueHicon>(std::move(icon));
                ReadLineage(process.get(), record);
                if (const auto facts = system.find(pid); facts != system.end())
                    record.parentPid = facts->second.parentPid;
            }
        }
        if (prior) prior->id = 0; // taken over
        std::tie(record.workingSet, record.privateBytes) = MemoryOf(process.get());
        const auto facts = system.find(pid);
        const CpuSample sample{facts != system.end() ? facts->second.cpu : times.cpu,
                               facts != system.end() || times.read ? listedAt : 0};
        record.cpu = CpuText(record.cpuSample, sample, Processors());
        record.cpuSample = sample;
        records.push_back(std::move(record));
    }
    for (const ProcessRecord& gone : old)
        if (gone.id != 0) ReleaseRecordId(gone.id);
    if (ok) *ok = true;
    return records;
}

bool EditionReaches(int bits) {
    return sizeof(void*) == 8 || bits != 64;
}

uint64_t WorkingSetOf(DWORD pid) {
    UniqueHandle process = OpenForQuery(pid, PROCESS_VM_READ);
    return WorkingSetOf(process.get());
}

std::vector<ModuleRecord> EnumerateModules(DWORD pid, std::vector<ModuleRecord> old) {
    for (const ModuleRecord& module : old)
        ReleaseRecordId(module.id);
    std::vector<ModuleRecord> modules;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return modules;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!Module32FirstW(snapshot.get(), &entry)) return modules;
    UniqueHandle process = OpenForQuery(pid, PROCESS_VM_READ);
    if (!process) return modules;
    // The first entry is the program file itself, shown in the process list already.
    while (Module32NextW(snapshot.get(), &entry)) {
        std::wstring name(1024, L'\0');
        const DWORD length = GetModuleFileNameExW(process.get(), entry.hModule, name.data(), 1024);
        if (length == 0) continue;
        name.resize(length);
        wchar_t base[20];
        swprintf(base, 20, L"%llX",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(entry.modBaseAddr)));
        modules.push_back({NormaliseProcessPath(name, WindowsFolder(), LongPathName), base,
                           FormatByteSize(entry.modBaseSize, 2), NewRecordId()});
    }
    return modules;
}

std::wstring KillFailureText(KillOutcome outcome) {
    switch (outcome) {
    case KillOutcome::Killed:
        return L"";
    case KillOutcome::Gone:
        return L"it had already ended";
    case KillOutcome::Denied:
        return L"access was denied";
    case KillOutcome::Protected:
        return L"it is a protected process";
    case KillOutcome::Failed:
        break;
    }
    return L"it could not be ended";
}

namespace {

struct WindowSearch {
    DWORD pid;
    int posted;
};

BOOL CALLBACK PostCloseIfOwned(HWND window, LPARAM lp) {
    auto& search = *reinterpret_cast<WindowSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Unowned windows only: a close sent to a program's own question would answer it.
    if (owner == search.pid && IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
        PostMessageW(window, WM_CLOSE, 0, 0))
        ++search.posted;
    return TRUE;
}

} // namespace

int PostCloseToWindows(DWORD pid) {
    WindowSearch search{pid, 0};
    EnumWindows(PostCloseIfOwned, reinterpret_cast<LPARAM>(&search));
    return search.posted;
}

DWORD DesktopProcessId() {
    DWORD pid = 0;
    if (HWND shell = GetShellWindow()) GetWindowThreadProcessId(shell, &pid);
    return pid;
}

KillOutcome KillProcess(const ProcessRecord& record) {
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, record.pid));
    if (!process) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PARAMETER) return KillOutcome::Gone;
        if (error != ERROR_ACCESS_DENIED) return KillOutcome::Failed;
        // A protected process opens for the limited query alone, even to an administrator.
        UniqueHandle full(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, record.pid));
        UniqueHandle limited(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.pid));
        return !full && limited ? KillOutcome::Protected : KillOutcome::Denied;
    }
    if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return KillOutcome::Gone;
    // The id may have been handed to a new process since the list was made.
    {
        UniqueHandle named = OpenForQuery(record.pid, PROCESS_VM_READ);
        if (!EqualsNoCase(ImagePathOf(record.pid, named.get()), record.path))
            return KillOutcome::Gone;
    }
    if (UniqueHandle query = OpenForQuery(record.pid, 0)) {
        FILETIME created{}, exited{}, kernel{}, user{};
        if (GetProcessTimes(query.get(), &created, &exited, &kernel, &user) &&
            Ticks(created) > record.listedAt)
            return KillOutcome::Gone;
    }
    if (!TerminateProcess(process.get(), 1)) {
        return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 ? KillOutcome::Gone
                                                                      : KillOutcome::Failed;
    }
    // Reported as killed only once it is seen ended.
    return WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0 ? KillOutcome::Killed
                                                                      : KillOutcome::Failed;
}

std::wstring FreeFileName(const std::wstring& folder, const std::wstring& name) {
    std::wstring candidate = folder + name;
    const size_t dot = name.find_last_of(L'.');
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
    const std::wstring extension = stem.size() == name.size() ? L"" : name.substr(dot);
    for (int n = 2; GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        candidate = folder + stem + L" (" + std::to_wstring(n) + L")" + extension;
    return candidate;
}

std::vector<std::wstring> BackupNoteLines(const std::wstring& date, const std::wstring& original,
                                          const std::wstring& copy) {
    return {L"MDR Pellick - file backup",
            L"Date: " + date,
            L"",
            L"Original file: " + original,
            L"Backup file: " + copy,
            L"",
            L"If your system becomes unstable copy the file back to its original location."};
}

RemoveOutcome BackUpAndRemoveFile(const std::wstring& path, const std::wstring& desktop,
                                  const std::wstring& date) {
    RemoveOutcome outcome;
    const std::wstring name = FilePart(path);
    outcome.copy = FreeFileName(desktop, name);
    // The file goes only when a copy of the same size is known to be on the desktop.
    const int64_t size = FileSize(path);
    if (desktop.empty() || size < 0 || !CopyFileW(path.c_str(), outcome.copy.c_str(), TRUE) ||
        FileSize(outcome.copy) != size) {
        outcome.kind = RemoveOutcome::CopyFailed;
        return outcome;
    }
    const std::wstring note = FreeFileName(desktop, name + L".txt");
    if (WriteNewTextFile(note, BackupNoteLines(date, path, outcome.copy))) outcome.note = note;
    // A file another program holds open stays; the check does not depend on how the Recycle
    // Bin moves files.
    UniqueFile probe(CreateFileW(path.c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (!probe) {
        outcome.kind = RemoveOutcome::NotDeleted;
        return outcome;
    }
    probe.reset();
    outcome.kind = MoveToRecycleBin(path) ? RemoveOutcome::Removed : RemoveOutcome::NotDeleted;
    return outcome;
}

bool RunProgram(const std::wstring& path, bool hidden) {
    const size_t cut = path.find_last_of(L"\\/");
    const std::wstring folder = cut == std::wstring::npos ? L"" : path.substr(0, cut + 1);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

std::vector<std::wstring> ProcessExportLines(const ProcessRecord& record) {
    std::vector<std::wstring> lines{L"PID: " + PaddedPid(record.pid),
                                    L"Process image path: " + record.path, L"File information"};
    for (const std::wstring& line : FileInfoLines(record.path, FileInfoForm::Process))
        lines.push_back(ExportedInfoLine(line));
    lines.push_back(L"Loaded modules");
    std::vector<ModuleRecord> modules = EnumerateModules(record.pid);
    for (const ModuleRecord& module : modules) {
        lines.push_back(L" -> " + module.path + L" (MD5: " + FileMd5(module.path) + L")");
        ReleaseRecordId(module.id);
    }
    return lines;
}

} // namespace mdr
