// Functions newer than this edition's Windows floor (cmake/floor.cmake): looked up at run time,
// never imported, so that the programs load on the floor; each has a fallback that works there.
//
//   static const LateBound<BOOL(WINAPI*)(HANDLE, PBOOL)> isWow64(L"kernel32.dll",
//                                                                "IsWow64Process", kWindowsXpSp2);
//   if (const auto query = isWow64.get()) ... else ...fallback...
//
// A function is looked up only on a Windows that reports the version it came with: a system that
// reports an older one (compatibility mode, or Wine set to an older Windows) runs the fallback,
// as that Windows would. With MDR_TRACE_LATE_BOUND set to a file's path, each program appends
// to it one line per function it looked up: "<program>: <function>: system" or ": fallback".
#pragma once

#include <windows.h>
#include <atomic>
#include <string>

namespace mdr {

// Windows versions as NTDDI_VERSION writes them: major, minor and service pack, a byte each.
constexpr DWORD WindowsVersion(DWORD major, DWORD minor, DWORD servicePack = 0) {
    return major << 24 | minor << 16 | servicePack << 8;
}
constexpr DWORD kWindowsXp = WindowsVersion(5, 1), kWindowsXpSp2 = WindowsVersion(5, 1, 2),
                kWindowsVista = WindowsVersion(6, 0), kWindows7 = WindowsVersion(6, 1);

// The running Windows' version as GetVersionEx reports it; 0 when it cannot be read.
DWORD RunningWindowsVersion();

namespace late_bound {
// The version lookups go by: the running one, or the one a test pretends (0 ends pretending).
DWORD Version();
void PretendWindowsVersion(DWORD version);
// The function's address in a module the process has loaded, or nullptr.
void* Find(const wchar_t* module, const char* name, DWORD since, DWORD version);
} // namespace late_bound

template <typename Fn> class LateBound {
  public:
    constexpr LateBound(const wchar_t* module, const char* name, DWORD since)
        : module_(module), name_(name), since_(since) {}
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;

    // The function, or nullptr where this Windows lacks it.
    Fn get() const {
        const DWORD version = late_bound::Version();
        if (foundFor_.load(std::memory_order_acquire) != version) {
            address_.store(late_bound::Find(module_, name_, since_, version),
                           std::memory_order_relaxed);
            foundFor_.store(version, std::memory_order_release);
        }
        return reinterpret_cast<Fn>(address_.load(std::memory_order_relaxed));
    }

  private:
    const wchar_t* module_;
    const char* name_;
    DWORD since_;
    mutable std::atomic<void*> address_{nullptr};
    mutable std::atomic<DWORD> foundFor_{0};
};

// GetTickCount64, or GetTickCount carried on past its wrap (every 49.7 days).
ULONGLONG TickCount64();
// The 64-bit count that follows previous when GetTickCount reads now: up to 2^31 ms on (across a
// wrap too); a reading behind it, taken before it by another thread, leaves it as it is. Pure.
ULONGLONG ExtendTickCount(ULONGLONG previous, DWORD now);
// Whether this process runs under WOW64, a 32-bit program on 64-bit Windows (IsWow64Process;
// without it, Windows is 32-bit).
bool RunsUnderWow64();
// The SysWOW64 folder with a trailing "\\" (GetSystemWow64DirectoryW); "" on 32-bit Windows.
std::wstring SystemWow64Folder();

} // namespace mdr
