// The shell and browser areas against planted registry data (sandboxed HKLM/HKCU) and real
// files: what must be reported, field by field, and what must be left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/localization.h"
#include "common/text.h"
#include "scan/areas.h"
#include "scan/engine_state.h"
#include "scan/scan_thread.h"
#include "tests/support/registry_sandbox.h"

using namespace mdr;
using mdr::test::RegistrySandbox;

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kRecentDocs[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
constexpr wchar_t kOpenSave[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr wchar_t kLastVisited[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
constexpr wchar_t kBho[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr wchar_t kExtensions[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
constexpr wchar_t kToolbar[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kClsid[] = L"Software\\Classes\\CLSID\\";

struct Report {
    RootKey root;
    std::wstring key, value, data, category, description;
    int safety, type;
};

std::vector<Report> g_reports;
std::vector<std::wstring> g_items;
int g_stopAt = -1; // 1-based progress call that answers "stop"; -1 never

int CaptureReport(RootKey root, const std::wstring& key, const std::wstring& value,
                  const std::wstring& data, const std::wstring& category,
                  const std::wstring& description, int safety, int type) {
    g_reports.push_back({root, key, value, data, category, description, safety, type});
    return 1;
}

int RecordProgress(const std::wstring& item) {
    g_items.push_back(item);
    return (g_stopAt > 0 && static_cast<int>(g_items.size()) >= g_stopAt) ? 0 : 1;
}

// The language texts carry their placeholder in another letter case than the code asks for.
std::wstring LangLine(int n) {
    switch (n) {
    case 234:
        return L"E234 $extensionkey$ unregistered";
    case 237:
    case 238:
    case 239:
    case 243:
    case 244:
    case 245:
    case 246:
    case 247:
        return L"E" + std::to_wstring(n) + L" $FilePath$ missing";
    case 240:
        return L"E240 $bhoname$ missing";
    case 241:
    case 248:
        return L"E" + std::to_wstring(n) + L" $Clsid$ missing";
    case 242:
        return L"E242 $ClsidExtension$ missing";
    case 253:
        return L"E253 $Entry$ empty";
    default:
        return L"T" + std::to_wstring(n);
    }
}

std::wstring Expected(int n, const std::wstring& quotedText) {
    std::wstring line = LangLine(n);
    size_t a = line.find(L'$'), b = line.find(L'$', a + 1);
    return line.substr(0, a) + L"\"" + quotedText + L"\"" + line.substr(b + 1);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

// A REG_BINARY MRU datum: UTF-16 text, its NUL, then whatever the shell stores after it.
std::vector<BYTE> MruBinary(const std::wstring& first, const std::wstring& rest) {
    std::wstring all = first + L'\0' + rest + L'\0';
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(all.data()),
                            reinterpret_cast<const BYTE*>(all.data() + all.size()));
    bytes.push_back(0x14);
    bytes.push_back(0x00);
    return bytes;
}

class ShellAreas : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Shell folders are looked up in the real user hive, before any redirection.
        InitScanEnginePaths();
    }

    void SetUp() override {
        box_ = std::make_unique<RegistrySandbox>(L"ShellAreas");
        std::string lang = "[MDRLanguageInfo]\r\nName=Test\r\n[MDRLanguageData]\r\n";
        for (int n = 0; n <= 263; ++n) {
            lang += 'l';
            lang += std::to_string(n);
            lang += '=';
            lang += ToUtf8(LangLine(n));
            lang += "\r\n";
        }
        WriteBytes(box_->Folder() + L"Test.ini", lang);
        ASSERT_EQ(LoadLanguage(box_->Folder(), box_->Folder() + L"Test.ini"), 1);
        ASSERT_EQ(LangText(234), LangLine(234));

        SetSearchFolders({box_->Folder()});
        SetRemovableRoots({});
        SetSkipRemovable(1);
        SetScanDelay(0);
        SetProgressCallback(RecordProgress);
        SetErrorReportCallback(CaptureReport);
        g_reports.clear();
        g_items.clear();
        g_stopAt = -1;
    }

    void TearDown() override {
        SetProgressCallback(nullptr);
        SetErrorReportCallback(nullptr);
        for (const std::wstring& f : recentFiles_)
            DeleteFileW(f.c_str());
        box_.reset();
    }

    // A shortcut in the user's real Recent folder, removed after the test.
    void MakeRecentLink(const std::wstring& name) {
        std::wstring path = ScanEnginePaths().recentFolder + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << ToUtf8(path);
        CloseHandle(h);
        recentFiles_.push_back(path);
    }

    void ExpectReport(size_t i, RootKey root, const std::wstring& key, const std::wstring& value,
                      const std::wstring& data, const std::wstring& category,
                      const std::wstring& description, int type) {
        ASSERT_LT(i, g_reports.size());
        const Report& r = g_reports[i];
        EXPECT_EQ(r.root, root) << "report " << i;
        EXPECT_EQ(r.key, key) << "report " << i;
        EXPECT_EQ(r.value, value) << "report " << i;
        EXPECT_EQ(r.data, data) << "report " << i;
        EXPECT_EQ(r.category, category) << "report " << i;
        EXPECT_EQ(r.description, description) << "report " << i;
        EXPECT_EQ(r.safety, 1) << "report " << i;
        EXPECT_EQ(r.type, type) << "report " << i;
    }

    std::unique_ptr<RegistrySandbox> box_;
    std::vector<std::wstring> recentFiles_;
};

std::wstring Join(const std::wstring& a, const std::wstring& b) {
    return a + L"\\" + b;
}

// ---- File extensions ------------------------------------------------------------------------

TEST_F(ShellAreas, FileExtensionsReportOnlyTypesRegisteredNowhere) {
    const std::wstring exts = kFileExts;
    // Registered nowhere: reported with its default value as data.
    box_->SetString(HKEY_CURRENT_USER, Join(exts, L".mdrgone"), L"", L"legacy");
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L".mdrgone\\OpenWithList"));
    // Registered for the machine, or only for the user: both pass.
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L".mdrmachine\\OpenWithProgids"));
    box_->SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.mdrmachine", L"", L"mdrfile");
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L".mdruser"));
    box_->CreateKey(HKEY_CURRENT_USER, L"Software\\Classes\\.mdruser");
    // The shell's own list, in any letter case, is not an extension.
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L"openwithlist"));
    // A type key that cannot be read still exists.
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L".mdrdenied"));
    box_->DenyRead(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.mdrdenied");
    // No default value: reported with empty data.
    box_->CreateKey(HKEY_CURRENT_USER, Join(exts, L".mdrbare"));

    EXPECT_EQ(ScanExtensions(), 2);
    ASSERT_EQ(g_reports.size(), 2u);
    // Enumeration order is alphabetical in the registry.
    ExpectReport(0, kHkcu, Join(exts, L".mdrbare"), L"", L"", L"File extensions",
                 Expected(234, L".mdrbare"), 0);
    ExpectReport(1, kHkcu, Join(exts, L".mdrgone"), L"", L"legacy", L"File extensions",
                 Expected(234, L".mdrgone"), 0);
    // Only the direct subkeys are examined, each once, with the progress text of the contract.
    EXPECT_EQ(g_items.size(), 6u);
    EXPECT_EQ(g_items.front(), L" HKEY_CURRENT_USER\\" + Join(exts, L".mdrbare"));
}

// ---- History lists --------------------------------------------------------------------------

TEST_F(ShellAreas, RecentDocumentsTestTheShortcutInTheRecentFolder) {
    ASSERT_FALSE(ScanEnginePaths().recentFolder.empty());
    CreateDirectoryW(ScanEnginePaths().recentFolder.c_str(), nullptr);
    const std::wstring recent = kRecentDocs;
    auto kept = MruBinary(L"mdr kept, 2020.txt", L"mdr kept.lnk");
    auto gone = MruBinary(L"mdr gone.txt", L"mdr gone.lnk");
    auto bookkeeping = MruBinary(L"C:\\nowhere\\missing.txt", L"");
    MakeRecentLink(L"mdr kept, 2020.txt.lnk");
    box_->SetBinary(HKEY_CURRENT_USER, recent, L"0", kept.data(), (DWORD)kept.size());
    box_->SetBinary(HKEY_CURRENT_USER, recent, L"1", gone.data(), (DWORD)gone.size());
    box_->SetBinary(HKEY_CURRENT_USER, recent, L"2", "\0\0", 2); // no name: nothing to test
    // Names without a digit are the list's bookkeeping and never tested.
    box_->SetBinary(HKEY_CURRENT_USER, recent, L"MRUListEx", bookkeeping.data(),
                    (DWORD)bookkeeping.size());
    box_->SetString(HKEY_CURRENT_USER, recent, L"ViewStream", L"C:\\nowhere\\x.txt");
    // Per-type subkeys are not walked.
    box_->SetBinary(HKEY_CURRENT_USER, recent + L"\\.txt", L"0", gone.data(), (DWORD)gone.size());

    EXPECT_EQ(ScanHistory(), 1);
    ASSERT_EQ(g_reports.size(), 1u);
    std::wstring link = ScanEnginePaths().recentFolder + L"mdr gone.txt.lnk";
    ExpectReport(0, kHkcu, recent, L"1", L"mdr gone.txt", L"History list (MRU)",
                 Expected(237, link), 1);
    EXPECT_EQ(g_items.size(), 5u); // every value is examined, whether tested or not
}

TEST_F(ShellAreas, OpenSaveListsReportEveryStaleEntry) {
    const std::wstring lists = kOpenSave;
    std::wstring present = box_->MakeFile(L"docs\\present.txt");
    std::wstring missing1 = box_->Folder() + L"docs\\gone1.txt";
    std::wstring missing2 = box_->Folder() + L"docs\\gone2.txt";
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\txt", L"a", missing1);
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\txt", L"b", present);
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\txt", L"c", missing2);
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\txt", L"d", L""); // empty: reported
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\txt", L"MRUList", L"dcba");
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\*", L"a", present);
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\*", L"MRUList", L"a");
    // The order index in another letter case is still the order index.
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\doc", L"mrulist", L"a");
    box_->SetString(HKEY_CURRENT_USER, lists + L"\\doc", L"a", present);

    EXPECT_EQ(ScanHistory(), 3);
    ASSERT_EQ(g_reports.size(), 3u);
    const std::wstring key = lists + L"\\txt";
    ExpectReport(0, kHkcu, key, L"a", missing1, L"History List (MRU)", Expected(238, missing1), 1);
    ExpectReport(1, kHkcu, key, L"c", missing2, L"History List (MRU)", Expected(238, missing2), 1);
    ExpectReport(2, kHkcu, key, L"d", L"", L"History List (MRU)", Expected(238, L""), 1);
    EXPECT_EQ(g_items.size(), 3u); // one progress item per list
}

TEST_F(ShellAreas, LastVisitedListTestsTheProgram) {
    const std::wstring list = kLastVisited;
    box_->MakeFile(L"onpath.exe"); // the search folders hold the sandbox folder
    std::wstring registered = box_->MakeFile(L"apps\\registered.exe");
    box_->SetString(HKEY_LOCAL_MACHINE,
                    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\registered.exe", L"",
                    registered);
    auto onPath = MruBinary(L"onpath.exe", L"C:\\data");
    auto viaAppPaths = MruBinary(L"registered.exe", L"C:\\data");
    auto gone = MruBinary(L"gone.exe", L"C:\\data");
    box_->SetBinary(HKEY_CURRENT_USER, list, L"a", onPath.data(), (DWORD)onPath.size());
    box_->SetBinary(HKEY_CURRENT_USER, list, L"b", gone.data(), (DWORD)gone.size());
    box_->SetString(HKEY_CURRENT_USER, list, L"c", L""); // empty: reported as missing
    box_->SetBinary(HKEY_CURRENT_USER, list, L"d", viaAppPaths.data(), (DWORD)viaAppPaths.size());
    box_->SetString(HKEY_CURRENT_USER, list, L"MRUList", L"dcba");

    EXPECT_EQ(ScanHistory(), 2);
    ASSERT_EQ(g_reports.size(), 2u);
    ExpectReport(0, kHkcu, list, L"b", L"gone.exe", L"History List (MRU)",
                 Expected(239, L"gone.exe"), 1);
    ExpectReport(1, kHkcu, list, L"c", L"", L"History List (MRU)", Expected(239, L""), 1);
}

TEST_F(ShellAreas, HistoryCountsAllThreeListsInOrder) {
    CreateDirectoryW(ScanEnginePaths().recentFolder.c_str(), nullptr);
    auto gone = MruBinary(L"mdr order.txt", L"");
    box_->SetBinary(HKEY_CURRENT_USER, kRecentDocs, L"0", gone.data(), (DWORD)gone.size());
    box_->SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"a", L"C:\\no\\1.txt");
    box_->SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"b", L"C:\\no\\2.txt");
    box_->SetString(HKEY_CURRENT_USER, kLastVisited, L"a", L"gone.exe");

    EXPECT_EQ(ScanHistory(), 4);
    EXPECT_EQ(AreaErrorCount(), 4);
    ASSERT_EQ(g_reports.size(), 4u);
    EXPECT_EQ(g_reports[0].key, kRecentDocs);
    EXPECT_EQ(g_reports[0].category, L"History list (MRU)");
    EXPECT_EQ(g_reports[1].value, L"a");
    EXPECT_EQ(g_reports[2].value, L"b");
    EXPECT_EQ(g_reports[3].key, kLastVisited);
    EXPECT_EQ(g_reports[3].category, L"History List (MRU)");
}

TEST_F(ShellAreas, CancelDuringHistoryStopsTheAreaWithNoCount) {
    auto gone = MruBinary(L"mdr cancel.txt", L"");
    box_->SetBinary(HKEY_CURRENT_USER, kRecentDocs, L"0", gone.data(), (DWORD)gone.size());
    box_->SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"a", L"C:\\no\\1.txt");
    box_->SetString(HKEY_CURRENT_USER, kLastVisited, L"a", L"gone.exe");
    g_stopAt = 2; // the user stops while the open/save lists are examined

    EXPECT_EQ(ScanHistory(), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_EQ(g_reports.size(), 1u); // the recent document found before the stop
    EXPECT_EQ(g_items.size(), 2u);   // the last-visited list was never walked
}

// ---- Browser helper objects -----------------------------------------------------------------

TEST_F(ShellAreas, HelperObjectsNeedTheirClass) {
    const std::wstring bho = kBho;
    const std::wstring machineClass = L"{11111111-0000-0000-0000-000000000001}";
    const std::wstring userClass = L"{11111111-0000-0000-0000-000000000002}";
    const std::wstring stale = L"{11111111-0000-0000-0000-000000000003}";
    const std::wstring emptyStale = L"{11111111-0000-0000-0000-000000000004}";
    const std::wstring emptyWorking = L"{11111111-0000-0000-0000-000000000005}";
    const std::wstring deepValue = L"{11111111-0000-0000-0000-000000000006}";
    box_->SetString(HKEY_LOCAL_MACHINE, Join(bho, machineClass), L"", L"Machine helper");
    box_->CreateKey(HKEY_LOCAL_MACHINE, kClsid + machineClass);
    box_->SetDword(HKEY_LOCAL_MACHINE, Join(bho, userClass), L"NoExplorer", 1);
    box_->CreateKey(HKEY_CURRENT_USER, kClsid + userClass);
    box_->SetString(HKEY_LOCAL_MACHINE, Join(bho, stale), L"", L"Stale helper");
    box_->CreateKey(HKEY_LOCAL_MACHINE, Join(bho, emptyStale));
    // Registered the usual way, as a bare key named by a working class: must stay.
    box_->CreateKey(HKEY_LOCAL_MACHINE, Join(bho, emptyWorking));
    box_->SetString(HKEY_LOCAL_MACHINE, kClsid + emptyWorking + L"\\InprocServer32", L"",
                    box_->MakeFile(L"helper.dll"));
    // A value below the key makes it non-empty.
    box_->SetString(HKEY_LOCAL_MACHINE, Join(bho, deepValue) + L"\\Settings", L"x", L"1");

    EXPECT_EQ(ScanIEBHOs(), 3);
    ASSERT_EQ(g_reports.size(), 3u);
    ExpectReport(0, kHklm, Join(bho, stale), L"", L"Stale helper", L"IE BHO", Expected(240, stale),
                 0);
    ExpectReport(1, kHklm, Join(bho, emptyStale), L"", L"", L"IE BHO",
                 Expected(253, Join(bho, emptyStale)), 0);
    ExpectReport(2, kHklm, Join(bho, deepValue), L"", L"", L"IE BHO", Expected(240, deepValue), 0);
}

// ---- Browser extensions ---------------------------------------------------------------------

TEST_F(ShellAreas, BrowserExtensionsFirstFailingTestWins) {
    const std::wstring ext = kExtensions;
    const std::wstring handler = L"{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
    const std::wstring userHandler = L"{22222222-0000-0000-0000-000000000001}";
    const std::wstring machineExtClass = L"{22222222-0000-0000-0000-000000000002}";
    const std::wstring userExtClass = L"{22222222-0000-0000-0000-000000000003}";
    const std::wstring noClass = L"{22222222-0000-0000-0000-0000000000FF}";
    box_->CreateKey(HKEY_LOCAL_MACHINE, kClsid + handler);
    box_->CreateKey(HKEY_CURRENT_USER, kClsid + userHandler);
    box_->CreateKey(HKEY_LOCAL_MACHINE, kClsid + machineExtClass);
    box_->CreateKey(HKEY_CURRENT_USER, kClsid + userExtClass);
    std::wstring icon = box_->MakeFile(L"ext\\button.ico");
    std::wstring program = box_->MakeFile(L"ext\\tool.exe");
    std::wstring gone = box_->Folder() + L"ext\\gone.ico";
    auto plant = [&](const std::wstring& name, const wchar_t* value, const std::wstring& data) {
        box_->SetString(HKEY_LOCAL_MACHINE, Join(ext, name), value, data);
    };
    // e01: everything present (icon with a resource number, class only for the user).
    plant(L"e01", L"CLSID", userHandler);
    plant(L"e01", L"Icon", icon + L",201");
    plant(L"e01", L"Exec", program);
    // e02: no value at all.
    box_->CreateKey(HKEY_LOCAL_MACHINE, Join(ext, L"e02"));
    // e03: class and icon both missing: one report, for the class.
    plant(L"e03", L"CLSID", noClass);
    plant(L"e03", L"Icon", gone);
    // e04, e05, e06: the extension class registered for the machine, the user, or a file.
    plant(L"e04", L"CLSIDExtension", machineExtClass);
    plant(L"e05", L"CLSIDExtension", userExtClass);
    plant(L"e06", L"CLSIDExtension", program);
    // e07: neither a file nor a class.
    plant(L"e07", L"CLSID", handler);
    plant(L"e07", L"CLSIDExtension", noClass);
    // e08 - e11: one missing file each.
    plant(L"e08", L"Icon", gone);
    plant(L"e09", L"Icon", icon);
    plant(L"e09", L"HotIcon", gone);
    plant(L"e10", L"Exec", box_->Folder() + L"ext\\gone.exe");
    plant(L"e11", L"Script", box_->Folder() + L"ext\\gone.htm");
    // e12: a button that opens a web page names no file.
    plant(L"e12", L"CLSID", handler);
    plant(L"e12", L"Exec", L"http://www.example.com/start");
    plant(L"e12", L"Icon", icon);
    // e13: empty class text and other values only.
    plant(L"e13", L"CLSID", L"");
    plant(L"e13", L"ButtonText", L"Go");

    EXPECT_EQ(ScanIEExtensions(), 7);
    ASSERT_EQ(g_reports.size(), 7u);
    const std::wstring cat = L"IE Extensions";
    ExpectReport(0, kHklm, Join(ext, L"e02"), L"", L"", cat, Expected(253, Join(ext, L"e02")), 0);
    ExpectReport(1, kHklm, Join(ext, L"e03"), L"", noClass, cat, Expected(241, noClass), 0);
    ExpectReport(2, kHklm, Join(ext, L"e07"), L"", noClass, cat, Expected(242, noClass), 0);
    ExpectReport(3, kHklm, Join(ext, L"e08"), L"", gone, cat, Expected(243, gone), 0);
    ExpectReport(4, kHklm, Join(ext, L"e09"), L"", gone, cat, Expected(244, gone), 0);
    std::wstring exec = box_->Folder() + L"ext\\gone.exe";
    ExpectReport(5, kHklm, Join(ext, L"e10"), L"", exec, cat, Expected(245, exec), 0);
    std::wstring script = box_->Folder() + L"ext\\gone.htm";
    ExpectReport(6, kHklm, Join(ext, L"e11"), L"", script, cat, Expected(246, script), 0);
}

// ---- Browser toolbars -----------------------------------------------------------------------

TEST_F(ShellAreas, ToolbarsNeedTheirClassAndServer) {
    const std::wstring bar = kToolbar;
    auto id = [](int n) {
        wchar_t buf[40];
        swprintf(buf, 40, L"{33333333-0000-0000-0000-%012d}", n);
        return std::wstring(buf);
    };
    std::wstring server = box_->MakeFile(L"bars\\bar.dll");
    std::wstring gone = box_->Folder() + L"bars\\gone.dll";
    auto inproc = [&](HKEY root, int n, const wchar_t* sub, const std::wstring& file) {
        box_->SetString(root, kClsid + id(n) + L"\\" + sub, L"", file);
    };
    inproc(HKEY_LOCAL_MACHINE, 1, L"InprocServer32", server); // fine
    inproc(HKEY_LOCAL_MACHINE, 2, L"InprocServer32", gone);   // missing for the machine ...
    inproc(HKEY_CURRENT_USER, 2, L"InprocServer32", server);  // ... present for the user
    box_->SetString(HKEY_LOCAL_MACHINE, kClsid + id(3), L"", L"No servers"); // class only
    inproc(HKEY_LOCAL_MACHINE, 4, L"InprocServer32", gone);                  // missing
    inproc(HKEY_LOCAL_MACHINE, 5, L"InprocServer32", server);                // fine, but ...
    inproc(HKEY_LOCAL_MACHINE, 5, L"InprocServer", gone);    // ... 16-bit server missing
    inproc(HKEY_CURRENT_USER, 7, L"InprocServer32", server); // user-only class, fine
    box_->CreateKey(HKEY_CURRENT_USER, kClsid + id(8) + L"\\InprocServer32"); // no file named
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8})
        box_->SetBinary(HKEY_LOCAL_MACHINE, bar, id(n), "", 0);
    // Settings that share the key are no toolbars.
    box_->SetString(HKEY_LOCAL_MACHINE, bar, L"LinksFolderName", L"Links");
    box_->SetString(HKEY_LOCAL_MACHINE, bar, L"Locked", L"1");

    EXPECT_EQ(ScanIEToolbars(), 4);
    ASSERT_EQ(g_reports.size(), 4u);
    const std::wstring cat = L"IE Toolbars";
    ExpectReport(0, kHklm, bar, id(4), L"", cat, Expected(247, id(4)), 1);
    ExpectReport(1, kHklm, bar, id(5), L"", cat, Expected(247, id(5)), 1);
    ExpectReport(2, kHklm, bar, id(6), L"", cat, Expected(248, id(6)), 1);
    ExpectReport(3, kHklm, bar, id(8), L"", cat, Expected(247, id(8)), 1);
}

TEST_F(ShellAreas, MissingStartKeysAreNoErrors) {
    EXPECT_EQ(ScanExtensions(), 0);
    EXPECT_EQ(ScanHistory(), 0);
    EXPECT_EQ(ScanIEBHOs(), 0);
    EXPECT_EQ(ScanIEExtensions(), 0);
    EXPECT_EQ(ScanIEToolbars(), 0);
    EXPECT_TRUE(g_reports.empty());
    EXPECT_TRUE(g_items.empty());
}

TEST_F(ShellAreas, ReportsWithoutACallbackStillCount) {
    SetErrorReportCallback(nullptr);
    box_->CreateKey(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\.mdrgone");
    EXPECT_EQ(ScanExtensions(), 1);
    EXPECT_TRUE(g_reports.empty());
}

} // namespace
