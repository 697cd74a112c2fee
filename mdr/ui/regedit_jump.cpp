// Jump to key: drives the system registry editor's window with keystrokes.
#include "mdr/ui/regedit_jump.h"

#include <shellapi.h>

#include <commctrl.h>

#include <mutex>
#include <optional>
#include <utility>

#include "common/lock.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "common/late_bound.h"

MDR_TRACE_MODULE(Regedit);

namespace mdr {

namespace {

constexpr wchar_t kEditorClass[] = L"RegEdit_RegEdit";
constexpr wchar_t kTreeClass[] = L"SysTreeView32";
constexpr wchar_t kListClass[] = L"SysListView32";

// Walking up and collapsing: more Left presses than any key path has levels.
constexpr int kCollapseKeys = 30;
// Time for the editor to settle after the collapse and before the value is typed.
constexpr DWORD kSettleMs = 100;
// Pause after expanding a level. Besides giving the editor time to fill the level, it lets the
// type-ahead search of the previous name lapse: tree views keep extending the search text while
// characters come less than about half a second apart, and would read the next name as the rest
// of the previous one.
constexpr DWORD kLevelPauseMs = 500;
// Bounds for an editor that does not come up or stops answering: MDR must never hang on it.
constexpr DWORD kStartIdleMs = 10000;
constexpr DWORD kWindowAppearMs = 5000;
constexpr DWORD kMessageTimeoutMs = 2000;
// Longest key or value name the registry allows, plus its terminator.
constexpr size_t kNameChars = 16384;
// Levels of the tree that are ever looked through for a name.
constexpr int kMaxSiblings = 1000000;

// The jump asked for last and not yet started, and whether the worker thread runs. A request
// made during a jump waits for it; a newer one replaces it (the user wants the row they chose
// last). Never freed: the worker may still be using it while the process ends.
struct JumpQueue {
    Mutex lock;
    std::optional<std::pair<std::wstring, std::wstring>> pending;
    bool running = false;
};
JumpQueue& Queue() {
    static JumpQueue* queue = new JumpQueue;
    return *queue;
}

// A message the editor must answer within the time-out; nullopt when it did not.
std::optional<LRESULT> Ask(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

bool Deliver(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    return Ask(window, message, wp, lp).has_value();
}

// Key messages carry a repeat count of 1, as the keyboard's would: the controls' type-ahead
// ignores characters without one.
bool KeyDown(HWND window, UINT key) {
    return Deliver(window, WM_KEYDOWN, key, 1);
}
bool TypeChar(HWND window, wchar_t c) {
    return Deliver(window, WM_CHAR, c, 1);
}

HWND FindEditorWindow() {
    return FindWindowW(kEditorClass, nullptr);
}

std::wstring EditorProgram() {
    // By full path from the Windows folder, so no regedit.exe in the current folder is started.
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        std::wstring path = std::wstring(folder) + L"\\regedit.exe";
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
    }
    return L"regedit.exe";
}

// Starts the editor and waits, bounded, for its window.
HWND StartEditor() {
    MDR_HERE();
    const std::wstring program = EditorProgram();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return nullptr;
    UniqueHandle process(info.hProcess);
    if (process) WaitForInputIdle(process.get(), kStartIdleMs);
    const ULONGLONG end = TickCount64() + kWindowAppearMs;
    for (;;) {
        if (HWND editor = FindEditorWindow()) return editor;
        if (TickCount64() >= end) return nullptr;
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(50);
    }
}

// Shows the editor's window without undoing a maximized state, and brings it forward.
void BringForward(HWND editor) {
    ShowWindowAsync(editor, IsIconic(editor) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(editor);
}

// Keyboard focus for a window of another program: only a thread attached to its input may set
// it.
void FocusOtherWindow(HWND target) {
    const DWORD targetThread = GetWindowThreadProcessId(target, nullptr);
    const DWORD self = GetCurrentThreadId();
    const bool attached =
        targetThread != 0 && targetThread != self && AttachThreadInput(self, targetThread, TRUE);
    SetFocus(target);
    if (attached) AttachThreadInput(self, targetThread, FALSE);
}

// ---- Reading and correcting what the type-ahead selected ----------------------------------------

// Memory inside the editor's process for the messages whose parameters are pointers: a record
// first, then room for one name.
class EditorMemory {
  public:
    static constexpr size_t kRecord = 256;
    static constexpr size_t kSize = kRecord + kNameChars * sizeof(wchar_t);

    explicit EditorMemory(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_.reset(
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (process_) {
            base_ = VirtualAllocEx(process_.get(), nullptr, kSize, MEM_COMMIT | MEM_RESERVE,
                                   PAGE_READWRITE);
        }
    }
    ~EditorMemory() {
        if (base_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
    }
    EditorMemory(const EditorMemory&) = delete;
    EditorMemory& operator=(const EditorMemory&) = delete;

    bool Valid() const { return base_ != nullptr; }
    LPARAM Record() const { return reinterpret_cast<LPARAM>(base_); }
    wchar_t* Text() const {
        return reinterpret_cast<wchar_t*>(static_cast<char*>(base_) + kRecord);
    }

    bool Put(const void* data, size_t size, size_t offset = 0) {
        SIZE_T done = 0;
        return offset + size <= kSize &&
               WriteProcessMemory(process_.get(), static_cast<char*>(base_) + offset, data, size,
                                  &done) &&
               done == size;
    }
    bool PutText(const std::wstring& text) {
        const std::wstring bounded = text.substr(0, kNameChars - 1);
        return Put(bounded.c_str(), (bounded.size() + 1) * sizeof(wchar_t), kRecord);
    }
    std::wstring GetText() const {
        std::wstring text(kNameChars, L'\0');
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_.get(), Text(), text.data(), kNameChars * sizeof(wchar_t),
                               &done)) {
            return std::wstring();
        }
        text.resize(wcsnlen(text.c_str(), kNameChars));
        return text;
    }

  private:
    UniqueHandle process_;
    void* base_ = nullptr;
};

HTREEITEM Relative(HWND tree, UINT relation, HTREEITEM from) {
    return reinterpret_cast<HTREEITEM>(
        Ask(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)).value_or(0));
}

std::optional<std::wstring> TreeItemText(HWND tree, EditorMemory& memory, HTREEITEM item) {
    TVITEMW record{};
    record.mask = TVIF_HANDLE | TVIF_TEXT;
    record.hItem = item;
    record.pszText = memory.Text();
    record.cchTextMax = static_cast<int>(kNameChars);
    if (!memory.PutText(L"") || !memory.Put(&record, sizeof(record))) return std::nullopt;
    if (!Ask(tree, TVM_GETITEMW, 0, memory.Record()).value_or(0)) return std::nullopt;
    return memory.GetText();
}

// Makes the child of parent named name the selected item, unless the typing selected it
// already. nullptr when parent has no such child.
HTREEITEM SelectChild(HWND tree, EditorMemory& memory, HTREEITEM parent, const std::wstring& name) {
    MDR_HERE();
    HTREEITEM selected = Relative(tree, TVGN_CARET, nullptr);
    if (selected && Relative(tree, TVGN_PARENT, selected) == parent &&
        EqualsNoCase(TreeItemText(tree, memory, selected).value_or(L""), name)) {
        return selected;
    }
    // The type-ahead missed it (characters it does not search by, such as blanks, or a sibling
    // with the same beginning): find the item by its name instead.
    HTREEITEM child = Relative(tree, TVGN_CHILD, parent);
    for (int n = 0; child && n < kMaxSiblings; ++n) {
        if (EqualsNoCase(TreeItemText(tree, memory, child).value_or(L""), name)) {
            if (!Ask(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child)))
                return nullptr;
            return child;
        }
        child = Relative(tree, TVGN_NEXT, child);
    }
    return nullptr;
}

// Makes the list's row named name the selected and focused one, unless the typing did.
bool SelectRow(HWND list, EditorMemory& memory, const std::wstring& name) {
    MDR_HERE();
    const auto selected = Ask(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (selected && *selected >= 0) {
        LVITEMW record{};
        record.iSubItem = 0;
        record.pszText = memory.Text();
        record.cchTextMax = static_cast<int>(kNameChars);
        if (memory.PutText(L"") && memory.Put(&record, sizeof(record)) &&
            Ask(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(*selected), memory.Record()) &&
            memory.GetText() == name) {
            return true;
        }
    }
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = memory.Text();
    if (!memory.PutText(name) || !memory.Put(&find, sizeof(find))) return false;
    const LRESULT row =
        Ask(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), memory.Record()).value_or(-1);
    if (row < 0) return false;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    if (!memory.Put(&state, sizeof(state)) ||
        !Ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), memory.Record())) {
        return false;
    }
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!memory.Put(&state, sizeof(state)) ||
        !Ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), memory.Record())) {
        return false;
    }
    Deliver(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    return true;
}

DWORD WINAPI JumpThread(void*) {
    MDR_HERE();
    for (;;) {
        std::pair<std::wstring, std::wstring> request;
        {
            JumpQueue& queue = Queue();
            std::lock_guard<Mutex> hold(queue.lock);
            if (!queue.pending) {
                queue.running = false;
                return 0;
            }
            request = std::move(*queue.pending);
            queue.pending.reset();
        }
        try {
            JumpToKey(request.first, request.second);
        } catch (...) {
            // The jump is a convenience; nothing of it may end the program.
        }
    }
}

} // namespace

std::vector<std::wstring> SplitJumpPath(std::wstring_view keyPath) {
    const std::wstring path = WithoutTrailingBackslash(keyPath);
    if (path.empty()) return {};
    return Split(path, L'\\');
}

JumpPlan PlanJump(std::wstring_view keyPath, const KeyExistsFn& keyExists) {
    JumpPlan plan;
    const std::vector<std::wstring> parts = SplitJumpPath(keyPath);
    if (parts.empty()) return plan;
    plan.root = RootKeyFromName(parts[0]);
    plan.treeText = parts[0] + L"\\";
    plan.complete = plan.root != 0;
    for (size_t i = 1; plan.complete && i < parts.size(); ++i) {
        const std::wstring next =
            plan.reachedSubkey.empty() ? parts[i] : plan.reachedSubkey + L"\\" + parts[i];
        if (parts[i].empty() || !keyExists(plan.root, next)) {
            // Removed since the scan: the editor stays at the deepest key that is there.
            plan.complete = false;
            break;
        }
        plan.reachedSubkey = next;
        plan.treeText += parts[i] + L"\\";
    }
    return plan;
}

int TypeIntoTree(HWND treeWindow, const std::wstring& text) {
    MDR_HERE();
    for (wchar_t c : text) {
        if (c == L'\\') {
            if (!KeyDown(treeWindow, VK_RIGHT)) return 0;
            Sleep(kLevelPauseMs);
        } else if (!TypeChar(treeWindow, c)) {
            return 0;
        }
    }
    return 1;
}

int JumpToKey(const std::wstring& keyPath, const std::wstring& valueName) {
    MDR_HERE();
    HWND editor = FindEditorWindow();
    if (!editor) {
        editor = StartEditor();
        if (!editor) return 0;
    }
    // An editor that does not answer is left alone rather than waited for.
    if (!Deliver(editor, WM_NULL, 0, 0)) return 0;
    BringForward(editor);

    // The editor keeps its tree and list inside a frame window, not directly under its main one.
    HWND tree = FindDescendantWindow(editor, kTreeClass);
    if (!tree) return 0;
    FocusOtherWindow(tree);
    for (int i = 0; i < kCollapseKeys; ++i) {
        if (!KeyDown(tree, VK_LEFT)) return 0;
    }
    Sleep(kSettleMs);
    if (!KeyDown(tree, VK_RIGHT)) return 0;
    Sleep(kSettleMs);

    const JumpPlan plan = PlanJump(keyPath, [](RootKey root, const std::wstring& subkey) {
        return KeyExists(root, subkey) != 0;
    });
    // Each name is typed, then checked (and put right) before its level is expanded.
    EditorMemory treeMemory(tree);
    HTREEITEM level = Relative(tree, TVGN_ROOT, nullptr);
    bool reached = true;
    for (const std::wstring& name : Split(WithoutTrailingBackslash(plan.treeText), L'\\')) {
        MDR_HERE();
        if (!TypeIntoTree(tree, name)) return 0;
        if (treeMemory.Valid()) {
            level = SelectChild(tree, treeMemory, level, name);
            if (!level) {
                reached = false;
                break;
            }
        }
        if (!TypeIntoTree(tree, L"\\")) return 0;
    }

    if (!valueName.empty() && plan.complete && reached &&
        ValueExists(plan.root, plan.reachedSubkey, valueName)) {
        MDR_HERE();
        HWND list = FindDescendantWindow(editor, kListClass);
        if (!list) return 0;
        FocusOtherWindow(list);
        Sleep(kSettleMs);
        if (!KeyDown(list, VK_HOME)) return 0;
        for (wchar_t c : valueName) {
            if (!TypeChar(list, c)) return 0;
        }
        EditorMemory listMemory(list);
        if (listMemory.Valid()) SelectRow(list, listMemory, valueName);
    }
    BringForward(editor);
    return 1;
}

void StartRegistryJump(const std::wstring& keyPath, const std::wstring& valueName) {
    MDR_HERE();
    try {
        JumpQueue& queue = Queue();
        std::lock_guard<Mutex> hold(queue.lock);
        queue.pending.emplace(keyPath, valueName);
        if (queue.running) return; // the running worker takes it next
        const UniqueHandle thread(CreateThread(nullptr, 0, JumpThread, nullptr, 0, nullptr));
        if (!thread) {
            queue.pending.reset();
            return;
        }
        queue.running = true;
    } catch (...) {
        // Called from the window procedure: nothing may leave it.
    }
}

} // namespace mdr
