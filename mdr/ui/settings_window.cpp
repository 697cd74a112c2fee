// The Settings window: three tab pages over AppSettings, the language list and a working copy
// of the exception list. OK applies, then saves MDRConfig and MDRExceptions in one write.
#include "mdr/ui/settings_window.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>
#include <exception>
#include <utility>
#include <unordered_set>

#include "mdr/core/config.h"
#include "mdr/core/logging.h"
#include "common/resources.h"
#include "mdr/core/settings.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/engine_state.h"
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/main_window.h"
#include "mdr/ui/results_list.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

using namespace settings_controls;

constexpr int kInnerWidth = 451;
constexpr int kInnerHeight = 338;
constexpr COLORREF kDefaultEntryColor = RGB(237, 242, 248);
constexpr int kPageCount = 3;
constexpr std::array<RootKey, 5> kRoots = {kHkcr, kHkcu, kHklm, kHku, kHkcc};

struct Dialog {
    HWND owner = nullptr;
    HWND window = nullptr;
    HWND tabs = nullptr;
    std::array<HWND, kPageCount> pages = {};
    HWND lastFocus = nullptr;
    // The working copy of the exception list, row for row as list 319 shows it.
    std::vector<SkipMapEntry> rows;
    COLORREF color = kDefaultEntryColor;
    UniqueGdi swatchBrush;
    std::wstring openingLanguage;
    bool done = false;
};

COLORREF g_customColors[16] = {}; // the colour chooser's custom colours, kept for the session

// ---- Message boxes owned by the dialog ----
// Owned by the Settings window, not by the disabled main window: a box re-enables its owner when it
// closes, which would free the main window while the dialog is still open.

int Box(const Dialog& d, Text title, Text text, UINT flags) {
    return MessageBoxW(d.window, LangText(text).c_str(), LangText(title).c_str(), flags);
}
void Info(const Dialog& d, Text title, Text text) {
    Box(d, title, text, MB_OK | MB_ICONINFORMATION);
}
void Warn(const Dialog& d, Text title, Text text) {
    Box(d, title, text, MB_OK | MB_ICONEXCLAMATION);
}
void Fail(const Dialog& d, Text title, Text text) {
    Box(d, title, text, MB_OK | MB_ICONERROR);
}
bool Ask(const Dialog& d, Text title, Text text) {
    return Box(d, title, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// ---- Controls ----

HWND Item(const Dialog& d, int id) {
    for (HWND page : d.pages) {
        if (HWND control = GetDlgItem(page, id)) return control;
    }
    return GetDlgItem(d.window, id);
}

HWND Label(HWND parent, Text text, Place place) {
    return AddLabel(parent, LangText(text), place);
}
HWND CheckBox(HWND parent, int id, Text text, Place place) {
    return AddCheckBox(parent, id, LangText(text), place);
}
HWND IconButton(HWND parent, int id, int icon, Place place) {
    HWND button = AddButton(parent, id, L"", place, BS_ICON);
    if (button)
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(AppIcon(icon)));
    return button;
}
// The texts first to last, which follow each other in the language file as the choices do.
std::vector<std::wstring> Entries(Text first, Text last) {
    std::vector<std::wstring> items;
    for (int n = static_cast<int>(first); n <= static_cast<int>(last); ++n)
        items.push_back(LangText(static_cast<Text>(n)));
    return items;
}
HWND TwoColumnList(HWND parent, int id, Place place, Text title0, int width0, Text title1,
                   int width1) {
    return AddReportList(parent, id, place, LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                         {{LangText(title0), width0}, {LangText(title1), width1}}, AppFont(0));
}
void AppendListRow(HWND list, const std::wstring& first, const std::wstring& second) {
    std::wstring text0 = first;
    std::wstring text1 = second;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = text0.data();
    const int row = ListView_InsertItem(list, &item);
    if (row >= 0) ListView_SetItemText(list, row, 1, text1.data());
}
bool IsChecked(const Dialog& d, int id) {
    return SendMessageW(Item(d, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void SetChecked(const Dialog& d, int id, int value) {
    SendMessageW(Item(d, id), BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}
// The selected item index, or current when nothing is selected (a stored value outside the
// list must not turn into -1 behind the user's back).
int SelectedIndex(const Dialog& d, int id, int current) {
    const LRESULT index = SendMessageW(Item(d, id), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? current : static_cast<int>(index);
}

// ---- Pages ----

// Page dialogs: an empty in-memory template, so the theme can give them the tab's background.
struct alignas(4) PageTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

HWND MakePage(HWND tabs) {
    PageTemplate t{};
    t.header.style = WS_CHILD | DS_CONTROL;
    t.header.dwExtendedStyle = WS_EX_CONTROLPARENT;
    HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &t.header, tabs, PageProc, 0);
    if (!page) return nullptr;
    // Themed tab pages are not plain button-face grey; uxtheme may be missing (Windows 2000).
    using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
    if (HMODULE theme = GetModuleHandleW(L"uxtheme.dll")) {
        auto enable = reinterpret_cast<EnableTexture>(
            reinterpret_cast<void*>(GetProcAddress(theme, "EnableThemeDialogTexture")));
        if (enable) enable(page, 6 /* ETDT_ENABLETAB */);
    }
    RECT area{};
    GetClientRect(tabs, &area);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
    return page;
}

bool MakeGeneralPage(HWND page) {
    bool ok = Label(page, Text::ScanSpeedLabel, {8, 13, 420, 15}) &&
              AddDropDown(page, kScanMode, {8, 33, 420, 20},
                          Entries(Text::ScanSpeedNormal, Text::ScanSpeedGentle));
    ok = ok && Label(page, Text::PreselectLabel, {8, 68, 420, 15}) &&
         AddDropDown(page, kSelectItems, {8, 88, 420, 20},
                     Entries(Text::PreselectSafe, Text::PreselectNothing));
    ok = ok && Label(page, Text::BeforeFixingLabel, {8, 118, 420, 15}) &&
         AddDropDown(page, kBeforeFixing, {8, 138, 420, 20},
                     Entries(Text::BeforeFixingBoth, Text::BeforeFixingAskRestorePoint));
    ok = ok && CheckBox(page, kDeleteBackups, Text::DeleteBackupsCheck, {8, 173, 420, 15}) &&
         CheckBox(page, kCreateLog, Text::CreateLogCheck, {8, 198, 420, 15}) &&
         CheckBox(page, kSkipRemovable, Text::SkipRemovableCheck, {8, 223, 420, 15});
    return ok;
}

bool MakeAppearancePage(HWND page) {
    // The label takes what the swatch can spare: translations run longer than English.
    bool ok =
        CheckBox(page, kHighlight, Text::HighlightCheck, {8, 13, 280, 15}) &&
        AddControl(page, L"EDIT", L"", ES_READONLY, {293, 13, 75, 15}, kSwatch, WS_EX_CLIENTEDGE) &&
        IconButton(page, kChooseColor, 32, {373, 8, 25, 25}) &&
        IconButton(page, kResetColor, 33, {403, 8, 25, 25});
    ok = ok && Label(page, Text::LanguageLabel, {8, 43, 420, 15}) &&
         TwoColumnList(page, kLanguages, {8, 63, 420, 200}, Text::LanguageColumn, 210,
                       Text::AuthorColumn, 205);
    return ok;
}

bool MakeExceptionsPage(HWND page) {
    std::vector<std::wstring> roots;
    for (RootKey root : kRoots)
        roots.push_back(RootKeyName(root));
    bool ok = TwoColumnList(page, kExceptionList, {8, 13, 420, 175}, Text::ExceptionRootColumn, 160,
                            Text::ExceptionSubkeyColumn, 255) &&
              Label(page, Text::RootKeyLabel, {8, 198, 165, 15}) &&
              AddDropDown(page, kNewRoot, {178, 193, 250, 20}, roots) &&
              Label(page, Text::SubkeyLabel, {8, 223, 165, 15}) &&
              AddControl(page, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {178, 218, 250, 20},
                         kNewSubkey, WS_EX_CLIENTEDGE);
    ok = ok && AddButton(page, kAdd, LangText(Text::ExceptionAddButton), {8, 243, 100, 20}) &&
         AddButton(page, kRemove, LangText(Text::ExceptionRemoveButton), {115, 243, 100, 20}) &&
         AddButton(page, kExport, LangText(Text::ExceptionExportButton), {222, 243, 100, 20}) &&
         AddButton(page, kImport, LangText(Text::ExceptionImportButton), {329, 243, 100, 20});
    if (ok) SendMessageW(GetDlgItem(page, kNewRoot), CB_SETCURSEL, 0, 0);
    return ok;
}

void ShowPage(Dialog& d, int index) {
    for (int i = 0; i < kPageCount; ++i)
        ShowWindow(d.pages[i], i == index ? SW_SHOW : SW_HIDE);
}

// ---- Filling ----

void SetSwatchColor(Dialog& d, COLORREF color) {
    d.color = color & 0xFFFFFF;
    d.swatchBrush.reset(CreateSolidBrush(d.color));
    InvalidateRect(Item(d, kSwatch), nullptr, TRUE);
}

void EnableColorButtons(Dialog& d, bool enable) {
    EnableWindow(Item(d, kChooseColor), enable);
    EnableWindow(Item(d, kResetColor), enable);
}

void FillLanguages(Dialog& d) {
    MDR_HERE();
    HWND list = Item(d, kLanguages);
    const std::vector<LanguageInfo>& languages = Languages();
    for (const LanguageInfo& language : languages)
        AppendListRow(list, language.name, language.author);
    const int current = LanguageIndexByFile(languages, Settings().CurrentLanguage);
    if (current < 0) return;
    d.openingLanguage = languages[current].name;
    const int row = LanguageIndexByName(languages, d.openingLanguage);
    if (row >= 0) SelectRow(list, row);
}

void FillSettings(Dialog& d) {
    MDR_HERE();
    const AppSettings& s = Settings();
    SendMessageW(Item(d, kScanMode), CB_SETCURSEL, static_cast<WPARAM>(s.ScanMode), 0);
    SendMessageW(Item(d, kSelectItems), CB_SETCURSEL, static_cast<WPARAM>(s.SelectItems), 0);
    SendMessageW(Item(d, kBeforeFixing), CB_SETCURSEL, static_cast<WPARAM>(s.BeforeFixing), 0);
    SetChecked(d, kDeleteBackups, s.DeleteBackups);
    SetChecked(d, kCreateLog, s.CreateLog);
    SetChecked(d, kSkipRemovable, s.SkipRemovable);
    SetChecked(d, kHighlight, s.HighlightEntry);
    SetSwatchColor(d, static_cast<COLORREF>(s.EntryColor));
    EnableColorButtons(d, s.HighlightEntry == 1);
}

void FillExceptions(Dialog& d) {
    MDR_HERE();
    HWND list = Item(d, kExceptionList);
    d.rows = Exceptions();
    for (const SkipMapEntry& e : d.rows)
        AppendListRow(list, RootKeyName(e.root), e.subkey);
}

// ---- Commands ----

void Finish(Dialog& d) {
    d.done = true;
}

void OnHighlightClicked(Dialog& d) {
    EnableColorButtons(d, IsChecked(d, kHighlight));
}

void OnChooseColor(Dialog& d) {
    MDR_HERE();
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = d.window;
    choose.rgbResult = d.color;
    choose.lpCustColors = g_customColors;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (ChooseColorW(&choose)) SetSwatchColor(d, choose.rgbResult);
}

void OnResetColor(Dialog& d) {
    SetSwatchColor(d, kDefaultEntryColor);
}

void OnAdd(Dialog& d) {
    MDR_HERE();
    const int index = SelectedIndex(d, kNewRoot, 0);
    const RootKey root = kRoots[index >= 0 && index < static_cast<int>(kRoots.size()) ? index : 0];
    const std::wstring subkey = ExceptionSubkeyFromInput(WindowText(Item(d, kNewSubkey)));
    if (subkey.empty()) {
        Info(d, Text::InformationTitle, Text::ExceptionSubkeyMissing);
        return;
    }
    if (HasExceptionRow(d.rows, root, subkey)) {
        Info(d, Text::InformationTitle, Text::ExceptionRowExists);
        return;
    }
    d.rows.push_back(SkipMapEntry{root, subkey});
    AppendListRow(Item(d, kExceptionList), RootKeyName(root), subkey);
    SetWindowTextW(Item(d, kNewSubkey), L"");
}

void OnRemove(Dialog& d) {
    MDR_HERE();
    HWND list = Item(d, kExceptionList);
    const int row = SelectedRow(list);
    if (row < 0 || row >= static_cast<int>(d.rows.size())) {
        Info(d, Text::InformationTitle, Text::SelectExceptionFirst);
        return;
    }
    if (!Ask(d, Text::ConfirmTitle, Text::ExceptionRemoveQuestion)) return;
    d.rows.erase(d.rows.begin() + row);
    ListView_DeleteItem(list, row);
}

// The common file dialog for an exceptions file; "" when the user cancelled.
std::wstring AskExceptionsFile(Dialog& d, Text titleText, bool save) {
    MDR_HERE();
    const std::wstring filter =
        ExceptionFileFilter(LangText(Text::ExceptionFilesFilter), LangText(Text::AllFilesFilter));
    std::wstring file;
    return AskFileName(d.window, LangText(titleText).c_str(), filter.c_str(), save,
                       OFN_PATHMUSTEXIST, file)
               ? file
               : std::wstring();
}

void OnExport(Dialog& d) {
    MDR_HERE();
    if (Exceptions().empty()) {
        Info(d, Text::InformationTitle, Text::NoExceptionsToExport);
        return;
    }
    const std::wstring chosen = AskExceptionsFile(d, Text::ExceptionExportTitle, true);
    if (chosen.empty()) return;
    const std::wstring path = WithMdrExtension(chosen);
    if (FileSizeOf(path) > 0 && !Ask(d, Text::ConfirmTitle, Text::FileReplaceQuestion)) return;
    if (!ExceptionFileFor(d.rows).Save(path)) {
        Fail(d, Text::ErrorTitle, Text::ExceptionFileNotCreated);
        return;
    }
    Info(d, Text::InformationTitle, Text::ExceptionsExported);
}

void OnImport(Dialog& d) {
    MDR_HERE();
    const std::wstring path = AskExceptionsFile(d, Text::ExceptionImportTitle, false);
    if (path.empty()) return;
    IniFile file;
    if (file.Load(path) != FileState::Ok) {
        Fail(d, Text::ErrorTitle, Text::ExceptionFileNotOpened);
        return;
    }
    HWND list = Item(d, kExceptionList);
    for (SkipMapEntry& e : ExceptionsFromFile(file)) {
        MDR_HERE();
        // Only the saved list is consulted: rows added in this dialog may come in twice.
        if (InExceptions(e.root, e.subkey)) continue;
        AppendListRow(list, RootKeyName(e.root), e.subkey);
        d.rows.push_back(std::move(e));
    }
    Info(d, Text::InformationTitle, Text::ExceptionsImported);
}

void ApplyResultRowColors() {
    MDR_HERE();
    const AppSettings& s = Settings();
    const COLORREF color = s.HighlightEntry == 1 ? static_cast<COLORREF>(s.EntryColor)
                                                 : ListView_GetBkColor(Ui().list);
    SetAllResultRowColors(color);
}

void OnOk(Dialog& d) {
    MDR_HERE();
    HWND languageList = Item(d, kLanguages);
    const int languageRow = SelectedRow(languageList);
    if (languageRow < 0) {
        Info(d, Text::InformationTitle, Text::SelectLanguageFirst);
        return;
    }
    AppSettings& s = Settings();
    std::wstring chosenLanguage = CellText(languageList, languageRow, 0);
    const int language = LanguageIndexByName(Languages(), chosenLanguage);
    if (language >= 0) {
        s.CurrentLanguage = Languages()[language].path;
        chosenLanguage = Languages()[language].name;
    }

    s.ScanMode = SelectedIndex(d, kScanMode, s.ScanMode);
    s.SelectItems = SelectedIndex(d, kSelectItems, s.SelectItems);
    s.BeforeFixing = SelectedIndex(d, kBeforeFixing, s.BeforeFixing);
    s.DeleteBackups = IsChecked(d, kDeleteBackups) ? 1 : 0;
    s.CreateLog = IsChecked(d, kCreateLog) ? 1 : 0;
    s.SkipRemovable = IsChecked(d, kSkipRemovable) ? 1 : 0;
    s.HighlightEntry = IsChecked(d, kHighlight) ? 1 : 0;
    s.EntryColor = static_cast<int>(d.color);

    SetScanDelay(s.ScanMode);
    SetSkipRemovable(s.SkipRemovable);
    ApplyResultRowColors();

    // A row imported twice is kept once: the file can hold each key only once anyway.
    std::vector<SkipMapEntry> exceptions;
    exceptions.reserve(d.rows.size());
    std::unordered_set<std::wstring> seen; // hashed: OK stays quick with many exceptions
    seen.reserve(d.rows.size());
    for (const SkipMapEntry& row : d.rows) {
        std::wstring subkey = WithoutTrailingBackslash(row.subkey);
        if (seen.insert(SkipEntryKey(row.root, subkey)).second)
            exceptions.push_back(SkipMapEntry{row.root, std::move(subkey)});
    }
    // One write for both groups: a file that cannot be read or written stays as it was, and
    // the exception list in use changes only together with the file.
    if (!SaveConfigAndExceptions(Paths().configFile, s, exceptions)) {
        Log(L"Could not save settings");
        Warn(d, Text::WarningTitle, Text::SettingsNotSaved);
        return;
    }
    Exceptions().clear();
    for (const SkipMapEntry& e : exceptions)
        AddException(e.root, e.subkey);

    if (!EqualsNoCase(chosenLanguage, d.openingLanguage))
        Info(d, Text::InformationTitle, Text::LanguageAtNextStart);
    Finish(d);
}

struct Command {
    int id;
    void (*run)(Dialog&);
};

const Command kCommands[] = {
    {kCancel, Finish},
    {IDCANCEL, Finish},
    {kOk, OnOk},
    {kHighlight, OnHighlightClicked},
    {kChooseColor, OnChooseColor},
    {kResetColor, OnResetColor},
    {kAdd, OnAdd},
    {kRemove, OnRemove},
    {kExport, OnExport},
    {kImport, OnImport},
};

void OnCommand(Dialog& d, int id, int code) {
    if (code != BN_CLICKED) return;
    for (const Command& c : kCommands) {
        if (c.id == id) {
            c.run(d);
            return;
        }
    }
}

// ---- Window procedures ----

// No exception may leave a window procedure: a failed command is logged and the dialog goes on.
template <typename F> bool Guarded(F f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        Log(L"Unexpected error in the settings window: " + FromUtf8(e.what()));
    } catch (...) {
        Log(L"Unexpected error in the settings window");
    }
    return false;
}

// The pages share the settings window's context.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* d = BoundContext<Dialog>(GetAncestor(page, GA_ROOT));
    if (!d) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        return FALSE; // focus stays where the window puts it
    case WM_COMMAND:
        Guarded([&] { OnCommand(*d, LOWORD(wParam), HIWORD(wParam)); });
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Item(*d, kSwatch) && d->swatchBrush) {
            SetBkColor(reinterpret_cast<HDC>(wParam), d->color);
            return reinterpret_cast<INT_PTR>(d->swatchBrush.get());
        }
        return FALSE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK SettingsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* d = WindowContext<Dialog>(window, message, lParam);
    if (d) {
        switch (message) {
        case WM_COMMAND:
            Guarded([&] { OnCommand(*d, LOWORD(wParam), HIWORD(wParam)); });
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == d->tabs && header->code == TCN_SELCHANGE)
                ShowPage(*d, TabCtrl_GetCurSel(d->tabs));
            return 0;
        }
        case WM_CLOSE:
            Finish(*d);
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(kOk, DC_HASDEFID);
        case WM_ACTIVATE:
            // Keep the keyboard focus on its control across message boxes and file dialogs.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(window, focus)) d->lastFocus = focus;
            } else if (d->lastFocus && IsWindow(d->lastFocus)) {
                SetFocus(d->lastFocus);
                return 0;
            }
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CreateSettingsWindow(Dialog& d) {
    MDR_HERE();
    if (!RegisterWindowClass({kSettingsWindowClass, SettingsProc})) return false;
    d.window = CreateModalWindow(
        {kSettingsWindowClass, LangText(Text::SettingsTitle), kInnerWidth, kInnerHeight}, d.owner,
        &d);
    if (!d.window) return false;

    d.tabs = AddControl(d.window, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPCHILDREN,
                        {5, 5, 440, 300}, kTabs, WS_EX_CONTROLPARENT);
    if (!d.tabs) return false;
    TabCtrl_SetImageList(d.tabs, AppIconList());
    const std::pair<Text, int> tabs[kPageCount] = {
        {Text::GeneralTab, 29}, {Text::AppearanceTab, 30}, {Text::ExceptionsTab, 31}};
    for (int i = 0; i < kPageCount; ++i) {
        std::wstring caption = LangText(tabs[i].first);
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = caption.data();
        item.iImage = tabs[i].second;
        if (TabCtrl_InsertItem(d.tabs, i, &item) < 0) return false;
    }
    for (HWND& page : d.pages) {
        page = MakePage(d.tabs);
        if (!page) return false;
    }
    if (!MakeGeneralPage(d.pages[0]) || !MakeAppearancePage(d.pages[1]) ||
        !MakeExceptionsPage(d.pages[2]))
        return false;
    return AddButton(d.window, kCancel, LangText(Text::CancelButton), {230, 309, 105, 25}) &&
           AddButton(d.window, kOk, LangText(Text::OkButton), {340, 309, 105, 25},
                     BS_DEFPUSHBUTTON);
}

} // namespace

// ---- Public ----

int SettingsWindow() {
    MDR_HERE();
    // Already open: one dialog at a time.
    if (FindThreadWindow(kSettingsWindowClass)) return 1;
    Log(L"SettingsWindow()");
    Dialog dialog;
    dialog.owner = MainWindowHandle();
    ScopeExit close([&] { CloseModal(dialog.window, dialog.owner); });

    if (!CreateSettingsWindow(dialog)) {
        MessageBoxW(nullptr, LangText(Text::WindowOpenFailed).c_str(),
                    LangText(Text::ErrorTitle).c_str(), MB_OK | MB_ICONERROR);
        EndProgram();
    }
    FillLanguages(dialog);
    FillSettings(dialog);
    FillExceptions(dialog);
    ShowPage(dialog, 0);
    ShowModalWindow(dialog.window, dialog.tabs);
    RunModalLoop(dialog.window, [&] { return dialog.done || Flags().quitRequested; });

    Log(L"SettingsWindow() -> retn");
    return 1;
}

void InstallSettingsWindow() {
    SetCommandHandler(HookedCommand::Settings, [] { SettingsWindow(); });
}

// ---- Pure logic ----

std::wstring ExceptionSubkeyFromInput(std::wstring_view typed) {
    return WithoutTrailingBackslash(Trim(typed));
}

bool HasExceptionRow(const std::vector<SkipMapEntry>& rows, uint32_t root,
                     std::wstring_view subkey) {
    for (const SkipMapEntry& row : rows) {
        if (SameSkipEntry(row, root, subkey)) return true;
    }
    return false;
}

uint32_t RootFromExactName(std::wstring_view name) {
    const RootKey root = RootKeyFromName(name);
    return RootKeyName(root) == name ? root : 0;
}

std::wstring WithMdrExtension(std::wstring_view fileName) {
    if (EndsWithNoCase(Trim(fileName), L".mdr")) return std::wstring(fileName);
    return std::wstring(fileName) + L".mdr";
}

IniFile ExceptionFileFor(const std::vector<SkipMapEntry>& rows) {
    IniFile file;
    int number = 0;
    for (const SkipMapEntry& row : rows) {
        const std::wstring root = RootKeyName(row.root);
        if (root.empty()) continue;
        const std::wstring group = L"EX_" + std::to_wstring(number);
        if (!file.Set(group, L"MainKey", root)) continue;
        if (!file.Set(group, L"SubKey", WithoutTrailingBackslash(row.subkey))) {
            file.RemoveGroup(group);
            continue;
        }
        ++number;
    }
    return file;
}

std::vector<SkipMapEntry> ExceptionsFromFile(const IniFile& file) {
    std::vector<SkipMapEntry> entries;
    // Groups are walked one by one: a file with two groups of the same name yields both.
    for (const IniGroup& group : file.Groups()) {
        std::wstring mainKey;
        std::wstring subkey;
        bool haveMain = false;
        bool haveSub = false;
        for (const IniLine& line : group.lines) {
            if (!line.isKey) continue;
            if (!haveMain && EqualsNoCase(line.key, L"MainKey")) {
                mainKey = line.value;
                haveMain = true;
            } else if (!haveSub && EqualsNoCase(line.key, L"SubKey")) {
                subkey = line.value;
                haveSub = true;
            }
        }
        const uint32_t root = RootFromExactName(mainKey);
        subkey = WithoutTrailingBackslash(subkey);
        if (root == 0 || Trim(subkey).empty()) continue;
        entries.push_back(SkipMapEntry{root, std::move(subkey)});
    }
    return entries;
}

std::wstring ExceptionFileFilter(std::wstring_view listsCaption, std::wstring_view allCaption) {
    const std::wstring parts[] = {std::wstring(listsCaption) + L" (*.mdr)", L"*.mdr",
                                  std::wstring(allCaption) + L" (*.*)", L"*.*"};
    std::wstring filter;
    for (const std::wstring& part : parts) {
        filter += part;
        filter += L'\0';
    }
    filter += L'\0';
    return filter;
}

int LanguageIndexByFile(const std::vector<LanguageInfo>& languages, std::wstring_view path) {
    for (size_t i = 0; i < languages.size(); ++i) {
        if (EqualsNoCase(languages[i].path, Trim(path))) return static_cast<int>(i);
    }
    return -1;
}

int LanguageIndexByName(const std::vector<LanguageInfo>& languages, std::wstring_view name) {
    for (size_t i = 0; i < languages.size(); ++i) {
        if (EqualsNoCase(languages[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

} // namespace mdr
