// Shell and browser areas: per-user file-type records, the shell's history lists, and Internet
// Explorer's helper objects, extensions and toolbars. Every report here is graded safe.
#include <string>
#include <string_view>
#include <vector>

#include "mdr/core/localization.h"
#include "common/text.h"
#include "common/trace.h"
#include "mdr/scan/area_containers.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/areas.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/scan_memo.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {
namespace {

constexpr int kSafe = 1;
constexpr int kKeyEntry = 0;
constexpr int kValueEntry = 1;

constexpr const wchar_t* kFileExtsKey = container::kFileExts;
constexpr const wchar_t* kRecentDocsKey = container::kRecentDocs;
constexpr const wchar_t* kOpenSaveKey = container::kOpenSave;
constexpr const wchar_t* kLastVisitedKey = container::kLastVisited;
constexpr const wchar_t* kBhoKey = container::kBho;
constexpr const wchar_t* kIeExtensionsKey = container::kIeExtensions;
constexpr const wchar_t* kIeToolbarKey = container::kIeToolbar;
constexpr wchar_t kAppPathsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";
constexpr wchar_t kClsidKey[] = L"Software\\Classes\\CLSID\\";

constexpr wchar_t kCatExtensions[] = L"File extensions";
// The two spellings are both shown to users and exported; keep them apart.
constexpr wchar_t kCatRecentDocs[] = L"History list (MRU)";
constexpr wchar_t kCatDialogLists[] = L"History List (MRU)";
constexpr wchar_t kCatBho[] = L"IE BHO";
constexpr wchar_t kCatIeExtensions[] = L"IE Extensions";
constexpr wchar_t kCatIeToolbars[] = L"IE Toolbars";

bool HasDigit(std::wstring_view s) {
    for (wchar_t c : s)
        if (c >= L'0' && c <= L'9') return true;
    return false;
}

// The class is registered for the machine or for the user (the two halves of HKCR).
bool ClassRegistered(const std::wstring& clsid) {
    return ReferencedKeyExists(kHklm, kClsidKey + clsid) ||
           ReferencedKeyExists(kHkcu, kClsidKey + clsid);
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": the shape of a class identifier.
bool LooksLikeClassId(std::wstring_view s) {
    if (s.size() != 38 || s.front() != L'{' || s.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        wchar_t c = s[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != L'-') return false;
        } else if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') ||
                     (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

// "http://...", "res://...", "about:blank": a URL, not a file. A drive letter is one character,
// so a scheme needs at least two.
bool IsUrl(std::wstring_view s) {
    std::wstring t = Trim(s);
    size_t colon = t.find(L':');
    if (colon == std::wstring::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        wchar_t c = t[i];
        bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        bool other = (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
}

// A bare program name ("winword.exe") as the common dialogs record it: besides the search
// folders, Windows finds such programs through their App Paths registration.
bool ProgramReferenceExists(const std::wstring& program) {
    if (FileReferenceExists(program)) return true;
    std::wstring name = Trim(program);
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) return false;
    for (RootKey root : {kHkcu, kHklm}) {
        std::wstring registered = MemoReadValue(root, kAppPathsKey + name, L"");
        if (!Trim(registered).empty() && FileReferenceExists(registered)) return true;
    }
    return false;
}

// --- File extensions -------------------------------------------------------------------------

int CheckFileExtension(RootKey root, const std::wstring& keyPath) {
    int begin = BeginSubkeyCheck(root, keyPath);
    if (begin != 1) return begin;
    MDR_HERE();
    std::wstring ext = LastComponent(keyPath);
    // Not an extension but the shell's own list; key names ignore case.
    if (EqualsNoCase(ext, L"OpenWithList")) return 0;
    if (!ReferencedKeyExists(kHklm, kClassesKey + ext) &&
        !ReferencedKeyExists(kHkcu, kClassesKey + ext)) {
        std::wstring data = MemoReadValue(root, keyPath, L"");
        ReportAreaError(root, keyPath, L"", data, kCatExtensions,
                        Describe(Text::ExtensionWithoutType, L"$EXTENSIONKEY$", ext), kSafe,
                        kKeyEntry);
    }
    return 0;
}

// --- History lists ---------------------------------------------------------------------------

int CheckRecentDocument(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    int begin = BeginValueCheck(root, keyPath, name);
    if (begin != 1) return begin;
    MDR_HERE();
    // Numbered entries only; MRUListEx and other bookkeeping values hold no digit.
    if (!HasDigit(name)) return 0;
    const std::wstring& recent = ScanEnginePaths().recentFolder;
    // Without the Recent folder there is nothing to compare the list against.
    if (recent.empty()) return 0;
    std::wstring file = MemoReadValue(root, keyPath, name);
    if (file.empty()) return 0;
    std::wstring link = recent + file + L".lnk";
    if (!FileReferenceExists(link)) {
        ReportAreaError(root, keyPath, name, file, kCatRecentDocs,
                        Describe(Text::RecentDocMissing, L"$FILEPATH$", link), kSafe, kValueEntry);
    }
    return 0;
}

int CheckOpenSaveList(RootKey root, const std::wstring& keyPath) {
    int begin = BeginSubkeyCheck(root, keyPath);
    if (begin != 1) return begin;
    MDR_HERE();
    // Names first, then reads: reporting must not disturb the enumeration.
    std::vector<ValueRef> names;
    CollectValueNames(root, keyPath, names);
    for (const ValueRef& entry : names) {
        MDR_HERE();
        // The list's order index, not a document; value names ignore case.
        if (EqualsNoCase(entry.valueName, L"MRUList")) continue;
        std::wstring file = MemoReadValue(entry.root, entry.keyPath, entry.valueName);
        if (!FileReferenceExists(file)) {
            // Every stale document of the list is reported, not only the first.
            ReportAreaError(root, keyPath, entry.valueName, file, kCatDialogLists,
                            Describe(Text::OpenSaveHistoryMissing, L"$FILEPATH$", file), kSafe,
                            kValueEntry);
        }
    }
    return 0;
}

int CheckLastVisited(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    int begin = BeginValueCheck(root, keyPath, name);
    if (begin != 1) return begin;
    MDR_HERE();
    if (EqualsNoCase(name, L"MRUList")) return 0;
    // For the binary form this is the program's file name, up to the first NUL.
    std::wstring program = MemoReadValue(root, keyPath, name);
    if (!ProgramReferenceExists(program)) {
        ReportAreaError(root, keyPath, name, program, kCatDialogLists,
                        Describe(Text::HistoryProgramMissing, L"$FILEPATH$", program), kSafe,
                        kValueEntry);
    }
    return 0;
}

// --- Browser helper objects ------------------------------------------------------------------

int CheckHelperObject(RootKey root, const std::wstring& keyPath) {
    int begin = BeginSubkeyCheck(root, keyPath);
    if (begin != 1) return begin;
    MDR_HERE();
    // The browser loads a helper object by its key name alone: a key without values whose class
    // is registered is a working add-on, so only a missing class condemns the key.
    std::wstring clsid = LastComponent(keyPath);
    bool empty = !KeyHoldsValues(root, keyPath);
    bool classMissing = !clsid.empty() && !ClassRegistered(clsid);
    if (empty && (clsid.empty() || classMissing)) {
        std::wstring data = MemoReadValue(root, keyPath, L"");
        ReportAreaError(root, keyPath, L"", data, kCatBho,
                        Describe(Text::EmptyKey, L"$ENTRY$", keyPath), kSafe, kKeyEntry);
        return 0;
    }
    if (classMissing) {
        std::wstring data = MemoReadValue(root, keyPath, L"");
        ReportAreaError(root, keyPath, L"", data, kCatBho,
                        Describe(Text::BhoClassUnregistered, L"$BHONAME$", clsid), kSafe,
                        kKeyEntry);
    }
    return 0;
}

// --- Browser extensions ----------------------------------------------------------------------

// A file named by an extension's value: absent, empty and URL values are not file references.
bool ExtensionFileMissing(RootKey root, const std::wstring& keyPath, const wchar_t* valueName,
                          std::wstring& data) {
    if (!MemoValueExists(root, keyPath, valueName)) return false;
    data = MemoReadValue(root, keyPath, valueName);
    if (data.empty() || IsUrl(data)) return false;
    return !FileReferenceExists(data);
}

int CheckBrowserExtension(RootKey root, const std::wstring& keyPath) {
    int begin = BeginSubkeyCheck(root, keyPath);
    if (begin != 1) return begin;
    MDR_HERE();
    if (!KeyHoldsValues(root, keyPath)) {
        ReportAreaError(root, keyPath, L"", L"", kCatIeExtensions,
                        Describe(Text::EmptyKey, L"$ENTRY$", keyPath), kSafe, kKeyEntry);
        return 0;
    }
    if (MemoValueExists(root, keyPath, L"CLSID")) {
        std::wstring clsid = MemoReadValue(root, keyPath, L"CLSID");
        if (!clsid.empty() && !ReferencedKeyExists(kHkcu, kClsidKey + clsid) &&
            !ReferencedKeyExists(kHklm, kClsidKey + clsid)) {
            ReportAreaError(root, keyPath, L"", clsid, kCatIeExtensions,
                            Describe(Text::IeExtensionClassUnregistered, L"$CLSID$", clsid), kSafe,
                            kKeyEntry);
            return 0;
        }
    }
    if (MemoValueExists(root, keyPath, L"CLSIDExtension")) {
        // Either a file or a registered class will do.
        std::wstring ext = MemoReadValue(root, keyPath, L"CLSIDExtension");
        if (!ext.empty() && !FileReferenceExists(ext) &&
            !ReferencedKeyExists(kHkcu, kClsidKey + ext) &&
            !ReferencedKeyExists(kHklm, kClsidKey + ext)) {
            ReportAreaError(root, keyPath, L"", ext, kCatIeExtensions,
                            Describe(Text::IeExtensionTargetMissing, L"$CLSIDEXTENSION$", ext),
                            kSafe, kKeyEntry);
            return 0;
        }
    }
    static constexpr struct {
        const wchar_t* value;
        Text entry;
    } kFiles[] = {{L"Icon", Text::IeExtensionIconMissing},
                  {L"HotIcon", Text::IeExtensionHotIconMissing},
                  {L"Exec", Text::IeExtensionProgramMissing},
                  {L"Script", Text::IeExtensionScriptMissing}};
    for (const auto& f : kFiles) {
        std::wstring data;
        if (ExtensionFileMissing(root, keyPath, f.value, data)) {
            ReportAreaError(root, keyPath, L"", data, kCatIeExtensions,
                            Describe(f.entry, L"$FILEPATH$", data), kSafe, kKeyEntry);
            return 0;
        }
    }
    return 0;
}

// --- Browser toolbars ------------------------------------------------------------------------

// True when the server subkey exists under either root and neither root's default value names
// an existing file. Each root's value is read where its key was found (a 32-bit class may be
// registered in the twin only).
bool ServerMissing(const std::wstring& serverKey) {
    const std::wstring machine = ReferencedKeyPath(kHklm, serverKey);
    const std::wstring user = ReferencedKeyPath(kHkcu, serverKey);
    if (machine.empty() && user.empty()) return false;
    auto names = [](RootKey root, const std::wstring& key) {
        return !key.empty() && FileReferenceExists(MemoReadValue(root, key, L""));
    };
    return !names(kHklm, machine) && !names(kHkcu, user);
}

int CheckToolbar(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    int begin = BeginValueCheck(root, keyPath, name);
    if (begin != 1) return begin;
    MDR_HERE();
    // Toolbars are registered by class identifier; the key also holds settings such as
    // LinksFolderName, which name no class and must not be taken for broken toolbars.
    if (!LooksLikeClassId(name)) return 0;
    std::wstring classKey = kClsidKey + name;
    if (ReferencedKeyExists(kHklm, classKey) || ReferencedKeyExists(kHkcu, classKey)) {
        if (ServerMissing(classKey + L"\\InprocServer32") ||
            ServerMissing(classKey + L"\\InprocServer")) {
            ReportAreaError(root, keyPath, name, L"", kCatIeToolbars,
                            Describe(Text::IeToolbarServerMissing, L"$FILEPATH$", name), kSafe,
                            kValueEntry);
        }
        return 0;
    }
    ReportAreaError(root, keyPath, name, L"", kCatIeToolbars,
                    Describe(Text::IeToolbarClassUnregistered, L"$CLSID$", name), kSafe,
                    kValueEntry);
    return 0;
}

} // namespace

int ScanExtensions() {
    MDR_HERE();
    AreaErrorCount() = 0;
    if (EnumerateSubkeysInViews(kHkcu, kFileExtsKey, false, CheckFileExtension) == -1) {
        AreaErrorCount() = 0;
        return -1;
    }
    return AreaErrorCount();
}

int ScanHistory() {
    MDR_HERE();
    // One count across the three lists.
    AreaErrorCount() = 0;
    if (EnumerateValuesInViews(kHkcu, kRecentDocsKey, CheckRecentDocument) == -1 ||
        EnumerateSubkeysInViews(kHkcu, kOpenSaveKey, false, CheckOpenSaveList) == -1 ||
        EnumerateValuesInViews(kHkcu, kLastVisitedKey, CheckLastVisited) == -1) {
        AreaErrorCount() = 0;
        return -1;
    }
    return AreaErrorCount();
}

int ScanIEBHOs() {
    MDR_HERE();
    AreaErrorCount() = 0;
    if (EnumerateSubkeysInViews(kHklm, kBhoKey, false, CheckHelperObject) == -1) {
        AreaErrorCount() = 0;
        return -1;
    }
    return AreaErrorCount();
}

int ScanIEExtensions() {
    MDR_HERE();
    AreaErrorCount() = 0;
    if (EnumerateSubkeysInViews(kHklm, kIeExtensionsKey, false, CheckBrowserExtension) == -1) {
        AreaErrorCount() = 0;
        return -1;
    }
    return AreaErrorCount();
}

int ScanIEToolbars() {
    MDR_HERE();
    AreaErrorCount() = 0;
    if (EnumerateValuesInViews(kHklm, kIeToolbarKey, CheckToolbar) == -1) {
        AreaErrorCount() = 0;
        return -1;
    }
    return AreaErrorCount();
}

} // namespace mdr
