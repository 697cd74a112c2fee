#include "tests/support/driver.h"
#include "tests/support/registry_snapshot.h"
#include <cstdlib>
#include <cwctype>
#include <functional>
#include <utility>

namespace mdr::driver {
namespace {
// Captions compare without their "&" mnemonics and without regard to case.
bool SameCaption(std::wstring_view a, std::wstring_view b) {
    auto plain = [](std::wstring_view text) {
        std::wstring out;
        for (wchar_t c : text)
            if (c != L'&') out += static_cast<wchar_t>(std::towlower(c));
        return out;
    };
    return plain(a) == plain(b);
}

// Class names compare without regard to case, as Windows registers them.
bool EqualClass(HWND window, std::wstring_view className) {
    return _wcsicmp(ClassOf(window).c_str(), std::wstring(className).c_str()) == 0;
}
} // namespace

Process Process::Start(const std::wstring& exe, const std::wstring& arguments,
                       const std::wstring& workDir) {
    Process started;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    const std::wstring folder =
        workDir.empty() ? exe.substr(0, exe.find_last_of(L'\\') + 1) : workDir;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "CreateProcessW failed with " << GetLastError() << " for "
                      << std::string(exe.begin(), exe.end());
        return started;
    }
    CloseHandle(info.hThread);
    started.process_.reset(info.hProcess);
    started.pid_ = info.dwProcessId;
    return started;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return false;
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_.get(), exitCode);
    return true;
}

void Process::Kill() {
    if (!Running()) return;
    TerminateProcess(process_.get(), 0xDEAD);
    WaitForSingleObject(process_.get(), 5000);
}

Process StartMdr(const std::wstring& arguments, const std::wstring& distDir) {
    std::wstring folder = distDir.empty() ? DistDir() : distDir;
    if (folder.back() != L'\\') folder += L'\\';
    return Process::Start(folder + L"MDR.exe", arguments, folder);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

namespace {
// EnumWindows/EnumChildWindows collecting the windows keep accepts.
struct Collect {
    std::function<bool(HWND)> keep;
    std::vector<HWND> found;
    static BOOL CALLBACK Visit(HWND window, LPARAM param) {
        auto* c = reinterpret_cast<Collect*>(param);
        if (c->keep(window)) c->found.push_back(window);
        return TRUE;
    }
};
} // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const WindowQuery& query) {
    Collect c{[&](HWND window) {
                  DWORD owner = 0;
                  GetWindowThreadProcessId(window, &owner);
                  if ((pid && owner != pid) || (query.visibleOnly && !IsWindowVisible(window)) ||
                      (!query.className.empty() && !EqualClass(window, query.className)))
                      return false;
                  wchar_t title[512] = {};
                  GetWindowTextW(window, title, 512);
                  return std::wstring_view(title).starts_with(query.title);
              },
              {}};
    EnumWindows(Collect::Visit, reinterpret_cast<LPARAM>(&c));
    return c.found;
}

HWND WaitForWindow(DWORD pid, const WindowQuery& query, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto windows = TopLevelWindows(pid, query);
            if (!windows.empty()) found = windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> Descendants(HWND parent, std::wstring_view className) {
    Collect c{[&](HWND w) { return className.empty() || EqualClass(w, className); }, {}};
    EnumChildWindows(parent, Collect::Visit, reinterpret_cast<LPARAM>(&c));
    return c.found;
}

HWND FindDescendant(HWND parent, std::wstring_view className, int id) {
    for (HWND window : Descendants(parent, className))
        if (id == -1 || GetDlgCtrlID(window) == id) return window;
    return nullptr;
}

HWND FindDescendantByText(HWND parent, std::wstring_view className, std::wstring_view text) {
    for (HWND window : Descendants(parent, className))
        if (SameCaption(GetText(window), text)) return window;
    return nullptr;
}

std::wstring GetText(HWND window) {
    auto length = Send(window, WM_GETTEXTLENGTH);
    if (!length) return std::wstring();
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    auto copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied ? static_cast<size_t>(*copied) : 0);
    return text;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.title = GetText(box);
    if (HWND text = GetDlgItem(box, 0xFFFF)) info.text = GetText(text);
    for (HWND button : Descendants(box, L"Button"))
        if (IsWindowVisible(button)) info.buttons.push_back(GetText(button));
    for (HWND label : Descendants(box, L"Static"))
        if ((GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(label) &&
            Send(label, STM_GETICON).value_or(0) != 0)
            info.hasIcon = true;
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
    HWND box = WaitForWindow(pid, WindowQuery::OfClass(L"#32770"), timeoutMs);
    if (!box) return std::nullopt;
    // The text is set while the dialog initialises; wait until it is readable.
    MessageBoxInfo info;
    WaitUntil(
        [&] {
            info = ReadMessageBox(box);
            return !info.buttons.empty();
        },
        2000);
    return info;
}

bool PressButton(HWND window, int id) {
    HWND button = GetDlgItem(window, id);
    if (!button) button = FindDescendant(window, L"Button", id);
    return button && PostMessageW(button, BM_CLICK, 0, 0);
}

bool PressButtonByText(HWND window, std::wstring_view caption) {
    HWND button = FindDescendantByText(window, L"Button", caption);
    return button && PostMessageW(button, BM_CLICK, 0, 0);
}

bool PostCommand(HWND window, int id) {
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

bool PostClose(HWND window) {
    return PostMessageW(window, WM_CLOSE, 0, 0) != 0;
}

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

RemoteBuffer::RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
        address_ =
            VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

LPARAM RemoteBuffer::Address(size_t offset) const {
    return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset);
}

bool RemoteBuffer::Write(const void* data, size_t size, size_t offset) {
    if (!address_ || offset + size > size_) return false;
    SIZE_T done = 0;
    return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) &&
           done == size;
}

bool RemoteBuffer::Read(void* data, size_t size, size_t offset) const {
    if (!address_ || offset + size > size_) return false;
    SIZE_T done = 0;
    return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) &&
           done == size;
}

std::wstring RemoteBuffer::ReadString(size_t offset, size_t maxChars) const {
    std::wstring text(maxChars, L'\0');
    if (!Read(text.data(), maxChars * sizeof(wchar_t), offset)) return std::wstring();
    text.resize(wcsnlen(text.c_str(), maxChars));
    return text;
}

// Layout of the remote buffer: the item record first, then the text.
constexpr size_t kTextChars = 2048, kRecordSpace = 256;
constexpr size_t kRemoteSize = kRecordSpace + kTextChars * sizeof(wchar_t);

int ListViewCount(HWND list) {
    return static_cast<int>(Send(list, LVM_GETITEMCOUNT).value_or(0));
}

ListViewContent ReadListView(HWND list) {
    ListViewContent content;
    RemoteBuffer remote(list, kRemoteSize);
    if (!remote.Valid()) return ADD_FAILURE() << "cannot reach the list view's process", content;
    int columns = 1;
    if (auto header = Send(list, LVM_GETHEADER); header && *header)
        columns =
            static_cast<int>(Send(reinterpret_cast<HWND>(*header), HDM_GETITEMCOUNT).value_or(1));
    const int count = ListViewCount(list);
    for (int i = 0; i < count; ++i) {
        ListViewRow row;
        for (int c = 0; c < columns; ++c) {
            LVITEMW item{};
            item.iSubItem = c;
            item.pszText = reinterpret_cast<LPWSTR>(remote.Address(kRecordSpace));
            item.cchTextMax = kTextChars;
            remote.Write(&item, sizeof(item));
            Send(list, LVM_GETITEMTEXTW, i, remote.Address());
            row.cells.push_back(remote.ReadString(kRecordSpace, kTextChars));
        }
        LRESULT state =
            Send(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK | LVIS_SELECTED).value_or(0);
        row.checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
        row.selected = (state & LVIS_SELECTED) != 0;
        LVITEMW item{};
        item.mask = LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        remote.Write(&item, sizeof(item));
        if (Send(list, LVM_GETITEMW, 0, remote.Address()).value_or(0) &&
            remote.Read(&item, sizeof(item))) {
            row.image = item.iImage;
            row.data = item.lParam;
        }
        content.rows.push_back(std::move(row));
    }
    return content;
}

static bool SetItemState(HWND list, int row, UINT mask, UINT state) {
    RemoteBuffer remote(list, kRemoteSize);
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    return remote.Write(&item, sizeof(item)) &&
           Send(list, LVM_SETITEMSTATE, row, remote.Address()).value_or(0) != 0;
}

bool SetListViewCheck(HWND list, int row, bool checked) {
    return SetItemState(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1));
}

void ClickListHeader(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER).value_or(0));
    LRESULT x = 0;
    for (int c = 0; c < column; ++c)
        x += Send(list, LVM_GETCOLUMNWIDTH, c).value_or(0);
    const LPARAM at = MAKELPARAM(x + Send(list, LVM_GETCOLUMNWIDTH, column).value_or(0) / 2, 5);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(header, WM_LBUTTONUP, 0, at);
}

bool SelectListViewRow(HWND list, int row) {
    const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
    // As a click does: this row alone is selected, also in a list that takes several.
    const bool ok =
        SetItemState(list, -1, LVIS_SELECTED, 0) && SetItemState(list, row, state, state);
    Send(list, LVM_ENSUREVISIBLE, row, FALSE);
    return ok;
}

std::vector<TreeItem> ReadTreeView(HWND tree) {
    std::vector<TreeItem> items;
    RemoteBuffer remote(tree, kRemoteSize);
    if (!remote.Valid()) return ADD_FAILURE() << "cannot reach the tree view's process", items;
    auto next = [&](UINT relation, HTREEITEM from) {
        return reinterpret_cast<HTREEITEM>(
            Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)).value_or(0));
    };
    // Iterative pre-order walk; the stack holds the next sibling to visit at each level.
    std::vector<std::pair<HTREEITEM, int>> pending;
    if (HTREEITEM root = next(TVGN_ROOT, nullptr)) pending.push_back({root, 0});
    while (!pending.empty() && items.size() < 100000) {
        auto [handle, level] = pending.back();
        pending.pop_back();
        TVITEMW item{};
        item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE | TVIF_IMAGE;
        item.hItem = handle;
        item.stateMask = TVIS_STATEIMAGEMASK | TVIS_SELECTED;
        item.pszText = reinterpret_cast<LPWSTR>(remote.Address(kRecordSpace));
        item.cchTextMax = kTextChars;
        remote.Write(&item, sizeof(item));
        TreeItem out;
        out.level = level;
        if (Send(tree, TVM_GETITEMW, 0, remote.Address()).value_or(0) &&
            remote.Read(&item, sizeof(item))) {
            out.text = remote.ReadString(kRecordSpace, kTextChars);
            out.stateImage = static_cast<int>((item.state & TVIS_STATEIMAGEMASK) >> 12);
            out.selected = (item.state & TVIS_SELECTED) != 0;
            out.image = item.iImage;
        }
        items.push_back(std::move(out));
        if (HTREEITEM sibling = next(TVGN_NEXT, handle)) pending.push_back({sibling, level});
        if (HTREEITEM child = next(TVGN_CHILD, handle)) pending.push_back({child, level + 1});
    }
    return items;
}

std::wstring ReadStatusBarPart(HWND statusBar, int part) {
    RemoteBuffer remote(statusBar, kRemoteSize);
    if (!remote.Valid()) return std::wstring();
    auto length = Send(statusBar, SB_GETTEXTLENGTHW, part);
    if (!length || LOWORD(*length) >= kTextChars) return std::wstring();
    Send(statusBar, SB_GETTEXTW, part, remote.Address(kRecordSpace));
    return remote.ReadString(kRecordSpace, LOWORD(*length));
}

WineVersion::WineVersion(const std::wstring& exe, const wchar_t* version, const std::wstring& trace)
    : key(L"Software\\Wine\\AppDefaults\\" + exe) {
    SetString(HKEY_CURRENT_USER, key, L"Version", version);
    if (!trace.empty()) SetEnvironmentVariableW(L"MDR_TRACE_LATE_BOUND", trace.c_str());
}

WineVersion::~WineVersion() {
    SetEnvironmentVariableW(L"MDR_TRACE_LATE_BOUND", nullptr);
    DeleteTree(HKEY_CURRENT_USER, key);
}

Process& DriverTest::LaunchMdr(const std::wstring& arguments, const std::wstring& distDir) {
    processes_.push_back(StartMdr(arguments, distDir));
    return processes_.back();
}

Process& DriverTest::Launch(const std::wstring& exe, const std::wstring& arguments,
                            const std::wstring& workDir) {
    processes_.push_back(Process::Start(exe, arguments, workDir));
    return processes_.back();
}

bool AnswerFileDialog(DWORD pid, std::wstring_view title, const std::wstring& path) {
    HWND dialog = WaitForWindow(pid, {L"#32770", title, true});
    if (!dialog) return ADD_FAILURE() << "no file dialog", false;
    HWND edit = nullptr;
    WaitUntil([&] {
        edit = FindDescendant(dialog, L"Edit", 0x47c); // the file-name box
        if (!edit) edit = FindDescendant(dialog, L"Edit", 0x480);
        if (HWND combo = edit ? nullptr : FindDescendant(dialog, L"ComboBox", 0x47c))
            edit = FindDescendant(combo, L"Edit");
        return edit != nullptr;
    });
    if (!edit) return ADD_FAILURE() << "no file-name box in the file dialog", false;
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    for (wchar_t c : path)
        Send(edit, WM_CHAR, c, 1);
    PressButton(dialog, IDOK);
    if (!WaitUntil([&] { return !IsWindow(dialog); }))
        return ADD_FAILURE() << "the file dialog stayed", false;
    return true;
}

std::wstring ClipboardText() {
    std::wstring text;
    WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (auto* chars = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
        text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void ClearClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}
} // namespace mdr::driver
