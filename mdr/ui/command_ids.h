// Numbers of the main window's menu items, pop-up items, toolbar buttons and gadgets. They are
// fixed: other modules and the end-to-end tests refer to them.
#pragma once

namespace mdr {

// Menu 0 (the menu bar).
enum MenuId : int {
    kCmdStartScan = 0,
    kCmdStopScan = 1,
    kCmdMinimizeToTray = 2,
    kCmdExit = 3,
    kCmdTickAllAreas = 4,
    kCmdSelectAll = 5,
    kCmdSelectSafe = 6,
    kCmdSelectUnsafe = 7,
    kCmdUntickAllAreas = 8,
    kCmdDeselectAll = 9,
    kCmdDeselectSafe = 10,
    kCmdDeselectUnsafe = 11,
    kCmdInvertSelection = 12,
    kCmdOpenInRegedit = 13,
    kCmdFix = 14,
    kCmdBackupManager = 15,
    kCmdFullBackup = 16,
    kCmdRestorePoint = 17,
    kCmdExport = 18,
    kCmdSettings = 19,
    kCmdHelp = 20,
    kCmdWebSite = 21,
    kCmdAbout = 22,
    kLastMenuBarId = 22,
};

// Pop-up menu 1 (scan-area tree).
enum TreePopupId : int { kCmdTreeTickAll = 50, kCmdTreeUntickAll = 51 };

// Pop-up menu 2 (results list).
enum ListPopupId : int {
    kCmdListSelectAll = 100,
    kCmdListSelectSafe = 101,
    kCmdListSelectUnsafe = 102,
    kCmdListInvert = 103,
    kCmdListDeselectAll = 104,
    kCmdListAddException = 105,
    kCmdListFix = 106,
    kCmdListOpenInRegedit = 107,
    // The results list's own keyboard commands: the focus to the filter box (Ctrl+F, also in the
    // Edit menu); "select all" of the list (Ctrl+A) is kCmdListSelectAll, which ticks every shown
    // row.
    kCmdListFilter = 108,
};

// Pop-up menu 3 (notification-area icon).
enum TrayPopupId : int { kCmdTrayRestore = 150, kCmdTrayExit = 151 };

// Pop-up menu 4 lists the tools: ids from kFirstToolId on.
constexpr int kFirstToolId = 200;

// Toolbar buttons.
enum ToolbarId : int {
    kBtnScan = 500,
    kBtnStop = 501,
    kBtnBackupManager = 502,
    kBtnFix = 503,
    kBtnTools = 504,
    kBtnSettings = 505,
    kBtnHelp = 506,
    kBtnAbout = 507,
    kBtnExit = 508,
};

// Gadget numbers of the main window; a gadget's control id is kGadgetIdBase + its number.
enum GadgetNumber : int {
    kGadgetResultsList = 0,
    kGadgetDetailsBox = 1,
    kGadgetListSplitter = 2, // results list above, details box below
    kGadgetAreaTree = 3,
    kGadgetTreeSplitter = 4, // tree on the left, gadget 2 on the right
    kGadgetProgressBar = 5,
    kGadgetFilterBox = 6,  // above the results list
    kGadgetFilterPane = 7, // the filter box above gadget 0, in gadget 2's upper pane
};
constexpr int kGadgetIdBase = 1000;
constexpr int kToolbarControlId = 1100;
constexpr int kStatusBarControlId = 1101;

// Asks the main window which background a results-list row is drawn with: wParam = row;
// the answer is the COLORREF, or CLR_NONE for the list's own background. Carries no pointer, so
// other processes (the end-to-end tests) can ask too.
constexpr unsigned kMsgQueryRowColor = 0x8000 + 4; // WM_APP + 4

// The window's class, for finding it from outside.
constexpr wchar_t kMainWindowClass[] = L"VeltraneMendoraMain";

} // namespace mdr
