// MDRPellickBench: with N extra processes running (copies of this program started with
// "--child", which only wait), times one refresh of Pellick's process list (the snapshot, every
// working set and a real list view brought in step), then runs the real Pellick.exe and reports
// the processor time it uses over a period at each refresh speed, as a share of one core.
//
//   MDRPellickBench [--processes N] [--seconds S]
// Every process it started is ended by its id at the end.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/pellick/process_list.h"

using namespace mdr;

namespace {

// Processor time in 100 ns units, as Windows accounts it to the process itself (the system's
// process list, where Wine reports it too; GetProcessTimes of another process gives none
// there). The Linux process's own account (/proc, seen as Z:\proc) is read as well, as it
// includes what Wine spends for it.
uint64_t CpuTicks(DWORD pid) {
    struct Entry { // SYSTEM_PROCESS_INFORMATION up to the process id
        ULONG next, threads;
        LARGE_INTEGER reserved[3], created, user, kernel;
        USHORT length, maximum;
        PWSTR name;
        LONG priority;
        ULONG_PTR pid;
    };
    const auto query =
        reinterpret_cast<LONG(WINAPI*)(int, PVOID, ULONG, PULONG)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(4 << 20);
    ULONG needed = 0;
    if (!query || query(5, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0) return 0;
    for (size_t at = 0; at + sizeof(Entry) <= buffer.size();) {
        Entry entry;
        std::memcpy(&entry, buffer.data() + at, sizeof(entry));
        if (entry.pid == pid)
            return static_cast<uint64_t>(entry.user.QuadPart + entry.kernel.QuadPart);
        if (entry.next == 0) break;
        at += entry.next;
    }
    return 0;
}

uint64_t LinuxTicks(const char* name) {
    uint64_t total = 0;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + found.cFileName;
        FILE* cmd = _wfopen((dir + L"\\cmdline").c_str(), L"rb");
        if (!cmd) continue;
        char line[4096] = {};
        const size_t n = fread(line, 1, sizeof(line) - 1, cmd);
        fclose(cmd);
        for (size_t i = 0; i < n; ++i)
            if (!line[i]) line[i] = ' ';
        if (!std::strstr(line, name)) continue;
        FILE* stat = _wfopen((dir + L"\\stat").c_str(), L"rb");
        if (!stat) continue;
        char text[1024] = {};
        fread(text, 1, sizeof(text) - 1, stat);
        fclose(stat);
        const char* after = std::strrchr(text, ')');
        unsigned long long utime = 0, stime = 0;
        // Fields 14 and 15 (user and system time in clock ticks of 1/100 s) follow 11 others.
        if (after && std::sscanf(after + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                                 &utime, &stime) == 2)
            total += (utime + stime) * 100000;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return total;
}

PROCESS_INFORMATION Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &info);
    return info;
}

void End(PROCESS_INFORMATION& info) {
    if (!info.hProcess) return;
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wcscmp(argv[1], L"--child") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    int count = 100;
    int seconds = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--processes") == 0) count = _wtoi(argv[i + 1]);
        if (std::wcscmp(argv[i], L"--seconds") == 0) seconds = _wtoi(argv[i + 1]);
    }
    InitCommonControls();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::vector<PROCESS_INFORMATION> children;
    for (int i = 0; i < count; ++i)
        children.push_back(Start(self, L"--child"));
    Sleep(2000);

    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", LVS_REPORT, 0, 0, 600, 400, nullptr, nullptr,
                                nullptr, nullptr);
    for (int c = 0; c < 8; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        ListView_InsertColumn(list, c, &column);
    }
    SyncedList synced;
    synced.Attach(list, nullptr);
    std::vector<ProcessRecord> records;
    for (const wchar_t* pass : {L"first", L"again"}) {
        bench::Stopwatch watch;
        records = EnumerateProcesses(std::move(records));
        const int written = synced.Sync(ProcessRows(records));
        std::wprintf(L"refresh (%ls): %zu processes, %d rows written, %.1f ms\n", pass,
                     records.size(), written, watch.Seconds() * 1000.0);
    }

    // The tree view's order of the listed processes.
    {
        bench::Stopwatch watch;
        std::vector<size_t> order(records.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        const size_t rows = TreeOrder(ParentsOf(records), order).size();
        std::wprintf(L"tree: %zu rows ordered in %.3f ms\n", rows, watch.Seconds() * 1000.0);
    }

    // Where a refresh's time goes: the snapshot alone, then one open with each query.
    {
        std::vector<DWORD> pids;
        for (const ProcessRecord& r : records)
            pids.push_back(r.pid);
        bench::Stopwatch watch;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry)) {
        }
        CloseHandle(snapshot);
        std::wprintf(L"  snapshot: %.1f ms\n", watch.Seconds() * 1000.0);
        watch.Restart();
        std::vector<DWORD> ids(4096);
        DWORD bytes = 0;
        EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes);
        std::wprintf(L"  process ids only: %.1f ms\n", watch.Seconds() * 1000.0);
        for (int stage = 0; stage < 3; ++stage) {
            watch.Restart();
            for (DWORD pid : pids) {
                HANDLE h =
                    OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, pid);
                if (!h) continue;
                FILETIME t[4];
                PROCESS_MEMORY_COUNTERS counters{};
                if (stage >= 1) GetProcessTimes(h, &t[0], &t[1], &t[2], &t[3]);
                if (stage >= 2) GetProcessMemoryInfo(h, &counters, sizeof(counters));
                CloseHandle(h);
            }
            std::wprintf(L"  open%ls: %.1f ms\n",
                         stage == 0   ? L""
                         : stage == 1 ? L" + start time"
                                      : L" + start time + working set",
                         watch.Seconds() * 1000.0);
        }
    }

    // The real tool, idle at each speed.
    std::wstring pellick(self);
    pellick = pellick.substr(0, pellick.find_last_of(L'\\'));
    pellick =
        pellick.substr(0, pellick.find_last_of(L'\\')) + L"\\dist\\Plugins\\Tools\\Pellick.exe";
    PROCESS_INFORMATION tool = Start(pellick, L"");
    HWND main = nullptr;
    for (int i = 0; i < 200 && !main; ++i) {
        Sleep(100);
        main = FindWindowW(L"VeltraneMendoraTool", nullptr);
    }
    if (!main) {
        std::wprintf(L"Pellick did not start: %ls\n", pellick.c_str());
    } else {
        struct Speed {
            int command;
            const wchar_t* name;
        };
        for (const Speed& speed : {Speed{50, L"Slow (2 sec)"}, Speed{51, L"Normal (1.5 sec)"},
                                   Speed{52, L"Fast (1 sec)"}, Speed{53, L"Very fast (0.5 sec)"}}) {
            PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(speed.command), 0);
            Sleep(1000);
            const uint64_t before = CpuTicks(tool.dwProcessId);
            const uint64_t linuxBefore = LinuxTicks("Pellick.exe");
            bench::Stopwatch watch;
            Sleep(static_cast<DWORD>(seconds) * 1000);
            const double used = static_cast<double>(CpuTicks(tool.dwProcessId) - before) / 1e7;
            const double linux = static_cast<double>(LinuxTicks("Pellick.exe") - linuxBefore) / 1e7;
            std::wprintf(L"idle at %ls: %.2f%% of one core (Windows' account; Linux account, "
                         L"Wine's work for it included: %.2f%%)\n",
                         speed.name, 100.0 * used / watch.Seconds(),
                         100.0 * linux / watch.Seconds());
        }
    }
    End(tool);
    for (PROCESS_INFORMATION& child : children)
        End(child);
    return 0;
}
