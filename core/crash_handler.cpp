// The crash handler. The report is built on the faulting thread (the module and line recorded
// there are thread-local); the window then runs on a fresh thread with a stack of its own, so
// a stack overflow can still be reported and none of the program's own windows is pumped again
// on a thread whose state is broken.
#include "core/crash_handler.h"

#include <atomic>
#include <cstdio>
#include <exception>

#include "core/os_version.h"
#include "core/product.h"
#include "common/trace.h"
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
std::wstring* g_report = nullptr;

[[noreturn]] void EndAfterCrash() {
    // TerminateProcess rather than ExitProcess: the faulting thread may hold the loader or heap
    // locks that an orderly exit would wait for.
    TerminateProcess(GetCurrentProcess(), g_exitCode);
    for (;;)
        Sleep(INFINITE);
}

void CopyToClipboard(HWND window, HWND edit) {
    MDR_HERE();
    int length = GetWindowTextLengthW(edit);
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t));
    if (!memory) return;
    if (auto* text = static_cast<wchar_t*>(GlobalLock(memory))) {
        GetWindowTextW(edit, text, length + 1);
        GlobalUnlock(memory);
    }
    if (OpenClipboard(window)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory)) memory = nullptr; // owned by the clipboard
        CloseClipboard();
    }
    if (memory) GlobalFree(memory);
}

LRESULT CALLBACK CrashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCrashCopyId) {
            CopyToClipboard(window, GetDlgItem(window, kCrashReportId));
            return 0;
        }
        if (LOWORD(wParam) == kCrashQuitId) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle,
                int x, int y, int w, int h, int id) {
    HWND control = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control) {
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
    return control;
}

// Shows the report window and returns when the user quits; false when it could not open.
bool RunCrashWindow(const std::wstring& report) {
    MDR_HERE();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CrashWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc); // a failure shows up as CreateWindowExW failing

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, kInnerWidth, kInnerHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExW(0, kWindowClass, kCrashWindowTitle, style, kWindowX, kWindowY,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return false;

    AddControl(window, L"STATIC", CrashIntroText().c_str(), 0, 0, 10, 5, 370, 40, kCrashTextId);
    HWND edit = AddControl(window, L"EDIT", report.c_str(),
                           WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                           WS_EX_CLIENTEDGE, 10, 50, 365, 100, kCrashReportId);
    HWND copy = AddControl(window, L"BUTTON", L"Copy to clipboard", WS_TABSTOP | BS_PUSHBUTTON, 0,
                           170, 155, 100, 25, kCrashCopyId);
    HWND quit = AddControl(window, L"BUTTON", L"Quit", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 275, 155,
                           100, 25, kCrashQuitId);
    if (!edit || !copy || !quit) {
        DestroyWindow(window);
        return false;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(quit);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

[[noreturn]] void ShowReportAndEnd(const std::wstring& report) {
    if (!RunCrashWindow(report)) {
        MessageBoxW(nullptr, report.c_str(), L"Error detected",
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
    }
    EndAfterCrash();
}

DWORD WINAPI CrashWindowThread(void*) {
    g_windowThread = GetCurrentThreadId();
    ShowReportAndEnd(*g_report);
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
    g_report =
        new std::wstring(FormatCrashReport(code, now, MDR_VERSION_TEXT, OperatingSystemCode(),
                                           point.module ? point.module : L"", point.line));
    HideForegroundWindow();

    HANDLE thread = CreateThread(nullptr, 256 * 1024, CrashWindowThread, nullptr, 0, nullptr);
    if (!thread) ShowReportAndEnd(*g_report);
    WaitForSingleObject(thread, INFINITE);
    EndAfterCrash();
}

} // namespace

std::wstring FaultDescription(DWORD exceptionCode) {
    for (const FaultText& entry : kFaultTexts) {
        if (entry.code == exceptionCode) return entry.text;
    }
    return L"Unknown error code";
}

std::wstring FormatCrashReport(DWORD exceptionCode, const SYSTEMTIME& when,
                               std::wstring_view versionText, int osCode, std::wstring_view module,
                               int line) {
    wchar_t stamp[48];
    swprintf(stamp, 48, L"%04u/%02u/%02u at %02u:%02u:%02u", when.wYear, when.wMonth, when.wDay,
             when.wHour, when.wMinute, when.wSecond);
    std::wstring report = L"Log generated on: ";
    report += stamp;
    report += L"\r\nMDR version: ";
    report += versionText;
    report += L"\r\nOS version: " + std::to_wstring(osCode);
    report += L"\r\nError description: " + FaultDescription(exceptionCode);
    report += L"\r\nModule name: ";
    report += module;
    report += L"\r\nError line: " + std::to_wstring(line) + L"\r\n";
    return report;
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
    SetUnhandledExceptionFilter(CrashFilter);
    std::set_terminate(OnTerminate);
}

} // namespace mdr
