// The skeleton the four tools share: the start-up checks and steps, the resizable main window
// with its captioned toolbar, filter box, status bar and popup menus, the single-threaded event
// loop with its keyboard, the commands every tool has (About, help, show in folder, exit, filter,
// select all, copy the selected rows) and the layout it keeps between runs.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/window.h"
#include "tools/frame/batch_text.h"
#include "tools/frame/listing_export.h"

namespace mdr {

class SyncedList;

// The frame's commands, the same number in every tool.
inline constexpr int kFilterCommand = 80;       // the focus to the filter box (Ctrl+F, Ctrl+E)
inline constexpr int kSelectAllCommand = 81;    // every shown row of the main list (Ctrl+A)
inline constexpr int kCopySelectedCommand = 82; // the selected rows, tab-separated (Ctrl+C)

// A toolbar button or popup-menu item: its command number, its picture (an index of the icon
// table, -1 for none) and its caption with the "&" before the access letter. A command of -1
// is a separator.
struct ToolItem {
    int command;
    int icon;
    const wchar_t* caption;
};
inline constexpr ToolItem kToolSeparator{-1, -1, nullptr};

// A command of a tool: the numbers that run it (its toolbar button, popup item or key) and what it
// does.
struct ToolCommand {
    std::vector<int> ids;
    std::function<void()> run;
};
using ToolCommands = std::vector<ToolCommand>;

// Message titles of the tools.
inline constexpr wchar_t kTitleError[] = L"Error";
inline constexpr wchar_t kTitleWarning[] = L"Warning";
inline constexpr wchar_t kTitleInformation[] = L"Information";
inline constexpr wchar_t kTitleConfirm[] = L"Please confirm";

// What a tool supplies to the frame.
class Tool {
  public:
    virtual ~Tool() = default;
    virtual const ToolIdentity& Identity() const = 0;
    virtual std::vector<ToolItem> ToolbarItems() const = 0;
    // Start-up step 5: the tool's own preparation.
    virtual void Prepare() {}
    // Makes the popup menus (ToolFrame::MakePopupMenu); false when one could not be made.
    virtual bool CreateMenus() = 0;
    // Makes the lists inside the main window at area; returns the gadget that fills it, which
    // the frame anchors to the window's edges.
    virtual HWND CreateContent(HWND window, Place area) = 0;
    // The first refresh (step 11) and whatever follows it before the window shows.
    virtual void Start() = 0;
    // The tool's command table, asked for once, after CreateContent.
    virtual ToolCommands Commands() = 0;
    // Runs one command of the table; a tool that must not start a command while another runs
    // (a question or a child program is waiting) guards it here.
    virtual void RunCommand(const std::function<void()>& run) { run(); }
    // A notification from a child; true when the tool handled it (result set).
    virtual bool Notify(const NMHDR& header, LRESULT& result) = 0;
    // The context menu of list at screen point at (from the mouse or the keyboard).
    virtual void ContextMenu(HWND list, POINT at) = 0;
    // The command a key pressed in focus runs, -1 for none (the key then goes on as usual).
    virtual int KeyCommand(HWND focus, UINT key, bool control) = 0;
    // The list the filter box narrows, header clicks sort and Ctrl+A selects; null for none.
    virtual SyncedList* MainList() { return nullptr; }
    // The splitter whose position is kept between runs; null for none.
    virtual HWND LayoutSplitter() const { return nullptr; }
    // Any other message of the main window (timers, for example); true when the tool handled
    // it and set result.
    virtual bool OtherMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        (void)message, (void)wParam, (void)lParam, (void)result;
        return false;
    }
};

// The main window and what hangs off it; one per process.
class ToolFrame {
  public:
    HWND Window() const { return window_; }
    HWND Toolbar() const { return toolbar_; }
    HWND StatusBar() const { return status_; }
    HFONT Font() const;
    // The default row icon.
    HICON DefaultRowIcon() const;
    const ToolIdentity& Identity() const { return tool_->Identity(); }

    void SetTitle(const std::wstring& title) const;
    // The status text; while a filter is set the bar says how many rows it shows instead.
    void SetStatus(const std::wstring& text) const;
    HWND FilterBox() const { return filter_; }
    // A message box owned by the main window.
    int Message(const std::wstring& text, const wchar_t* title, UINT flags) const;

    // A popup menu of items with their pictures; empty when it could not be made.
    UniqueHmenu MakePopupMenu(const std::vector<ToolItem>& items) const;
    // Appends items to a menu; false when one could not be added.
    bool AppendMenuItems(HMENU menu, const std::vector<ToolItem>& items) const;
    // Opens menu at a screen point; its command arrives as WM_COMMAND.
    void ShowPopupMenu(HMENU menu, POINT at) const;

    bool ConfirmExit() const;
    void ShowAbout() const;
    void OpenHelp() const;
    // A choice the tool keeps between runs (a View menu switch) in "<Tool>.ini" beside the
    // window's layout: "" when missing. Keeping one rewrites only that key.
    std::wstring Setting(const wchar_t* group, const wchar_t* key) const;
    void KeepSetting(const wchar_t* group, const wchar_t* key, const std::wstring& value) const;

  private:
    friend int RunTool(Tool& tool);
    friend struct FrameAccess;
    Tool* tool_ = nullptr;
    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND status_ = nullptr;
    HWND filter_ = nullptr;
    UniqueHimagelist toolbarImages_;
};

// The frame of the running tool.
ToolFrame& Frame();

// Runs the tool: start-up steps 1 to 11 and the event loop. Returns the exit code.
int RunTool(Tool& tool);

// The start-up warnings for the two checks, in the order they are shown.
std::vector<std::wstring> StartupWarnings(bool administrator, bool debugPrivilege);
// Whether this user may open the service control manager with full access.
bool CheckAdministrator();

// " (32-bit view)" when this 32-bit tool runs on 64-bit Windows, where the system shows it the
// 32-bit registry and System32; "" otherwise. The tools add it to their count in the status bar.
std::wstring ViewNote();

// Adds the commands every tool has, on the tool's own numbers: help, About and Exit.
void AddFrameCommands(ToolCommands& commands, int help, int about, int exit);
// Adds Copy line (the selected row) and, unless all is -1, Copy all of list.
void AddCopyCommands(ToolCommands& commands, HWND list, int line, int all);

// The one report of a command run on several rows (BatchReport), a warning when any failed.
void ShowBatchReport(std::wstring_view done, std::wstring_view noun,
                     const std::vector<BatchOutcome>& outcomes);

// Starts explorer showing path selected in its folder; nothing for an empty path.
void ShowInFolder(const std::wstring& path);

} // namespace mdr
