// Jump to key: drives the system registry editor's window with keystrokes.
#include "ui/regedit_jump.h"

#include <shellapi.h>

#include <atomic>
#include <new>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Regedit);

namespace mdr {

namespace {

constexpr wchar_t kEditorClass[] = L"RegEdit_RegEdit";
constexpr wchar_t kTreeClass[] = L"SysTreeView32";
constexpr wchar_t kListClass[] = L"SysListView32";

// Walking up and collapsing: more Left presses than any key path has levels.
constexpr int kCollapseKeys = 30;
// Time for the editor to fill a level it has just expanded (and to let the type-ahead search of
// the level before lapse, so the next name starts a new search).
constexpr DWORD kSettleMs = 100;
// Bounds for an editor that does not come up or stops answering: MDR must never hang on it.
constexpr DWORD kStartIdleMs = 10000;
constexpr DWORD kWindowAppearMs = 5000;
constexpr DWORD kMessageTimeoutMs = 2000;

std::atomic<bool> g_jumpRunning{false};

// A message the editor must take within the time-out; false when it did not.
bool Deliver(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               kMessageTimeoutMs, &result) != 0;
}

// Key messages carry a repeat count of 1, as the keyboard's would (a zero count is ignored by
// some controls' type-ahead).
bool KeyDown(HWND window, UINT key) {
    return Deliver(window, WM_KEYDOWN, key, 1);
}
bool TypeChar(HWND window, wchar_t c) {
    return Deliver(window, WM_CHAR, c, 1);
}

HWND FindEditorWindow() {
    return FindWindowW(kEditorClass, nullptr);
}

struct DescendantSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM lp) {
    auto* search = reinterpret_cast<DescendantSearch*>(lp);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (EqualsNoCase(name, search->className)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first window of a class anywhere below parent: the editor keeps its tree and list inside
// a frame window, not directly under its main window.
HWND FindDescendant(HWND parent, const wchar_t* className) {
    DescendantSearch search{className, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
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
    const ULONGLONG end = GetTickCount64() + kWindowAppearMs;
    for (;;) {
        if (HWND editor = FindEditorWindow()) return editor;
        if (GetTickCount64() >= end) return nullptr;
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

DWORD WINAPI JumpThread(void* parameter) {
    MDR_HERE();
    auto* request = static_cast<std::pair<std::wstring, std::wstring>*>(parameter);
    try {
        JumpToKey(request->first, request->second);
    } catch (...) {
        // The jump is a convenience; nothing of it may end the program.
    }
    delete request;
    g_jumpRunning = false;
    return 0;
}

} // namespace

RootKey RootKeyFromLongName(std::wstring_view name) {
    const std::wstring n = Trim(ToLower(name));
    if (n == L"hkey_classes_root") return kHkcr;
    if (n == L"hkey_current_user") return kHkcu;
    if (n == L"hkey_local_machine") return kHklm;
    if (n == L"hkey_users") return kHku;
    if (n == L"hkey_current_config") return kHkcc;
    return 0;
}

std::vector<std::wstring> SplitJumpPath(std::wstring_view keyPath) {
    const std::wstring path = WithoutTrailingBackslash(keyPath);
    if (path.empty()) return {};
    return Split(path, L'\\');
}

JumpPlan PlanJump(std::wstring_view keyPath, const KeyExistsFn& keyExists) {
    JumpPlan plan;
    const std::vector<std::wstring> parts = SplitJumpPath(keyPath);
    if (parts.empty()) return plan;
    plan.root = RootKeyFromLongName(parts[0]);
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
            Sleep(kSettleMs);
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

    HWND tree = FindDescendant(editor, kTreeClass);
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
    if (!TypeIntoTree(tree, plan.treeText)) return 0;

    if (!valueName.empty() && plan.complete &&
        ValueExists(plan.root, plan.reachedSubkey, valueName)) {
        MDR_HERE();
        HWND list = FindDescendant(editor, kListClass);
        if (!list) return 0;
        FocusOtherWindow(list);
        Sleep(kSettleMs);
        if (!KeyDown(list, VK_HOME)) return 0;
        for (wchar_t c : valueName) {
            if (!TypeChar(list, c)) return 0;
        }
    }
    BringForward(editor);
    return 1;
}

void StartRegistryJump(const std::wstring& keyPath, const std::wstring& valueName) {
    MDR_HERE();
    if (g_jumpRunning.exchange(true)) return;
    auto* request = new (std::nothrow) std::pair<std::wstring, std::wstring>();
    try {
        if (request) *request = {keyPath, valueName};
    } catch (...) {
        delete request;
        request = nullptr;
    }
    HANDLE thread = request ? CreateThread(nullptr, 0, JumpThread, request, 0, nullptr) : nullptr;
    if (!thread) {
        delete request;
        g_jumpRunning = false;
        return;
    }
    CloseHandle(thread);
}

} // namespace mdr
