#include "common/late_bound.h"

#include <mutex>
#include <set>
#include <string>

#include "common/handles.h"
#include "common/lock.h"
#include "common/text.h"

namespace mdr {
namespace {

std::atomic<DWORD> g_pretended{0};

// One line per function and process, appended to the file MDR_TRACE_LATE_BOUND names.
void Trace(const char* name, bool found) {
    static Mutex lock;
    static std::set<std::string> traced;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"MDR_TRACE_LATE_BOUND", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::lock_guard<Mutex> hold(lock);
    if (!traced.insert(name).second) return;
    wchar_t program[MAX_PATH] = {};
    const DWORD got = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring self(program, got < MAX_PATH ? got : 0);
    self = self.substr(self.find_last_of(L'\\') + 1);
    const std::string line =
        ToUtf8(self) + ": " + name + (found ? ": system\r\n" : ": fallback\r\n");
    UniqueFile file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

DWORD RunningWindowsVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return 0;
    return WindowsVersion(info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor);
}

namespace late_bound {

DWORD Version() {
    static const DWORD running = RunningWindowsVersion();
    const DWORD pretended = g_pretended.load(std::memory_order_relaxed);
    // An unreadable version leaves the decision to the lookup itself.
    return pretended ? pretended : running ? running : ~DWORD{0};
}

void PretendWindowsVersion(DWORD version) {
    g_pretended.store(version, std::memory_order_relaxed);
}

void* Find(const wchar_t* module, const char* name, DWORD since, DWORD version) {
    const HMODULE loaded = version >= since ? GetModuleHandleW(module) : nullptr;
    // Through void*: FARPROC has no parameters, so a direct cast to the caller's type warns.
    void* address = loaded ? reinterpret_cast<void*>(GetProcAddress(loaded, name)) : nullptr;
    Trace(name, address != nullptr);
    return address;
}

} // namespace late_bound

ULONGLONG ExtendTickCount(ULONGLONG previous, DWORD now) {
    // How far the 32-bit count went on, across a wrap too.
    const DWORD ahead = now - static_cast<DWORD>(previous);
    return ahead < 0x80000000u ? previous + ahead : previous;
}

ULONGLONG TickCount64() {
    static const LateBound<ULONGLONG(WINAPI*)()> getTickCount64(L"kernel32.dll", "GetTickCount64",
                                                                kWindowsVista);
    if (const auto query = getTickCount64.get()) return query();
    // Carried on from the first reading; the programs read it far more often than every 24 days.
    static std::atomic<ULONGLONG> last{GetTickCount()};
    ULONGLONG previous = last.load();
    for (;;) {
        const ULONGLONG next = ExtendTickCount(previous, GetTickCount());
        if (next == previous || last.compare_exchange_weak(previous, next)) return next;
    }
}

bool RunsUnderWow64() {
    static const LateBound<BOOL(WINAPI*)(HANDLE, PBOOL)> isWow64Process(
        L"kernel32.dll", "IsWow64Process", kWindowsXpSp2);
    BOOL wow64 = FALSE;
    const auto query = isWow64Process.get();
    return query && query(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring SystemWow64Folder() {
    static const LateBound<UINT(WINAPI*)(LPWSTR, UINT)> getSystemWow64Directory(
        L"kernel32.dll", "GetSystemWow64DirectoryW", kWindowsXp);
    wchar_t folder[MAX_PATH] = {};
    const auto query = getSystemWow64Directory.get();
    const UINT length = query ? query(folder, MAX_PATH) : 0;
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) + L"\\" : L"";
}

} // namespace mdr
