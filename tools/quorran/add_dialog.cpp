// The Add dialog: a new uninstall entry with its identifier, names, folder and uninstaller.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

#include "common/text.h"
#include "common/trace.h"
#include "common/resources.h"
#include "tools/frame/tool_dialog.h"
#include "tools/frame/tool_frame.h"
#include "tools/quorran/quorran_window.h"
#include "tools/quorran/uninstall_entries.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kAddClass[] = L"VeltraneMendoraQuorranAdd";
enum Gadget {
    kIntro = 100,
    kIdentifier = 102,
    kNewGuid = 103,
    kName = 105,
    kPublisher = 107,
    kVersion = 109,
    kHelpLink = 111,
    kLocation = 113,
    kPickFolder = 114,
    kUninstaller = 116,
    kPickFile = 117,
    kParameters = 119,
    kSeparator = 120,
    kCancel = 121,
    kAddButton = 122,
};
constexpr int kPicNew = 5;
constexpr int kPicFolder = 24;

int CALLBACK StartFolder(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

void PickFolder(HWND dialog) {
    const std::wstring start = ItemText(dialog, kLocation);
    // The folder dialog of the new style is made of COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct ComEnd {
        HRESULT hr;
        ~ComEnd() {
            if (SUCCEEDED(hr)) CoUninitialize();
        }
    } comEnd{com};
    BROWSEINFOW info{};
    info.hwndOwner = dialog;
    info.lpszTitle = L"Please choose the program path";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = StartFolder;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    UniqueCoTaskMem chosen(SHBrowseForFolderW(&info));
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(chosen.get()), path)) return;
    const std::wstring folder = Trim(path);
    if (folder.empty() || folder == L"\\") return;
    SetDlgItemTextW(dialog, kLocation, folder.c_str());
}

void PickFile(HWND dialog) {
    static const wchar_t kFilter[] = L"Executables (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
    std::wstring file = ItemText(dialog, kUninstaller);
    if (AskFileName(dialog, L"Please choose uninstaller", kFilter, false, OFN_FILEMUSTEXIST, file))
        SetDlgItemTextW(dialog, kUninstaller, file.c_str());
}

// The Add button: the checks in order; the dialog stays open after any of them refuses. True
// once the entry is written.
bool Add(HWND dialog) {
    NewUninstallEntry entry{ItemText(dialog, kIdentifier),  ItemText(dialog, kName),
                            ItemText(dialog, kPublisher),   ItemText(dialog, kVersion),
                            ItemText(dialog, kHelpLink),    ItemText(dialog, kLocation),
                            ItemText(dialog, kUninstaller), ItemText(dialog, kParameters)};
    auto tell = [&](const wchar_t* text, const wchar_t* title, UINT icon) {
        MessageBoxW(dialog, text, title, MB_OK | icon);
    };
    switch (AddUninstallEntry(entry)) {
    case AddOutcome::NoIdentifier:
        tell(L"Please fill the globally unique identifier field (GUID).", kTitleWarning,
             MB_ICONWARNING);
        return false;
    case AddOutcome::IdentifierExists:
        tell(L"The identifier already exists. Please generate a new one.", kTitleWarning,
             MB_ICONWARNING);
        return false;
    case AddOutcome::UninstallerMissing:
        tell(L"The uninstaller path is invalid or the file doesn't exist.", kTitleWarning,
             MB_ICONWARNING);
        return false;
    case AddOutcome::KeyNotCreated:
        tell(L"Error creating the uninstallation registry key.", kTitleError, MB_ICONERROR);
        return false;
    case AddOutcome::Added:
        tell(L"The entry was successfully added.", L"OK", MB_ICONINFORMATION);
        return true;
    }
    return false;
}

HWND AddEdit(HWND w, int id, Place place) {
    return AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, place, id, WS_EX_CLIENTEDGE);
}

void AddImageButton(HWND w, int id, Place place, int picture) {
    HWND button = AddButton(w, id, L"", place, BS_ICON);
    SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(AppIcon(picture)));
}

} // namespace

bool ShowAddDialog(HWND owner) {
    MDR_HERE();
    ToolDialog d(owner, kAddClass, L"Add new uninstaller entry", 461, 340);
    if (!d.Opened()) return false;
    HWND w = d.Handle();
    AddLabel(w,
             L"Please fill the following fields in order to add a new uninstaller entry in the "
             L"registry. After the entry is added, you will be able to see it in the "
             L"'Add/Remove Programs' dialog.",
             {10, 10, 445, 40}, kIntro);
    struct Field {
        const wchar_t* label;
        int y;
        int width;
    };
    static constexpr Field kFields[] = {
        {L"Identifier:", 60, 310},        {L"Program name:", 90, 340},
        {L"Publisher:", 120, 340},        {L"Version:", 150, 340},
        {L"Help link:", 180, 340},        {L"Install location:", 210, 310},
        {L"Uninstaller file:", 240, 310}, {L"Parameters:", 270, 340}};
    int id = 101;
    for (const Field& field : kFields) {
        AddLabel(w, field.label, {10, field.y, 95, 15}, id);
        AddEdit(w, id + 1, {110, field.y - 3, field.width, 20});
        id += field.y == 60 || field.y == 210 || field.y == 240 ? 3 : 2;
    }
    SetDlgItemTextW(w, kIdentifier, NewGuidText().c_str());
    AddImageButton(w, kNewGuid, {425, 55, 25, 25}, kPicNew);
    AddImageButton(w, kPickFolder, {425, 205, 25, 25}, kPicFolder);
    AddImageButton(w, kPickFile, {425, 235, 25, 25}, kPicFolder);
    AddSeparator(w, {10, 300, 440, 15}, kSeparator);
    AddButton(w, kCancel, L"Cancel", {235, 310, 105, 25});
    AddButton(w, kAddButton, L"Add", {345, 310, 105, 25}, BS_DEFPUSHBUTTON);
    bool added = false;
    d.On(kNewGuid, [w] { SetDlgItemTextW(w, kIdentifier, NewGuidText().c_str()); });
    d.On(kPickFolder, [w] { PickFolder(w); });
    d.On(kPickFile, [w] { PickFile(w); });
    d.On(
        kAddButton,
        [&] {
            added = Add(w);
            if (added) d.Close();
        },
        true);
    d.CancelOn(kCancel);
    d.Run(GetDlgItem(w, kName));
    return added;
}

} // namespace mdr
