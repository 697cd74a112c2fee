// Inside the main window: the handles every part of it shares, and the small helpers they use.
// Everything here belongs to the window's thread unless a comment says otherwise.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <functional>
#include <string>

#include "common/handles.h"
#include "mdr/core/localization.h"
#include "mdr/ui/command_ids.h"

namespace mdr {

// Window messages of our own.
constexpr UINT kMsgRunOnUiThread = WM_APP + 1; // lParam: std::function<void()>*
constexpr UINT kMsgTrayIcon = WM_APP + 2;      // the notification-area icon's callback
constexpr UINT kMsgFlushScanView = WM_APP + 3; // the scan queued changes to the gadgets
static_assert(kMsgQueryRowColor == WM_APP + 4);
constexpr UINT_PTR kFlushTimerId = 1; // the rest of a long batch of scan changes

constexpr int kTreeItemCount = 19; // root + 18 areas

struct MainUi {
    HWND window = nullptr;
    HWND statusBar = nullptr;
    HWND toolbar = nullptr;
    HWND list = nullptr;
    HWND filter = nullptr; // the results list's filter box
    HWND details = nullptr;
    HWND listSplitter = nullptr;
    HWND tree = nullptr;
    HWND treeSplitter = nullptr;
    HWND progress = nullptr;
    HMENU menuBar = nullptr; // attached to the window, destroyed with it
    UniqueHmenu popups[5];
    UniqueHaccel accelerators;
    HTREEITEM treeItems[kTreeItemCount] = {};
    int treeIconIndex[3] = {}; // image-list indices for normal, scanning and errors-found
    // Shared with their controls, which never destroy them: they go once the window has gone.
    UniqueHimagelist treeImages;
    UniqueHimagelist listImages;
    UniqueHimagelist toolbarImages;
    UniqueHbrush detailsBrush;
    DWORD threadId = 0;
    bool scanning = false;
    bool hasToolsButton = false;
    UINT taskbarCreated = 0; // registered message sent when the shell restarts
    uint64_t fixedCount = 0;
};
MainUi& Ui();

// Runs f on the window's thread and waits for it (directly when already there), after the scan
// view's queued changes. The window's thread keeps pumping during a scan, so this completes.
void RunOnUiThread(const std::function<void()>& f);

// Accelerators, then the usual translation and dispatch; keeps the tree's root open after keys.
void DispatchWindowMessage(MSG& msg);

// The id of the program's notification-area icon.
constexpr UINT kTrayIconId = 0;
// The icon's balloon that tells of errors found.
void ShowErrorsFoundBalloon();

// Message boxes owned by the main window, with their title and text from the language file.
bool AskYesNo(Text title, Text text);
void ShowInfo(Text title, Text text);
void ShowWarning(Text title, Text text);
void ShowError(Text title, Text text);

// Status bar field 0..3. While a filter narrows the results list, field 0 says how many rows
// it shows instead, and the text comes back once the filter is cleared.
void SetStatusText(int part, const std::wstring& text);
// Field 0 again after the list's rows or filter changed.
void RefreshStatusText();
// Fields 1 to 3 with their counts.
std::wstring ItemsScannedText(uint64_t n);
std::wstring ErrorsFoundText(uint64_t n);
std::wstring ErrorsFixedText(uint64_t n);

// Idle (everything available enabled, stop disabled) or scanning (only stop and minimize).
void EnableControlsForScan(bool scanning);

// Window actions shared by the main loop and the scan loop.
void OnWindowSized();
void MinimizeToTray();
void RestoreFromTray();
void RequestQuit();
void ShowPopupMenu(int menu, POINT screen);

// Menus (menus.cpp).
bool BuildMenus();
void EnableMenuCommand(int id, bool enable);
bool OnDrawMenuItem(const DRAWITEMSTRUCT* dis);

// Toolbar (toolbar.cpp).
bool BuildToolbar();
void EnableToolbarButton(int id, bool enable);
// Tooltips and the tools drop-down; true when handled (result in *result).
bool OnToolbarNotify(NMHDR* hdr, LRESULT* result);

} // namespace mdr
