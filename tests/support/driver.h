// End-to-end test driver: starts the real programs of the install folder as child processes of
// the test and drives their windows from outside, the way a user would, reading the controls
// of another process. Every wait is bounded.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include "common/handles.h"
#include "common/late_bound.h"
#include "tests/support/test_files.h"

namespace mdr::driver {
using namespace mdr::test;

constexpr DWORD kDefaultTimeout = 10000;

// A started child process. The destructor kills it (only this PID) when it still runs.
class Process {
  public:
    Process() = default;
    Process(Process&&) noexcept = default;
    ~Process() { Kill(); }

    // CreateProcessW(exe, "\"exe\" " + arguments); workDir "" = the exe's folder. On failure
    // the test gets a failure.
    static Process Start(const std::wstring& exe, const std::wstring& arguments = L"",
                         const std::wstring& workDir = L"");

    DWORD Pid() const { return pid_; }
    bool Running() const;
    bool WaitExit(DWORD timeoutMs = kDefaultTimeout, DWORD* exitCode = nullptr);
    void Kill();

  private:
    mdr::UniqueHandle process_;
    DWORD pid_ = 0;
};

// Starts DistDir() + "MDR.exe" (or distDir + "MDR.exe" for a copied install folder).
Process StartMdr(const std::wstring& arguments = L"", const std::wstring& distDir = L"");

struct WindowQuery {
    std::wstring_view className; // ignoring case, "" = any
    std::wstring_view title;     // prefix of the title, "" = any
    bool visibleOnly = true;

    static WindowQuery Any() { return WindowQuery{L"", L"", true}; }
    static WindowQuery Titled(std::wstring_view prefix) { return WindowQuery{L"", prefix, true}; }
    static WindowQuery OfClass(std::wstring_view name) { return WindowQuery{name, L"", true}; }
};

// Top-level windows of process pid matching the query (pid 0 = any process).
std::vector<HWND> TopLevelWindows(DWORD pid, const WindowQuery& query = WindowQuery::Any());
HWND WaitForWindow(DWORD pid, const WindowQuery& query, DWORD timeoutMs = kDefaultTimeout);

// All descendants (children, grandchildren, ...) of a class ("" = any), in Z order.
std::vector<HWND> Descendants(HWND parent, std::wstring_view className = L"");
// The first descendant of that class ("" = any) and control id (-1 = any).
HWND FindDescendant(HWND parent, std::wstring_view className, int id = -1);

std::wstring ClassOf(HWND window);
// The first descendant whose text equals text, ignoring "&" mnemonics and case.
HWND FindDescendantByText(HWND parent, std::wstring_view className, std::wstring_view text);
std::wstring GetText(HWND window);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;                 // the static with id 0xFFFF
    std::vector<std::wstring> buttons; // captions, in Z order
    bool hasIcon = false;              // an icon static beside the text
};

// The first dialog-class window (#32770) of pid; std::nullopt after timeoutMs.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeoutMs = kDefaultTimeout);
MessageBoxInfo ReadMessageBox(HWND box);

bool PressButton(HWND window, int id);
// BM_CLICK on the first button whose caption matches (ignoring "&" and case).
bool PressButtonByText(HWND window, std::wstring_view caption);
bool PostCommand(HWND window, int id);
bool PostClose(HWND window);
// SendMessageTimeoutW with a bounded wait; the result, or nullopt when it timed out or failed.
std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                            DWORD timeoutMs = 5000);

// Memory in another process for messages whose parameters are pointers.
class RemoteBuffer {
  public:
    RemoteBuffer(HWND owner, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    LPARAM Address(size_t offset = 0) const;
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;
    std::wstring ReadString(size_t offset, size_t maxChars) const;

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_ = 0;
};

struct ListViewRow {
    std::vector<std::wstring> cells; // one per column
    bool checked = false, selected = false;
    LPARAM data = 0; // item data (the tools' record ids)
    int image = -1;  // image index
};

struct ListViewContent {
    std::vector<ListViewRow> rows;
};
ListViewContent ReadListView(HWND list);
int ListViewCount(HWND list);
// Sets or clears a row's check box (LVM_SETITEMSTATE), as a click would.
bool SetListViewCheck(HWND list, int row, bool checked);
// Selects and focuses row alone, as a click does.
bool SelectListViewRow(HWND list, int row);
// A click on a report list's header over column (in the list's own column order).
void ClickListHeader(HWND list, int column);

struct TreeItem {
    int level = 0; // 0 for the roots
    std::wstring text;
    int stateImage = 0; // 0 none, 1 unchecked, 2 checked
    bool selected = false;
    int image = -1;
};

// Every item in display order (pre-order), collapsed branches included.
std::vector<TreeItem> ReadTreeView(HWND tree);

std::wstring ReadStatusBarPart(HWND statusBar, int part);

// Waits for process pid's file dialog titled title, types path into its file-name box and
// presses its OK button; false (with the reason as a test failure) when any step failed.
bool AnswerFileDialog(DWORD pid, std::wstring_view title, const std::wstring& path);

// The clipboard's Unicode text ("" when it holds none); ClearClipboard empties it.
std::wstring ClipboardText();
void ClearClipboard();

// Polls condition every 20 ms until it holds or timeoutMs has passed.
template <typename F> bool WaitUntil(F condition, DWORD timeoutMs = kDefaultTimeout) {
    const ULONGLONG end = TickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (TickCount64() >= end) return false;
        Sleep(20);
    }
}

// While it lives, Wine reports the Windows version named ("winxp", "win2k") to programs of that
// file name (HKCU\Software\Wine\AppDefaults\<exe>\Version), and the programs started meanwhile
// trace their late-bound lookups into the file trace (common/late_bound.h).
struct WineVersion {
    WineVersion(const std::wstring& exe, const wchar_t* version, const std::wstring& trace = L"");
    ~WineVersion();
    const std::wstring key;
};

// Base fixture for end-to-end tests: keeps the processes a test starts and ends those still
// running at tear-down.
class DriverTest : public ::testing::Test {
  protected:
    // Starts MDR (see StartMdr) and keeps it for tear-down; returns the kept process.
    Process& LaunchMdr(const std::wstring& arguments = L"", const std::wstring& distDir = L"");
    Process& Launch(const std::wstring& exe, const std::wstring& arguments = L"",
                    const std::wstring& workDir = L"");
    void TearDown() override { processes_.clear(); } // each kills its process if it still runs

  private:
    std::deque<Process> processes_; // deque: references handed out stay valid
};
} // namespace mdr::driver
