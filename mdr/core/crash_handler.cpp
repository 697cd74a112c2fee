// The crash handler. The report is built on the faulting thread (the module and line recorded
// there are thread-local); the window then runs on a fresh thread with a stack of its own, so
// a stack overflow can still be reported and none of the program's own windows is pumped again
// on a thread whose state is broken.
#include "mdr/core/crash_handler.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <iterator>

#include "mdr/core/os_version.h"
#include "mdr/core/product.h"
#include "common/trace.h"
#include "common/window.h"
#include "version.h"

MDR_TRACE_MODULE(ErrorHandler);

namespace mdr {
namespace {

struct FaultText {
    DWORD code;
    const wchar_t* text;
};

constexpr FaultText kFaultTexts[] = {
    {0xC0000005, L"Invalid memory access"},
    {0xC000008C, L"Array bounds exceeded"},
    {0x80000003, L"Debugger breakpoint reached"},
    {0x80000002, L"Misaligned data access"},
    {0xC000008D, L"Denormal floating-point operand"},
    {0xC000008E, L"Division by zero (floating-point)"},
    {0xC000008F, L"Inexact floating-point result"},
    {0xC0000090, L"Invalid floating-point operation"},
    {0xC0000091, L"Floating-point overflow (exponent to great)"},
    {0xC0000092, L"Floating-point stack overflow or underflow"},
    {0xC0000093, L"Floating-point underflow (exponent too small)"},
    {0xC000001D, L"Illegal instruction"},
    {0xC0000006, L"Memory page error"},
    {0xC0000094, L"Division by zero "},
    {0xC0000095, L"Integer overflow"},
    {0xC0000026, L"Exception handler returned unknown value"},
    {0xC0000025, L"Exception handler tried to continue after non-continuable exception"},
    {0xC0000096, L"Privileged instruction"},
    {0x80000004, L"Single step trap"},
    {0xC00000FD, L"Stack overflow"},
};

constexpr wchar_t kWindowClass[] = L"MDRCrashWindow";
constexpr int kWindowX = 294;
constexpr int kWindowY = 244;
constexpr int kInnerWidth = 387;
constexpr int kInnerHeight = 185;

// Which threads are busy reporting: a second fault on either of them must not wait for itself.
std::atomic<DWORD> g_reportingThread{0};
std::atomic<DWORD> g_windowThread{0};
DWORD g_exitCode = 0;
// Filled inside the filter, which must not allocate: the faulting thread may hold the heap lock.
int g_osCode = 0; // looked up at installation
wchar_t g_report[1024] = {};

// Text written into a fixed buffer; what does not fit is dropped. Never allocates.
class FixedText {
  public:
    FixedText(wchar_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
        if (capacity_) buffer_[0] = L'\0';
    }
    void Add(std::wstring_view text) {
        for (wchar_t c : text) {
            if (size_ + 1 >= capacity_) return;
            buffer_[size_++] = c;
        }
        buffer_[size_] = L'\0';
    }
    // value in decimal with at least minDigits digits (zeros in front).
    void AddNumber(long long value, int minDigits = 1) {
        wchar_t digits[24];
        int n = 0;
        unsigned long long magnitude =
            value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0 || n < minDigits);
        if (value < 0) Add(L"-");
        while (n > 0)
            Add(std::wstring_view(&digits[--n], 1));
    }
    size_t size() const { return size_; }

  private:
    wchar_t* buffer_;
    size_t capacity_;
    size_t size_ = 0;
};

const wchar_t* DescriptionOf(DWORD exceptionCode) {
    for (const FaultText& entry : kFaultTexts) {
        if (entry.code == exceptionCode) return entry.text;
    }
    return L"Unknown error code";
}

void WriteCrashReport(FixedText& out, DWORD exceptionCode, const SYSTEMTIME& when,
                      std::wstring_view versionText, int osCode, std::wstring_view module,
                      int line) {
    // "yyyy/mm/dd at hh:mm:ss"
    const struct {
        WORD value;
        int digits;
        const wchar_t* after;
    } stamp[] = {{when.wYear, 4, L"/"}, {when.wMonth, 2, L"/"},  {when.wDay, 2, L" at "},
                 {when.wHour, 2, L":"}, {when.wMinute, 2, L":"}, {when.wSecond, 2, L""}};
    out.Add(L"Log generated on: ");
    for (const auto& field : stamp) {
        out.AddNumber(field.value, field.digits);
        out.Add(field.after);
    }
    out.Add(L"\r\nMDR version: ");
    out.Add(versionText);
    out.Add(L"\r\nOS version: ");
    out.AddNumber(osCode);
    out.Add(L"\r\nError description: ");
    out.Add(DescriptionOf(exceptionCode));
    out.Add(L"\r\nModule name: ");
    out.Add(module);
    out.Add(L"\r\nError line: ");
    out.AddNumber(line);
    out.Add(L"\r\n");
}

[[noreturn]] void EndAfterCrash() {
    // TerminateProcess rather than ExitProcess: the faulting thread may hold the loader or heap
    // locks that an orderly exit would wait for.
    TerminateProcess(GetCurrentProcess(), g_exitCode);
    for (;;)
        Sleep(INFINITE);
}

void CopyToClipboard(HWND window, HWND edit) {
    MDR_HERE();
    SetClipboardText(window, WindowText(edit));
}

struct CrashWindowState {
    bool quit = false;
};

LRESULT CALLBACK CrashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CrashWindowState* state = WindowContext<CrashWindowState>(window, message, lParam);
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCrashCopyId) {
            CopyToClipboard(window, GetDlgItem(window, kCrashReportId));
            return 0;
        }
        if (LOWORD(wParam) == kCrashQuitId) {
            if (state) state->quit = true;
            return 0;
        }
        break;
    case WM_CLOSE:
        if (state) state->quit = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Shows the report window and returns when the user quits; false when it could not open.
bool RunCrashWindow(const std::wstring& report) {
    MDR_HERE();
    // A failure to register shows up as CreateWindowExW failing.
    RegisterWindowClass({kWindowClass, CrashWindowProc});

    // At a fixed place with no owner: the program's own windows are hidden or broken.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, kInnerWidth, kInnerHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    CrashWindowState state;
    HWND window = CreateWindowExW(0, kWindowClass, kCrashWindowTitle, style, kWindowX, kWindowY,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), &state);
    if (!window) return false;

    AddLabel(window, CrashIntroText(), {10, 5, 370, 40}, kCrashTextId, 0);
    HWND edit = AddControl(window, L"EDIT", report,
                           WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                           {10, 50, 365, 100}, kCrashReportId, WS_EX_CLIENTEDGE);
    HWND copy = AddButton(window, kCrashCopyId, L"Copy to clipboard", {170, 155, 100, 25});
    HWND quit = AddButton(window, kCrashQuitId, L"Quit", {275, 155, 100, 25}, BS_DEFPUSHBUTTON);
    if (!edit || !copy || !quit) {
        DestroyWindow(window);
        return false;
    }
    ShowModalWindow(window, quit);
    RunModalLoop(window, [&] { return state.quit; });
    return true;
}

[[noreturn]] void ShowReportAndEnd(const wchar_t* report) {
    if (!RunCrashWindow(report)) {
        MessageBoxW(nullptr, report, L"Error detected",
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
    }
    EndAfterCrash();
}

DWORD WINAPI CrashWindowThread(void*) {
    g_windowThread = GetCurrentThreadId();
    ShowReportAndEnd(g_report);
}

// Hides the program's window in front so that the report is what the user sees and nothing is
// done in a window whose program has failed.
void HideForegroundWindow() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) return;
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(foreground, &pid);
    if (pid != GetCurrentProcessId()) return;
    if (thread == GetCurrentThreadId()) {
        ShowWindow(foreground, SW_HIDE);
    } else {
        ShowWindowAsync(foreground, SW_HIDE);
    }
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
    const DWORD self = GetCurrentThreadId();
    const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    DWORD idle = 0;
    if (!g_reportingThread.compare_exchange_strong(idle, self)) {
        // A fault inside the handler itself is not handled further; a fault of another thread
        // while the report is shown waits for the process to end.
        if (idle == self || g_windowThread == self) {
            TerminateProcess(GetCurrentProcess(), code);
        }
        for (;;)
            Sleep(INFINITE);
    }
    g_exitCode = code;
    const trace::Point point = trace::Current();

    SYSTEMTIME now;
    GetLocalTime(&now);
    FixedText report(g_report, std::size(g_report));
    WriteCrashReport(report, code, now, MDR_VERSION_TEXT, g_osCode,
                     point.module ? point.module : L"", point.line);
    HideForegroundWindow();

    // The window (which does allocate) runs on a thread of its own; only when none can be made
    // does this thread show the report as it can.
    HANDLE thread = CreateThread(nullptr, 256 * 1024, CrashWindowThread, nullptr, 0, nullptr);
    if (!thread) ShowReportAndEnd(g_report);
    WaitForSingleObject(thread, INFINITE);
    EndAfterCrash();
}

} // namespace

std::wstring FaultDescription(DWORD exceptionCode) {
    return DescriptionOf(exceptionCode);
}

std::wstring FormatCrashReport(DWORD exceptionCode, const SYSTEMTIME& when,
                               std::wstring_view versionText, int osCode, std::wstring_view module,
                               int line) {
    std::wstring buffer(std::size(g_report) + module.size() + versionText.size(), L'\0');
    FixedText out(buffer.data(), buffer.size());
    WriteCrashReport(out, exceptionCode, when, versionText, osCode, module, line);
    buffer.resize(out.size());
    return buffer;
}

std::wstring CrashIntroText() {
    return std::wstring(L"We are sorry, but an error has been detected in the program. MDR has "
                        L"collected information about the error. Please send this log in an "
                        L"e-mail to ") +
           kSupportEmail + L" for investigation.";
}

// A C++ failure nobody catches (std::bad_alloc, a throw from a noexcept function) ends in
// std::terminate, which would abort with no word to the user: report it like a fault instead.
[[noreturn]] static void OnTerminate() noexcept {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kCppTerminationCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    CrashFilter(&pointers);
    TerminateProcess(GetCurrentProcess(), kCppTerminationCode);
    for (;;)
        Sleep(INFINITE);
}

void InstallCrashHandler() {
    MDR_HERE();
    g_osCode = OperatingSystemCode();
    SetUnhandledExceptionFilter(CrashFilter);
    std::set_terminate(OnTerminate);
}

} // namespace mdr
