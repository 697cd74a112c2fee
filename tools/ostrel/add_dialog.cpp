// The Add dialog: a name, a kind (machine or user Run value, or a shortcut in the user's
// startup folder), a program and its parameters.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include "common/text.h"
#include "common/trace.h"
#include "tools/frame/tool_dialog.h"
#include "tools/frame/tool_backup.h"
#include "tools/frame/tool_frame.h"
#include "tools/frame/tool_paths.h"
#include "tools/ostrel/ostrel_window.h"
#include "tools/ostrel/startup_entries.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kAddClass[] = L"VeltraneMendoraOstrelAdd";
enum Gadget {
    kNameLabel = 50,
    kName = 51,
    kKindLabel = 52,
    kKind = 53,
    kPathLabel = 54,
    kPath = 55,
    kBrowse = 56,
    kParametersLabel = 57,
    kParameters = 58,
    kCancel = 59,
    kAddButton = 60,
    kStartDisabled = 61,
};

void Tell(HWND dialog, const wchar_t* text, const wchar_t* title, UINT icon) {
    MessageBoxW(dialog, text, title, MB_OK | icon);
}

// The Add button: the checks in order, then the entry of the chosen kind. True when an entry
// was written or tried (the dialog then closes).
bool Add(HWND dialog) {
    const std::wstring name = ItemText(dialog, kName);
    const int kind = static_cast<int>(SendDlgItemMessageW(dialog, kKind, CB_GETCURSEL, 0, 0));
    const std::wstring path = ItemText(dialog, kPath);
    const std::wstring parameters = ItemText(dialog, kParameters);
    if (Trim(name).empty()) {
        Tell(dialog, L"Please enter the name of the startup entry.", kTitleInformation,
             MB_ICONINFORMATION);
        return false;
    }
    if (Trim(path).empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Tell(dialog, L"Please enter a valid file path.", kTitleInformation, MB_ICONINFORMATION);
        return false;
    }
    if (!IsSafeEntryName(name)) {
        Tell(dialog,
             L"The name cannot hold \\ / : * ? \" < > | or .., nor be a device name such as CON, "
             L"NUL, COM1 or LPT1.",
             kTitleInformation, MB_ICONINFORMATION);
        return false;
    }
    const StartupEntry entry = AddedEntry(kind, name);
    const bool registry = entry.root != 0;
    const bool exists = registry
                            ? ValueExists(entry.root, kRunKey, name) == 1
                            : GetFileAttributesW(entry.location.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        const std::wstring question =
            L"A startup entry named \"" + name + L"\" already exists here. Replace it?";
        if (MessageBoxW(dialog, question.c_str(), kTitleConfirm, MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
            return false;
        // What is replaced can be had back: the value from its backup, the shortcut from the
        // Recycle Bin or the backup folder.
        if (registry
                ? !WriteToolBackup(L"Ostrel", ToolBackupFolder(), {{entry.root, kRunKey, name}})
                       .written
                : !RemoveFile(entry.location, ToolBackupFolder())) {
            Tell(dialog,
                 L"The entry was not replaced, because what it holds now could not be backed up.",
                 kTitleWarning, MB_ICONWARNING);
            return true;
        }
    }
    bool written = false;
    if (registry) {
        written = WriteRunValue(entry.root, kRunKey, name, AddedCommand(path, parameters));
        if (!written)
            Tell(dialog, L"The registry value could not be created.", kTitleWarning,
                 MB_ICONWARNING);
    } else {
        const size_t slash = path.find_last_of(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
        written =
            CreateShortcut(path, entry.location, parameters, L"", folder, SW_SHOWNORMAL, path, 0);
        if (!written)
            Tell(dialog, L"The shortcut could not be created.", kTitleWarning, MB_ICONWARNING);
    }
    // Added switched off: Windows' own record says so, as Task Manager would write it.
    const bool disabled = IsDlgButtonChecked(dialog, kStartDisabled) == BST_CHECKED;
    if (written && disabled) {
        const SwitchResult result = SwitchStartupEntries({entry}, true, ToolBackupFolder());
        if (!result.failures[0].empty())
            Tell(dialog,
                 (L"The entry was added, but not disabled: " + result.failures[0] + L".").c_str(),
                 kTitleWarning, MB_ICONWARNING);
    }
    return true;
}

} // namespace

bool ShowAddDialog(HWND owner) {
    MDR_HERE();
    ToolDialog d(owner, kAddClass, L"Add new startup item", 415, 246);
    if (!d.Opened()) return false;
    HWND w = d.Handle();
    AddLabel(w, L"Startup entry name:", {10, 10, 395, 15}, kNameLabel);
    HWND name = AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {10, 30, 395, 20}, kName,
                           WS_EX_CLIENTEDGE);
    AddLabel(w, L"Startup type:", {10, 60, 395, 15}, kKindLabel);
    HWND kinds = AddDropDown(w, kKind, {10, 80, 395, 20},
                             {L"Registry startup (machine)", L"Registry startup (user)",
                              L"Startup folder entry (user)"});
    SendMessageW(kinds, CB_SETCURSEL, 0, 0);
    AddLabel(w, L"Full executable path:", {10, 115, 395, 15}, kPathLabel);
    AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {10, 135, 365, 20}, kPath,
               WS_EX_CLIENTEDGE);
    AddBrowseButton(w, kBrowse, {380, 133, 25, 25});
    AddLabel(w, L"Parameters:", {10, 165, 395, 15}, kParametersLabel);
    AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {10, 185, 395, 20}, kParameters,
               WS_EX_CLIENTEDGE);
    AddCheckBox(w, kStartDisabled, L"Disabled", {10, 218, 160, 20});
    AddButton(w, kCancel, L"Cancel", {180, 215, 110, 25});
    AddButton(w, kAddButton, L"Add", {295, 215, 110, 25}, BS_DEFPUSHBUTTON);
    bool attempted = false;
    d.On(kBrowse, [w] { BrowseForProgram(w, kPath); });
    d.On(
        kAddButton,
        [&] {
            attempted = Add(w);
            if (attempted) d.Close();
        },
        true);
    d.CancelOn(kCancel);
    d.Run(name);
    return attempted;
}

} // namespace mdr
