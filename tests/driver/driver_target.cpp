// A small window with the controls the driver reads, for the driver's own tests: a list view
// with check boxes, a tree view with check boxes, a status bar, an edit, and a message box on
// command 200 whose answer is written into the edit. Closing it ends the process with code 7.
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr int kList = 100;
constexpr int kTree = 101;
constexpr int kStatus = 102;
constexpr int kEdit = 103;
constexpr int kAsk = 200;

void FillList(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    const wchar_t* titles[] = {L"Key", L"Value", L"Data"};
    const int widths[] = {120, 80, 60};
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(titles[c]);
        column.cx = widths[c];
        ListView_InsertColumn(list, c, &column);
    }
    const wchar_t* cells[3][3] = {{L"HKEY_CURRENT_USER", L"(Default)", L"\u00E9t\u00E9"},
                                  {L"Software\\A", L"Path", L""},
                                  {L"Software\\B", L"Name", L"x"}};
    for (int r = 0; r < 3; ++r) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = r;
        item.pszText = const_cast<wchar_t*>(cells[r][0]);
        item.lParam = 11 * (r + 1);
        ListView_InsertItem(list, &item);
        for (int c = 1; c < 3; ++c)
            ListView_SetItemText(list, r, c, const_cast<wchar_t*>(cells[r][c]));
    }
    ListView_SetCheckState(list, 1, TRUE);
}

void FillTree(HWND tree) {
    // Check boxes added after creation, before the items, so that their states stick.
    SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(L"Root");
    insert.item.lParam = 0;
    HTREEITEM root = TreeView_InsertItem(tree, &insert);
    const wchar_t* names[] = {L"First", L"Second"};
    for (int i = 0; i < 2; ++i) {
        insert.hParent = root;
        insert.item.pszText = const_cast<wchar_t*>(names[i]);
        insert.item.lParam = i + 1;
        HTREEITEM item = TreeView_InsertItem(tree, &insert);
        TreeView_SetCheckState(tree, item, i == 0);
    }
    TreeView_Expand(tree, root, TVE_EXPAND);
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kAsk) {
            int answer = MessageBoxW(window, L"Do you want to go on?", L"Please confirm",
                                     MB_YESNO | MB_ICONQUESTION);
            SetDlgItemTextW(window, kEdit, answer == IDYES ? L"yes" : L"no");
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"MDRDriverTarget";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Driver Target", WS_OVERLAPPEDWINDOW, 20,
                                  20, 600, 400, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int x,
                     int y, int w, int h, int id) {
        return CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                               window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                               nullptr);
    };
    FillList(child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", LVS_REPORT, 5, 5, 300, 150, kList));
    FillTree(child(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", TVS_HASLINES | TVS_SHOWSELALWAYS, 310, 5,
                   200, 150, kTree));
    child(WS_EX_CLIENTEDGE, L"EDIT", L"edit text\r\nline 2", ES_MULTILINE, 5, 160, 300, 60, kEdit);
    HWND status = child(0, STATUSCLASSNAMEW, L"", 0, 0, 0, 0, 0, kStatus);
    int parts[] = {200, -1};
    SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"left part"));
    SendMessageW(status, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L"right part"));
    ShowWindow(window, SW_SHOW);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
