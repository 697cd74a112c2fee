// A program that faults on purpose with the crash handler installed, for the crash-window test.
// Usage: crash_probe <main|thread|divide|throw> <marker file>
// Before faulting it writes "<module> <line>" of its last recorded point to the marker file, so
// the test can compare the report with what was really executed last.
#include <windows.h>
#include <shellapi.h>
#include <new>
#include <string>

#include "mdr/core/crash_handler.h"
#include "common/trace.h"

MDR_TRACE_MODULE(ScanEngine);

namespace {

std::wstring g_marker;
// Read through volatile so the compiler cannot see the null and replace the store by a trap.
int* volatile g_nowhere = nullptr;
// Both operands volatile: with a constant dividend the compiler may avoid the division.
volatile int g_one = 1;
volatile int g_zero = 0;

void WriteMarker(int line) {
    std::string text("ScanEngine ");
    text += std::to_string(line);
    HANDLE file =
        CreateFileW(g_marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// Records the point and names the same line in the marker.
#define MARK_HERE() (MDR_HERE(), WriteMarker(__LINE__))

void WriteThroughNull() {
    MARK_HERE();
    *g_nowhere = 1;
}

int DivideByZero() {
    MARK_HERE();
    return g_one / g_zero;
}

// Out of memory as a huge input file once caused it: std::bad_alloc that nobody catches.
void ThrowUncaught() {
    MARK_HERE();
    throw std::bad_alloc();
}

DWORD WINAPI FaultingThread(void*) {
    WriteThroughNull();
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 3) return 2;
    std::wstring mode = args[1];
    g_marker = args[2];
    mdr::InstallCrashHandler();
    if (mode == L"divide") return DivideByZero();
    if (mode == L"throw") ThrowUncaught();
    if (mode == L"thread") {
        // The main thread's own point differs from the faulting thread's.
        mdr::trace::Mark(L"MDR", 1);
        HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        return 3;
    }
    WriteThroughNull();
    return 4;
}
