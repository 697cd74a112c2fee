// Registry-editor runs and the modal-window pieces of the backup manager and the full backup.
#include "repair/backup_ui.h"

#include <shlobj.h>
#include <algorithm>

#include "common/handles.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Regedit);

namespace mdr {

std::wstring RegistryEditorPath() {
    MDR_HERE();
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_WINDOWS, FALSE) || !folder[0]) return {};
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    return path + L"regedit.exe";
}

bool RegistryEditorRun::Start(const std::wstring& editorPath, const std::wstring& arguments) {
    MDR_HERE();
    Release();
    if (editorPath.empty()) return false;

    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                               nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    if (nul) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    }
    std::wstring commandLine = L"\"" + editorPath + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(editorPath.c_str(), commandLine.data(), nullptr, nullptr,
                        nul ? TRUE : FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

void RegistryEditorRun::Release() {
    if (!process_) return;
    // Ends a run that is given up; an editor that has ended is not affected.
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000); // its file is closed before the caller looks
    }
    CloseHandle(process_);
    process_ = nullptr;
}

void DispatchModalMessage(MSG& msg, HWND dialog) {
    if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

WaitEnd WaitDispatchingMessages(HANDLE handle, HWND dialog, const std::function<bool()>& stop) {
    MDR_HERE();
    bool quitSeen = false;
    WPARAM quitCode = 0;
    WaitEnd end = WaitEnd::Signalled;
    for (;;) {
        if (stop && stop()) {
            end = WaitEnd::Stopped;
            break;
        }
        const DWORD r =
            MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // WAIT_FAILED (a handle that cannot be waited on) ends the wait rather than spinning.
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MDR_HERE();
            if (msg.message == WM_QUIT) {
                quitSeen = true;
                quitCode = msg.wParam;
                continue;
            }
            DispatchModalMessage(msg, dialog);
            // A stream of messages must not hide the end of the process.
            if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) break;
        }
    }
    if (quitSeen) PostQuitMessage(static_cast<int>(quitCode));
    return end;
}

bool RegisterModalClass(const wchar_t* className, WNDPROC procedure) {
    MDR_HERE();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, className, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

HWND CreateModalWindow(const wchar_t* className, const std::wstring& title, DWORD style,
                       int clientWidth, int clientHeight, HWND owner, void* param) {
    MDR_HERE();
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    // Centred on the owner, or on the work area of the primary monitor without one.
    RECT around{};
    if (!owner || !GetWindowRect(owner, &around) || IsIconic(owner)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    int x = around.left + ((around.right - around.left) - width) / 2;
    int y = around.top + ((around.bottom - around.top) - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromRect(&around, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = std::max<int>(work.left, std::min<int>(x, work.right - width));
        y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    }
    return CreateWindowExW(exStyle, className, title.c_str(), style, x, y, width, height, owner,
                           nullptr, GetModuleHandleW(nullptr), param);
}

HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x,
                int y, int width, int height, int id, DWORD exStyle) {
    MDR_HERE();
    HWND control =
        CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                        width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (control) {
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
    return control;
}

HWND AddSeparator(HWND parent, int x, int y, int width, int height, int id) {
    return AddControl(parent, L"STATIC", L"", SS_OWNERDRAW, x, y, width, height, id);
}

bool DrawSeparator(const DRAWITEMSTRUCT* dis) {
    if (!dis || dis->CtlType != ODT_STATIC) return false;
    RECT line = dis->rcItem;
    line.top += (line.bottom - line.top) / 2 - 1;
    line.bottom = line.top + 2;
    FillRect(dis->hDC, &dis->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dis->hDC, &line, EDGE_ETCHED, BF_TOP);
    return true;
}

void CloseModalWindow(HWND window, HWND owner) {
    MDR_HERE();
    // The owner is enabled before the window goes, so that Windows hands the activation back
    // to it rather than to another program.
    if (owner) EnableWindow(owner, TRUE);
    if (window) DestroyWindow(window);
    if (owner) {
        SetActiveWindow(owner);
        SetForegroundWindow(owner);
    }
}

} // namespace mdr
