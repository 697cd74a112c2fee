// The shell and browser areas against planted registry data (sandboxed HKLM/HKCU) and real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "mdr/scan/areas.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;
using mdr::test::g_items;
using mdr::test::g_stopAfter;

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kRecentDocs[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
constexpr wchar_t kOpenSave[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr wchar_t kLastVisited[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
constexpr wchar_t kToolbar[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kClsid[] = L"Software\\Classes\\CLSID\\";

// A REG_BINARY MRU datum: UTF-16 text, its NUL, then whatever the shell stores after it.
test::Bytes MruBinary(const std::wstring& first, const std::wstring& rest) {
    test::Bytes bytes = test::Utf16(first + L'\0' + rest + L'\0');
    bytes.insert(bytes.end(), {0x14, 0x00});
    return bytes;
}

class ShellAreas : public mdr::test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        SetSearchFolders({dir_});
    }
};

std::wstring Join(const std::wstring& a, const std::wstring& b) {
    return a + L"\\" + b;
}

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

    EXPECT_EQ(Run(5, ScanExtensions), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord(kHkcu, Join(exts, L".mdrbare"), L"", L"", L"File extensions", 1, 0, L".mdrbare");
    ExpectRecord(kHkcu, Join(exts, L".mdrgone"), L"", L"legacy", L"File extensions", 1, 0,
                 L".mdrgone");
    // Only the direct subkeys are examined, each once, with the progress text of the contract.
    EXPECT_EQ(g_items.size(), 6u);
    EXPECT_EQ(g_items.front(), L" HKEY_CURRENT_USER\\" + Join(exts, L".mdrbare"));
}

TEST_F(ShellAreas, HistoryCountsAllThreeListsInOrderAndAStopEndsIt) {
    CreateDirectoryW(ScanEnginePaths().recentFolder.c_str(), nullptr);
    auto gone = MruBinary(L"mdr order.txt", L"");
    box_->SetBinary(HKEY_CURRENT_USER, kRecentDocs, L"0", gone.data(), (DWORD)gone.size());
    box_->SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"a", L"C:\\no\\1.txt");
    box_->SetString(HKEY_CURRENT_USER, kLastVisited, L"a", L"gone.exe");

    EXPECT_EQ(Run(7, ScanHistory), 3);
    ASSERT_EQ(Records().size(), 3u);
    EXPECT_EQ(Records()[0].keyPath, kRecentDocs);
    EXPECT_EQ(Records()[0].category, L"History list (MRU)");
    EXPECT_EQ(Records()[1].valueName, L"a");
    EXPECT_EQ(Records()[2].keyPath, kLastVisited);
    EXPECT_EQ(Records()[2].category, L"History List (MRU)");

    // Stopped while the open/save lists are examined: no count, the last-visited list unwalked.
    ClearRecords();
    g_items.clear();
    g_stopAfter = 1;
    EXPECT_EQ(Run(7, ScanHistory), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_EQ(Records().size(), 1u);
    EXPECT_EQ(g_items.size(), 2u);
}

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
    // A 32-bit toolbar whose class is registered for 32-bit programs only: its server is read
    // there (64-bit edition).
    box_->SetString(HKEY_LOCAL_MACHINE,
                    L"Software\\Wow6432Node\\Classes\\CLSID\\" + id(9) + L"\\InprocServer32", L"",
                    server);
    box_->SetBinary(HKEY_LOCAL_MACHINE,
                    L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\Toolbar", id(9), "", 0);
    // Settings that share the key are no toolbars.
    box_->SetString(HKEY_LOCAL_MACHINE, bar, L"LinksFolderName", L"Links");
    box_->SetString(HKEY_LOCAL_MACHINE, bar, L"Locked", L"1");

    EXPECT_EQ(Run(10, ScanIEToolbars), 4);
    ASSERT_EQ(Records().size(), 4u);
    for (int n : {4, 5, 6, 8})
        ExpectRecord(kHklm, bar, id(n), L"", L"IE Toolbars", 1, 1, id(n));
}

} // namespace
