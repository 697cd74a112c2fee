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
#include "tests/scan/scan_test_env.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/test_files.h"

using namespace mdr;
using mdr::test::g_items;
using mdr::test::g_stopAfter;
using mdr::test::WriteFileBytes;

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

int CaptureReport(RootKey root, const std::wstring& key, const std::wstring& value,
                  const std::wstring& data, const std::wstring& category,
                  const std::wstring& description, int safety, int type) {
    g_reports.push_back({root, key, value, data, category, description, safety, type});
    return 1;
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

// A REG_BINARY MRU datum: UTF-16 text, its NUL, then whatever the shell stores after it.
std::vector<BYTE> MruBinary(const std::wstring& first, const std::wstring& rest) {
    std::wstring all = first + L'\0' + rest + L'\0';
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(all.data()),
                            reinterpret_cast<const BYTE*>(all.data() + all.size()));
    bytes.push_back(0x14);
    bytes.push_back(0x00);
    return bytes;
}

// Reports are captured as the areas hand them on, with descriptions from a language file of
// this test whose placeholders are in other letter cases than the code asks for.
class ShellAreas : public mdr::test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        std::string lang = "[MDRLanguageInfo]\r\nName=Test\r\n[MDRLanguageData]\r\n";
        for (int n = 0; n <= 263; ++n) {
            lang += 'l';
            lang += std::to_string(n);
            lang += '=';
            lang += ToUtf8(LangLine(n));
            lang += "\r\n";
        }
        WriteFileBytes(dir_ + L"Test.ini", lang);
        ASSERT_EQ(LoadLanguage(dir_, dir_ + L"Test.ini"), 1);
        SetSearchFolders({dir_});
        SetErrorReportCallback(CaptureReport);
        g_reports.clear();
    }

    void TearDown() override {
        for (const std::wstring& f : recentFiles_)
            DeleteFileW(f.c_str());
        AreaTest::TearDown();
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
    g_stopAfter = 1; // the user stops while the open/save lists are examined

    EXPECT_EQ(ScanHistory(), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_EQ(g_reports.size(), 1u); // the recent document found before the stop
    EXPECT_EQ(g_items.size(), 2u);   // the last-visited list was never walked
}

// ---- Browser helper objects -----------------------------------------------------------------

// ---- Browser extensions ---------------------------------------------------------------------

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

} // namespace
