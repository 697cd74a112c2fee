// The window kit: classes, modal windows, loops and pumps, contexts and common controls.
#include "common/window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <algorithm>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/late_bound.h"

MDR_TRACE_MODULE(Window);

namespace mdr {

bool RegisterWindowClass(const WindowClassSpec& params) {
    MDR_HERE();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, params.name, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = params.style;
    wc.lpfnWndProc = params.procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, params.cursor);
    wc.hbrBackground = params.background;
    wc.hIcon = params.icon;
    wc.hIconSm = params.smallIcon;
    wc.lpszClassName = params.name;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void* BindWindowContext(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

namespace {

struct ClassSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    if (!EqualsNoCase(name, search->className)) return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

HWND FindThreadWindow(const wchar_t* className) {
    ClassSearch search{className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendantWindow(HWND parent, const wchar_t* className) {
    ClassSearch search{className, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT CentredRect(const RECT& around, const RECT& area, SIZE size) {
    int x = around.left + ((around.right - around.left) - size.cx) / 2;
    int y = around.top + ((around.bottom - around.top) - size.cy) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - size.cx));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - size.cy));
    return RECT{x, y, x + size.cx, y + size.cy};
}

RECT CentredFrame(HWND owner, SIZE frame) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (owner && GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcWork;
    RECT around = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
    return CentredRect(around, area, frame);
}

RECT CentredFrame(HWND owner, int clientWidth, int clientHeight, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return CentredFrame(owner, SIZE{frame.right - frame.left, frame.bottom - frame.top});
}

HWND CreateModalWindow(const ModalSpec& params, HWND owner, void* context) {
    MDR_HERE();
    if (owner) EnableWindow(owner, FALSE);
    const RECT frame =
        CentredFrame(owner, params.clientWidth, params.clientHeight, params.style, params.exStyle);
    return CreateWindowExW(params.exStyle, params.className, params.title.c_str(),
                           params.style & ~WS_VISIBLE, frame.left, frame.top,
                           frame.right - frame.left, frame.bottom - frame.top, owner, nullptr,
                           GetModuleHandleW(nullptr), context);
}

void ShowModalWindow(HWND window, HWND focus) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    if (focus) SetFocus(focus);
}

ModalEnd RunModalLoop(HWND window, const std::function<bool()>& done,
                      const std::function<void()>& afterMessage) {
    MDR_HERE();
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that owns the quit
            return ModalEnd::Quit;
        }
        if (got == -1) return ModalEnd::Failed;
        DispatchDialogMessage(msg, window);
        if (afterMessage) afterMessage();
    }
    return ModalEnd::Done;
}

void CloseModal(HWND window, HWND owner) {
    MDR_HERE();
    if (owner) EnableWindow(owner, TRUE);
    if (window) DestroyWindow(window);
    if (owner) {
        SetActiveWindow(owner);
        SetForegroundWindow(owner);
    }
}

void DispatchDialogMessage(MSG& msg, HWND dialog) {
    if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

MessagePump::~MessagePump() {
    if (quit_) PostQuitMessage(quitCode_);
}

void MessagePump::Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit_ = true;
            quitCode_ = static_cast<int>(msg.wParam);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MessagePump::Pause(DWORD ms) {
    const ULONGLONG end = TickCount64() + ms;
    for (;;) {
        Drain();
        const ULONGLONG now = TickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

WaitEnd WaitDispatchingMessages(HANDLE handle, const MessageWait& how) {
    MDR_HERE();
    const ULONGLONG end = TickCount64() + how.timeoutMs;
    bool quitSeen = false;
    WPARAM quitCode = 0;
    WaitEnd result = WaitEnd::Signalled;
    for (;;) {
        if (how.stop && how.stop()) {
            result = WaitEnd::Stopped;
            break;
        }
        DWORD slice = INFINITE;
        if (how.timeoutMs != INFINITE) {
            const ULONGLONG now = TickCount64();
            if (now >= end) {
                result = WaitEnd::TimedOut;
                break;
            }
            slice = static_cast<DWORD>(end - now);
        }
        const DWORD r =
            MsgWaitForMultipleObjectsEx(1, &handle, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_TIMEOUT) continue; // the next turn ends it
        // WAIT_FAILED (a handle that cannot be waited on) ends the wait rather than spinning.
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (how.quit) {
                    how.quit();
                } else {
                    quitSeen = true;
                    quitCode = msg.wParam;
                }
                continue;
            }
            if (how.dispatch)
                how.dispatch(msg);
            else
                DispatchDialogMessage(msg, how.dialog);
            // A stream of messages must not hide the end of the process.
            if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) break;
        }
    }
    if (quitSeen) PostQuitMessage(static_cast<int>(quitCode));
    return result;
}

bool MeasureMenuPicture(MEASUREITEMSTRUCT* mis) {
    if (mis->CtlType != ODT_MENU) return false;
    mis->itemWidth = 20; // the picture and a little air before the text
    mis->itemHeight = 16;
    return true;
}

bool DrawMenuPicture(const DRAWITEMSTRUCT* dis, HICON picture, const std::function<HICON()>& grey) {
    if (dis->CtlType != ODT_MENU) return false;
    if (!picture) return true;
    const RECT& rc = dis->rcItem;
    const int x = rc.left + ((rc.right - rc.left) - 16) / 2;
    const int y = rc.top + ((rc.bottom - rc.top) - 16) / 2;
    if (!(dis->itemState & (ODS_GRAYED | ODS_DISABLED)))
        DrawIconEx(dis->hDC, x, y, picture, 16, 16, 0, nullptr, DI_NORMAL);
    else if (HICON own = grey ? grey() : nullptr)
        DrawIconEx(dis->hDC, x, y, own, 16, 16, 0, nullptr, DI_NORMAL);
    else
        DrawState(dis->hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0, x, y, 16, 16,
                  DST_ICON | DSS_DISABLED);
    return true;
}

int EnableCloseCommand(HWND window, int enable) {
    if ((enable != 0 && enable != 1) || !IsWindow(window)) return 1;
    HMENU sys = GetSystemMenu(window, FALSE);
    if (sys) EnableMenuItem(sys, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(window);
    return 1;
}

int ActivateWindowByTitle(const std::wstring& title) {
    MDR_HERE();
    HWND w = GetWindow(GetDesktopWindow(), GW_CHILD);
    while (w) {
        if (IsWindowVisible(w)) {
            wchar_t buffer[1025] = {};
            GetWindowTextW(w, buffer, 1024);
            if (FindNoCase(buffer, title) != std::wstring_view::npos) {
                ShowWindow(w, SW_SHOW);
                ShowWindow(w, SW_RESTORE);
                SetForegroundWindow(w);
                return 1;
            }
        }
        w = GetWindow(w, GW_HWNDNEXT);
    }
    return 0;
}

HFONT DialogFont() {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                Place place, int id, DWORD exStyle, HFONT font) {
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style,
                                   place.x, place.y, place.width, place.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : DialogFont()),
                     FALSE);
    return control;
}

HWND AddLabel(HWND parent, const std::wstring& text, Place place, int id, DWORD style) {
    return AddControl(parent, L"STATIC", text, style, place, id);
}

HWND AddButton(HWND parent, int id, const std::wstring& text, Place place, DWORD style) {
    return AddControl(parent, L"BUTTON", text, BS_PUSHBUTTON | WS_TABSTOP | style, place, id);
}

HWND AddCheckBox(HWND parent, int id, const std::wstring& text, Place place) {
    return AddControl(parent, L"BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, place, id);
}

HWND AddDropDown(HWND parent, int id, Place place, const std::vector<std::wstring>& items) {
    place.height += 160;
    HWND box = AddControl(parent, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                          place, id);
    if (!box) return nullptr;
    for (const std::wstring& item : items)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    return box;
}

HWND AddReportList(HWND parent, int id, Place place, DWORD style,
                   const std::vector<ListColumn>& columns, HFONT font) {
    HWND list = AddControl(parent, WC_LISTVIEWW, L"", LVS_REPORT | WS_TABSTOP | style, place, id,
                           WS_EX_CLIENTEDGE, font);
    if (!list) return nullptr;
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (size_t c = 0; c < columns.size(); ++c) {
        std::wstring title = columns[c].title;
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = title.data();
        column.cx = columns[c].width;
        column.iSubItem = static_cast<int>(c);
        ListView_InsertColumn(list, static_cast<int>(c), &column);
    }
    return list;
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int SelectedRow(HWND list) {
    const int focused = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
    if (focused >= 0) return focused;
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::wstring CellText(HWND list, int row, int column) {
    std::wstring text(256, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const int length = static_cast<int>(SendMessageW(
            list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length < static_cast<int>(text.size()) - 1) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
        text.resize(text.size() * 2); // it may have been cut: ask again with more room
    }
}

void SelectRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ShowSortArrow(HWND list, int column, bool descending) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int c = 0; c < count; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == column) item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
}

HWND AddProgressBar(HWND parent, int id, Place place, DWORD style) {
    HWND bar = AddControl(parent, PROGRESS_CLASSW, L"", style, place, id);
    if (bar) SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    return bar;
}

HWND AddSeparator(HWND parent, Place place, int id) {
    return AddControl(parent, L"STATIC", L"", SS_OWNERDRAW, place, id);
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

void SetToolbarCaption(HWND toolbar, int button, const std::wstring& text) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(toolbar, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    {
        const WindowDc dc(toolbar);
        const SelectedObject selected(dc.get(), font);
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    }
    std::wstring caption = text;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | TBIF_SIZE;
    info.pszText = caption.data();
    info.cx = static_cast<WORD>(size.cx + 10);
    SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(button),
                 reinterpret_cast<LPARAM>(&info));
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

bool SetClipboardText(HWND owner, const std::wstring& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory) return false;
    if (auto* target = static_cast<wchar_t*>(GlobalLock(memory))) {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, target);
        GlobalUnlock(memory);
    }
    // Another program (a clipboard viewer, a copy in progress) may hold the clipboard for a
    // moment: try for half a second before giving up.
    bool open = OpenClipboard(owner) != FALSE;
    for (int attempt = 0; !open && attempt < 20; ++attempt) {
        Sleep(25);
        open = OpenClipboard(owner) != FALSE;
    }
    bool done = false;
    if (open) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory)) {
            memory = nullptr; // the clipboard owns it now
            done = true;
        }
        CloseClipboard();
    }
    if (memory) GlobalFree(memory);
    return done;
}

int WindowHeight(HWND window) {
    RECT rc{};
    return window && GetWindowRect(window, &rc) ? rc.bottom - rc.top : 0;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

bool AskFileName(HWND owner, const wchar_t* title, const wchar_t* filter, bool save, DWORD flags,
                 std::wstring& file) {
    std::vector<wchar_t> name(4096, L'\0');
    file.copy(name.data(), std::min(file.size(), name.size() - 1));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = title;
    // Nor may the dialog move the program's current folder.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | flags;
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)) || name[0] == L'\0') return false;
    file = name.data();
    return true;
}

} // namespace mdr
