// The COM areas against planted class, AppID and interface registrations (sandboxed HKLM and
// HKCU) and real files: the class checks in their order, the walk order and cancellation.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/text.h"
#include "mdr/scan/areas.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;
using mdr::test::FindLine;
using mdr::test::g_items;
using mdr::test::g_stopAt;

namespace {

constexpr wchar_t kClsid[] = L"Software\\Classes\\CLSID\\";
constexpr wchar_t kAppId[] = L"Software\\Classes\\AppID\\";
constexpr wchar_t kTypeLib[] = L"Software\\Classes\\TypeLib\\";

// One error at the key's default value; the description quotes `shown` (the data by default).
struct Expected {
    RootKey root;
    std::wstring keyPath, valueData;
    std::optional<std::wstring> shown = std::nullopt;
};

class ComAreas : public mdr::test::AreaTest {
  protected:
    void TearDown() override {
        SetEnvironmentVariableW(L"MDR_COM_DIR", nullptr);
        AreaTest::TearDown();
    }

    void ClassServer(HKEY root, const std::wstring& clsid, const std::wstring& sub,
                     const std::wstring& path, DWORD type = REG_SZ) {
        Str(root, kClsid + clsid, L"", L"Planted class");
        Str(root, kClsid + clsid + L"\\" + sub, L"", path, type);
    }
    bool Reported(const std::wstring& part) {
        return std::ranges::any_of(Records(), [&](const DetectedError& r) {
            return r.keyPath.find(part) != std::wstring::npos;
        });
    }
};

TEST_F(ComAreas, ClassChecksRunInOrderAndReportOneErrorPerClass) {
    const std::wstring prog = box_->MakeFile(L"Vendor Apps\\Com Server\\server.exe");
    const std::wstring icons = box_->MakeFile(L"lib\\icons.dll");
    SetEnvironmentVariableW(L"MDR_COM_DIR", (dir_ + L"lib").c_str());

    // Empty classes: no value anywhere below them, whatever subkeys they have.
    box_->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{EMPTY}\\InprocServer32");
    box_->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{BARE}");
    // A value deep below makes a class non-empty.
    Str(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{DEEP}\\Sub\\Deeper", L"x", L"1");
    // Missing icon and missing server: only the icon is reported (the icon test comes first).
    Str(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{ICON}\\DefaultIcon", L"",
        Gone(L"icon.dll") + L",3");
    ClassServer(HKEY_LOCAL_MACHINE, L"{ICON}", L"InprocServer32", Gone(L"srv.dll"));
    // Present icon with a negative resource number, empty server value: nothing to report.
    Str(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{ICONOK}\\DefaultIcon", L"", icons + L",-101");
    ClassServer(HKEY_LOCAL_MACHINE, L"{ICONOK}", L"InprocServer32", L"");
    // Expanded paths (reported with the data expanded).
    ClassServer(HKEY_LOCAL_MACHINE, L"{EXPAND3}", L"InprocServer32", L"%MDR_COM_DIR%\\gone.dll",
                REG_EXPAND_SZ);
    // Each server kind.
    const wchar_t* servers[] = {L"InprocServer",    L"InprocServer32", L"InprocHandler",
                                L"InprocHandler32", L"LocalServer",    L"LocalServer32"};
    for (const wchar_t* s : servers)
        ClassServer(HKEY_LOCAL_MACHINE, std::wstring(L"{S-") + s + L"}", s,
                    Gone(std::wstring(s) + L".dll"));
    // Command lines of local servers.
    ClassServer(HKEY_LOCAL_MACHINE, L"{ARGS}", L"LocalServer32", prog + L" /automation -x");
    // Type libraries: only the machine's registrations count; a refused key counts as present.
    ClassServer(HKEY_LOCAL_MACHINE, L"{TLUSER}", L"TypeLib", L"{TLB-USER}");
    box_->CreateKey(HKEY_CURRENT_USER, std::wstring(kTypeLib) + L"{TLB-USER}");
    ClassServer(HKEY_LOCAL_MACHINE, L"{TLMACHINE}", L"TypeLib", L"{TLB-MACHINE}");
    box_->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kTypeLib) + L"{TLB-MACHINE}\\1.0");
    ClassServer(HKEY_LOCAL_MACHINE, L"{TLDENIED}", L"TypeLib", L"{TLB-DENIED}");
    box_->DenyRead(HKEY_LOCAL_MACHINE, std::wstring(kTypeLib) + L"{TLB-DENIED}");
    // Server before type library.
    ClassServer(HKEY_LOCAL_MACHINE, L"{ORDER}", L"TypeLib", L"{TLB-NOWHERE}");
    ClassServer(HKEY_LOCAL_MACHINE, L"{ORDER}", L"InprocServer32", Gone(L"order.dll"));
    // A refused server key exists but cannot be read: its empty value is not tested.
    Str(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{DENIED}", L"", L"Planted class");
    box_->DenyRead(HKEY_LOCAL_MACHINE, std::wstring(kClsid) + L"{DENIED}\\InprocServer32");
    // The user's own classes.
    ClassServer(HKEY_CURRENT_USER, L"{USER}", L"LocalServer32", Gone(L"user.exe"));

    const std::wstring m = kClsid;
    std::vector<Expected> expected = {
        {kHklm, m + L"{EMPTY}", L"", m + L"{EMPTY}"},
        {kHklm, m + L"{BARE}", L"", m + L"{BARE}"},
        {kHklm, m + L"{ICON}\\DefaultIcon", L"", Gone(L"icon.dll")},
        {kHklm, m + L"{EXPAND3}\\InprocServer32", dir_ + L"lib\\gone.dll"},
        {kHklm, m + L"{TLUSER}\\TypeLib", L"{TLB-USER}"},
        {kHklm, m + L"{ORDER}\\InprocServer32", Gone(L"order.dll")},
        {kHkcu, m + L"{USER}\\LocalServer32", Gone(L"user.exe")},
    };
    for (const wchar_t* s : servers)
        expected.push_back({kHklm, m + L"{S-" + s + L"}\\" + s, Gone(std::wstring(s) + L".dll")});

    EXPECT_EQ(Run(1, ScanActiveXCom), static_cast<int>(expected.size()));
    for (const Expected& e : expected)
        ExpectRecord(e.root, e.keyPath, L"", e.valueData, L"ActiveX / COM", 0, 0, e.shown);
    EXPECT_EQ(Records().size(), expected.size());
    for (const wchar_t* fine :
         {L"{DEEP}", L"{ICONOK}", L"{ARGS}", L"{TLMACHINE}", L"{TLDENIED}", L"{DENIED}"})
        EXPECT_FALSE(Reported(fine)) << ToUtf8(fine);
    // Direct subkeys only: nothing below a class is taken for a class.
    EXPECT_EQ(FindLine(g_items, L" HKEY_LOCAL_MACHINE\\" + m + L"{DEEP}\\Sub"), -1);
    EXPECT_NE(FindLine(g_items, L" HKEY_LOCAL_MACHINE\\" + m + L"{DEEP}"), -1);
}

TEST_F(ComAreas, WalksRunInOrderAndAStopUnwinds) {
    for (const wchar_t* c : {L"{A}", L"{B}", L"{C}"})
        ClassServer(HKEY_LOCAL_MACHINE, c, L"InprocServer32", Gone(L"x.dll"));
    ClassServer(HKEY_CURRENT_USER, L"{U}", L"InprocServer32", Gone(L"x.dll"));
    Str(HKEY_LOCAL_MACHINE, std::wstring(kAppId) + L"m.exe", L"AppID", L"{NONE}");
    Str(HKEY_CURRENT_USER, std::wstring(kAppId) + L"u.exe", L"AppID", L"{NONE}");

    EXPECT_EQ(Run(1, ScanActiveXCom), 6);
    const std::wstring lm = L" HKEY_LOCAL_MACHINE\\", cu = L" HKEY_CURRENT_USER\\";
    std::vector<std::wstring> order = {
        lm + kClsid + L"{A}", lm + kClsid + L"{B}",   lm + kClsid + L"{C}",
        cu + kClsid + L"{U}", lm + kAppId + L"m.exe", cu + kAppId + L"u.exe",
    };
    EXPECT_EQ(g_items, order);

    // Stopped at the second class: the area gives up with -1 and a count of 0.
    ClearRecords();
    SetErrorsFound(0);
    g_items.clear();
    g_stopAt = lm + kClsid + L"{B}";
    EXPECT_EQ(Run(1, ScanActiveXCom), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_EQ(g_items.back(), g_stopAt);
    EXPECT_EQ(Records().size(), 1u); // {A}, reported before the stop
}

TEST_F(ComAreas, ThirtyTwoBitTwinsAreTestedAsA32BitProgramSeesTheDisk) {
    if (!kScansBothViews) GTEST_SKIP() << "the 32-bit edition walks one view";
    const EnginePaths& paths = ScanEnginePaths();
    ASSERT_FALSE(paths.wow64Folder.empty());
    // A server only 32-bit programs find: it is in SysWOW64, not in System32.
    const std::wstring name = L"mdrtest32view.dll";
    ASSERT_TRUE(test::WriteFileBytes(paths.wow64Folder + name, "MZ"));
    ScopeExit remove([&] { DeleteFileW((paths.wow64Folder + name).c_str()); });
    const std::wstring server = paths.systemFolder + name;
    const std::wstring twin = L"Software\\Wow6432Node\\Classes\\CLSID\\";
    for (const auto& [clsid, path] :
         {std::pair{L"{W32OK}", server}, {L"{W32GONE}", Gone(L"w.dll")}}) {
        Str(HKEY_LOCAL_MACHINE, twin + clsid, L"", L"Planted class");
        Str(HKEY_LOCAL_MACHINE, twin + clsid + L"\\InprocServer32", L"", path);
    }
    ClassServer(HKEY_LOCAL_MACHINE, L"{W64}", L"InprocServer32", server);

    EXPECT_EQ(Run(1, ScanActiveXCom), 2);
    EXPECT_NE(Find(twin + L"{W32GONE}\\InprocServer32"), nullptr);
    EXPECT_NE(Find(std::wstring(kClsid) + L"{W64}\\InprocServer32"), nullptr);
    EXPECT_FALSE(Reported(L"{W32OK}"));
}

} // namespace
