// The scan's memo of answers: asked once within a scan (letter case ignored, roots and views
// apart), and gone with the scan, so the next scan sees the machine as it is now.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "mdr/scan/scan_memo.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;

namespace {

constexpr wchar_t kKey[] = L"Software\\Memo\\Key";

class ScanMemoTest : public mdr::test::AreaTest {};

TEST_F(ScanMemoTest, AnswersOnceByRootViewAndAnyCaseUntilTheScanEnds) {
    Str(HKEY_CURRENT_USER, kKey, L"Name", L"text");
    const std::wstring file = box_->MakeFile(L"memo.dll");
    {
        const ScanMemoScope scan;
        EXPECT_EQ(MemoKeyExists(kHkcu, kKey), 1);
        EXPECT_EQ(MemoReadValue(kHkcu, kKey, L"Name"), L"text");
        EXPECT_TRUE(MemoPathExists(file));
        ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
        ASSERT_TRUE(DeleteFileW(file.c_str()));

        // Gone from the machine, still answered as first seen, in any letter case.
        EXPECT_EQ(MemoKeyExists(kHkcu, L"SOFTWARE\\memo\\KEY"), 1);
        EXPECT_EQ(MemoValueExists(kHkcu, L"software\\Memo\\key", L"NAME"), 1);
        EXPECT_EQ(MemoReadValue(kHkcu, kKey, L"name"), L"text");
        EXPECT_TRUE(MemoPathExists(ToUpper(file)));
        // Another root, or the other registry view, is a question of its own.
        EXPECT_EQ(MemoKeyExists(kHklm, kKey), 0);
        const Wow32ViewScope view;
        EXPECT_EQ(MemoKeyExists(kHkcu, kKey), 0);
    }
    // Dropped with the scan: the questions go to the machine again.
    EXPECT_EQ(ScanMemoSize(), 0u);
    EXPECT_EQ(MemoKeyExists(kHkcu, kKey), 0);
    EXPECT_EQ(MemoReadValue(kHkcu, kKey, L"Name"), L"");
    EXPECT_FALSE(MemoPathExists(file));
}

TEST_F(ScanMemoTest, AKeyDeletedBetweenTwoScansIsGoneForTheSecond) {
    // An interface still marshalled by its type library, whose proxy/stub class is gone.
    const std::wstring itf = L"Software\\Classes\\Interface\\{MDR-I1}";
    const std::wstring typelib = L"Software\\Classes\\TypeLib\\{MDR-T1}";
    Str(HKEY_LOCAL_MACHINE, itf + L"\\ProxyStubClsid32", L"", L"{MDR-GONE}");
    Str(HKEY_LOCAL_MACHINE, itf + L"\\TypeLib", L"", L"{MDR-T1}");
    Str(HKEY_LOCAL_MACHINE, typelib, L"", L"Planted library");
    view_.SetAllChecked(false);
    view_.SetChecked(18, true);

    EXPECT_EQ(ScanThread(), 1);
    EXPECT_TRUE(Records().empty());

    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, typelib.c_str()), ERROR_SUCCESS);
    mdr::test::ResetScanRecords();
    EXPECT_EQ(ScanThread(), 1);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].keyPath, itf + L"\\TypeLib");
}

} // namespace
