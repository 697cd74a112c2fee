// The registry and path helpers against the real registry and real files under Wine: walks, value
// counts, values as text, existence tests (a refused key counts as existing), the file-reference
// test with its edge cases, the start-up folders, and removable drives (a real CD-ROM drive made
// through Wine's mount manager).
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/text.h"
#include "scan/engine_state.h"
#include "tests/scan/scan_test_env.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/wine_drive.h"

using namespace mdr;
using mdr::test::DefineWineDrive;
using mdr::test::RegistrySandbox;
using mdr::test::UnixPathOf;

namespace {

constexpr wchar_t kWalk[] = L"Software\\MDRWalk";

std::vector<std::wstring> g_visited;
std::wstring g_stopAt; // a check returns -1 for this path (or value name)
int g_stops = 0;

int RecordSubkey(RootKey root, const std::wstring& keyPath) {
    EXPECT_EQ(root, kHkcu);
    g_visited.push_back(keyPath);
    if (keyPath == g_stopAt) {
        ++g_stops;
        return -1;
    }
    return 0;
}

int RecordValue(RootKey root, const std::wstring& keyPath, const std::wstring& valueName) {
    EXPECT_EQ(root, kHkcu);
    g_visited.push_back(keyPath + L"|" + valueName);
    return valueName == g_stopAt ? -1 : 0;
}

class RegistryHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        box_ = std::make_unique<RegistrySandbox>(L"ScanRegistry");
        g_visited.clear();
        g_stopAt.clear();
        g_stops = 0;
        SetScanDelay(0);
    }
    void TearDown() override {
        SetScanDelay(0);
        box_.reset();
    }
    void Key(const std::wstring& path) { box_->CreateKey(HKEY_CURRENT_USER, path); }

    std::unique_ptr<RegistrySandbox> box_;
};

std::wstring W(const std::wstring& sub) {
    return std::wstring(kWalk) + L"\\" + sub;
}

// ---- Subkey walks ----

TEST_F(RegistryHelpers, SubkeyWalkIsPreOrderAndSkipsTheStartKey) {
    Key(W(L"A\\A1\\A11"));
    Key(W(L"A\\A2"));
    Key(W(L"B"));
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), 1);
    std::vector<std::wstring> expected = {W(L"A"), W(L"A\\A1"), W(L"A\\A1\\A11"), W(L"A\\A2"),
                                          W(L"B")};
    EXPECT_EQ(g_visited, expected);

    g_visited.clear();
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, false, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"B")}));

    // One trailing backslash on the start key is dropped before the paths are joined.
    g_visited.clear();
    EXPECT_EQ(EnumerateSubkeys(kHkcu, std::wstring(kWalk) + L"\\", false, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"B")}));
}

TEST_F(RegistryHelpers, StopDeepInARecursiveWalkEndsOnlyThatLevel) {
    Key(W(L"A\\A1"));
    Key(W(L"A\\A2"));
    Key(W(L"B"));
    g_stopAt = W(L"A\\A1");
    // The inner level stops (A2 is never seen), the outer level goes on to B.
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"A\\A1"), W(L"B")}));
    EXPECT_EQ(g_stops, 1);

    // A stop at the first level ends the walk with -1, before descending.
    g_visited.clear();
    g_stopAt = W(L"A");
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), -1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A")}));
}

TEST_F(RegistryHelpers, KeyWithoutSubkeysMissingKeyAndNoCheck) {
    Key(W(L"Leaf"));
    box_->SetString(HKEY_CURRENT_USER, W(L"Leaf"), L"v", L"x");
    EXPECT_EQ(EnumerateSubkeys(kHkcu, W(L"Leaf"), true, RecordSubkey), 1);
    EXPECT_TRUE(g_visited.empty());
    EXPECT_EQ(EnumerateSubkeys(kHkcu, W(L"Missing"), true, RecordSubkey), 0);
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, nullptr), 1);
    EXPECT_TRUE(g_visited.empty());
}

TEST_F(RegistryHelpers, WalkFromARootNamesChildrenAlone) {
    Key(W(L"A"));
    EXPECT_EQ(EnumerateSubkeys(kHkcu, L"", false, RecordSubkey), 1);
    ASSERT_FALSE(g_visited.empty());
    for (const std::wstring& path : g_visited)
        EXPECT_EQ(path.find(L'\\'), std::wstring::npos);
    EXPECT_NE(mdr::test::FindLine(g_visited, L"Software"), -1);
}

TEST_F(RegistryHelpers, ARefusedKeyIsNotWalkedButExists) {
    box_->DenyRead(HKEY_CURRENT_USER, W(L"Locked"));
    Key(W(L"Open"));
    EXPECT_EQ(EnumerateSubkeys(kHkcu, W(L"Locked"), false, RecordSubkey), 0);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Locked")), 1);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Open")), 1);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Open\\")), 1);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Gone")), 0);
    // A value of a key that cannot be opened is not there.
    EXPECT_EQ(ValueExists(kHkcu, W(L"Locked"), L"v"), 0);
    EXPECT_EQ(ReadValueAsText(kHkcu, W(L"Locked"), L""), L"");
    EXPECT_EQ(CountKeyValues(kHkcu, W(L"Locked")), 0u);
}

// ---- Pauses ----

std::atomic<int> g_apcs{0};
void CALLBACK CountApc(ULONG_PTR) {
    ++g_apcs;
}
int g_apcsAtCheck[3];
int g_checks = 0;
int NoteApcs(RootKey, const std::wstring&) {
    if (g_checks < 3) g_apcsAtCheck[g_checks] = g_apcs;
    ++g_checks;
    return 0;
}

TEST_F(RegistryHelpers, EveryRoundEndsInAnAlertablePause) {
    Key(W(L"A"));
    Key(W(L"B"));
    g_apcs = 0;
    g_checks = 0;
    // An APC queued before the walk runs at the first alertable pause: after the first item.
    ASSERT_NE(QueueUserAPC(CountApc, GetCurrentThread(), 0), 0u);
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, false, NoteApcs), 1);
    ASSERT_EQ(g_checks, 2);
    EXPECT_EQ(g_apcsAtCheck[0], 0);
    EXPECT_EQ(g_apcsAtCheck[1], 1);
    SleepEx(0, TRUE);
}

TEST_F(RegistryHelpers, ScanDelayPausesPerItemAndANegativeOneDoesNotHang) {
    for (int i = 0; i < 5; ++i)
        Key(W(L"K" + std::to_wstring(i)));
    SetScanDelay(30);
    EXPECT_EQ(GetScanDelay(), 30);
    DWORD start = GetTickCount();
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, false, nullptr), 1);
    // Five pauses of 30 ms at least (a lower bound, not a speed target).
    EXPECT_GE(GetTickCount() - start, 140u);

    // A negative delay from a hand-edited Config.ini would be an endless sleep.
    SetScanDelay(-1);
    struct Walk {
        static DWORD WINAPI Run(void*) {
            return static_cast<DWORD>(EnumerateSubkeys(kHkcu, kWalk, false, nullptr));
        }
    };
    UniqueHandle thread(CreateThread(nullptr, 0, Walk::Run, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0) << "walk hangs";
    DWORD code = 0;
    GetExitCodeThread(thread.get(), &code);
    EXPECT_EQ(code, 1u);
}

// ---- Value walks ----

TEST_F(RegistryHelpers, ValueWalkSkipsTheDefaultValueAndStops) {
    const std::wstring k = W(L"Values");
    box_->SetString(HKEY_CURRENT_USER, k, L"", L"default");
    // Named so that creation order (Windows) and name order (Wine) agree.
    box_->SetString(HKEY_CURRENT_USER, k, L"one", L"1");
    box_->SetString(HKEY_CURRENT_USER, k, L"three", L"3");
    box_->SetDword(HKEY_CURRENT_USER, k, L"two", 2);
    EXPECT_EQ(EnumerateValues(kHkcu, k + L"\\", RecordValue), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{k + L"|one", k + L"|three", k + L"|two"}));

    g_visited.clear();
    g_stopAt = L"three";
    EXPECT_EQ(EnumerateValues(kHkcu, k, RecordValue), -1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{k + L"|one", k + L"|three"}));

    EXPECT_EQ(EnumerateValues(kHkcu, W(L"Missing"), RecordValue), 0);
}

TEST_F(RegistryHelpers, AValueNameLongerThanTheBufferEndsTheWalk) {
    const std::wstring k = W(L"LongNames");
    box_->SetString(HKEY_CURRENT_USER, k, L"a first", L"1");
    box_->SetString(HKEY_CURRENT_USER, k, L"m" + std::wstring(9000, L'n'), L"2");
    box_->SetString(HKEY_CURRENT_USER, k, L"z after", L"3");
    EXPECT_EQ(EnumerateValues(kHkcu, k, RecordValue), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{k + L"|a first"}));
}

TEST_F(RegistryHelpers, CollectValueNamesAppendsNamedValues) {
    const std::wstring k = W(L"Collect");
    box_->SetString(HKEY_CURRENT_USER, k, L"", L"default");
    box_->SetString(HKEY_CURRENT_USER, k, L"a", L"1");
    box_->SetString(HKEY_CURRENT_USER, k, L"b", L"2");
    box_->SetString(HKEY_CURRENT_USER, W(L"OnlyDefault"), L"", L"x");

    std::vector<ValueRef> list;
    EXPECT_EQ(CollectValueNames(kHkcu, W(L"OnlyDefault"), list), 0);
    EXPECT_EQ(CollectValueNames(kHkcu, W(L"Missing"), list), 0);
    EXPECT_NE(CollectValueNames(kHkcu, k, list), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].root, kHkcu);
    EXPECT_EQ(list[0].keyPath, k);
    EXPECT_EQ(list[0].valueName, L"a");
    EXPECT_EQ(list[1].valueName, L"b");
    // A list that already holds elements answers non-zero even for a missing key.
    EXPECT_NE(CollectValueNames(kHkcu, W(L"Missing"), list), 0);
    EXPECT_EQ(list.size(), 2u);
}

// ---- Value counts ----

TEST_F(RegistryHelpers, CountKeyValuesCountsTheSubtreeOnlyForAKeyWithoutValues) {
    const std::wstring own = W(L"Own");
    box_->SetString(HKEY_CURRENT_USER, own, L"a", L"1");
    box_->SetString(HKEY_CURRENT_USER, own, L"", L"default");
    box_->SetString(HKEY_CURRENT_USER, own + L"\\Child", L"x", L"1");
    box_->SetString(HKEY_CURRENT_USER, own + L"\\Child", L"y", L"1");
    EXPECT_EQ(CountKeyValues(kHkcu, own), 2u); // its own two, the default value included

    const std::wstring bare = W(L"Bare");
    box_->SetString(HKEY_CURRENT_USER, bare + L"\\A", L"a", L"1");
    box_->SetString(HKEY_CURRENT_USER, bare + L"\\A\\Deep\\Deeper", L"b", L"1");
    box_->SetString(HKEY_CURRENT_USER, bare + L"\\A\\Deep\\Deeper", L"c", L"1");
    Key(bare + L"\\B\\Empty");
    EXPECT_EQ(CountKeyValues(kHkcu, bare), 3u);
    EXPECT_EQ(CountKeyValues(kHkcu, bare + L"\\"), 3u);

    Key(W(L"Hollow\\X\\Y"));
    EXPECT_EQ(CountKeyValues(kHkcu, W(L"Hollow")), 0u);
    EXPECT_EQ(CountKeyValues(kHkcu, W(L"Missing")), 0u);
}

// ---- Values as text ----

TEST_F(RegistryHelpers, ReadValueAsTextRendersByType) {
    const std::wstring k = W(L"Types");
    auto& b = *box_;
    b.SetString(HKEY_CURRENT_USER, k, L"", L"the default");
    b.SetString(HKEY_CURRENT_USER, k, L"sz", L"plain");
    b.SetString(HKEY_CURRENT_USER, k, L"szvar", L"%windir%\\x");
    b.SetString(HKEY_CURRENT_USER, k, L"expand", L"%windir%\\system32", REG_EXPAND_SZ);
    b.SetDword(HKEY_CURRENT_USER, k, L"dword", 0xFFFFFFFFu);
    b.SetDword(HKEY_CURRENT_USER, k, L"dword42", 42);
    const wchar_t multi[] = L"ab\0c\u00E9\0\u0141\0";
    b.SetBinary(HKEY_CURRENT_USER, k, L"multi", multi, sizeof(multi), REG_MULTI_SZ);
    const wchar_t bin[] = L"abc\0xyz";
    b.SetBinary(HKEY_CURRENT_USER, k, L"binary", bin, sizeof(bin));
    const BYTE qword[8] = {'A', 0, 'B', 0, 0, 0, 'C', 0};
    b.SetBinary(HKEY_CURRENT_USER, k, L"qword", qword, 8, REG_QWORD);
    const wchar_t unterminated[] = L"open";
    b.SetBinary(HKEY_CURRENT_USER, k, L"nonul", unterminated, 8, REG_SZ);
    b.SetBinary(HKEY_CURRENT_USER, k, L"odd", "a\0b", 3, REG_SZ);
    b.SetBinary(HKEY_CURRENT_USER, k, L"empty", nullptr, 0, REG_SZ);
    b.SetBinary(HKEY_CURRENT_USER, k, L"none", "x\0", 2, REG_NONE);
    b.SetBinary(HKEY_CURRENT_USER, k, L"link", L"C:\\x", 8, REG_LINK);

    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L""), L"the default");
    EXPECT_EQ(ReadValueAsText(kHkcu, k + L"\\", L"sz"), L"plain");
    // Both string types are expanded.
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"szvar"), std::wstring(windir) + L"\\x");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"expand"), std::wstring(windir) + L"\\system32");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"dword"), L"-1");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"dword42"), L"42");
    // Each byte is one character and zero bytes drop out: strings run together, and a character
    // beyond Latin-1 falls apart into its two bytes.
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"multi"), std::wstring(L"abc\u00E9A\x01"));
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"binary"), L"abc");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"qword"), L"AB");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"nonul"), L"open");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"odd"), L"a");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"empty"), L"");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"none"), L"");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"link"), L"");
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"absent"), L"");
    EXPECT_EQ(ReadValueAsText(kHkcu, W(L"Missing"), L""), L"");

    EXPECT_EQ(ValueExists(kHkcu, k, L"sz"), 1);
    EXPECT_EQ(ValueExists(kHkcu, k, L""), 1);
    EXPECT_EQ(ValueExists(kHkcu, k, L"empty"), 1);
    EXPECT_EQ(ValueExists(kHkcu, k, L"absent"), 0);
    EXPECT_EQ(ValueExists(kHkcu, W(L"Missing"), L"sz"), 0);
    Key(W(L"NoDefault"));
    EXPECT_EQ(ValueExists(kHkcu, W(L"NoDefault"), L""), 0);
}

// ---- Paths ----

class PathHelpers : public RegistryHelpers {
  protected:
    void SetUp() override {
        // Shell folders come from the real user hive, before the sandbox redirects it.
        InitScanEnginePaths();
        RegistryHelpers::SetUp();
        savedSearch_ = ScanEnginePaths().searchFolders;
        savedRemovable_ = ScanEnginePaths().removableRoots;
        SetSkipRemovable(1);
        dir_ = box_->Folder();
    }
    void TearDown() override {
        SetSearchFolders(savedSearch_);
        SetRemovableRoots(savedRemovable_);
        SetSkipRemovable(1);
        RegistryHelpers::TearDown();
    }
    std::wstring dir_;
    std::vector<std::wstring> savedSearch_, savedRemovable_;
};

TEST_F(PathHelpers, ExpandAndLongPaths) {
    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    EXPECT_EQ(ExpandEnvironment(L"%windir%\\x"), std::wstring(windir) + L"\\x");
    EXPECT_EQ(ExpandEnvironment(L"no variables"), L"no variables");
    EXPECT_EQ(ExpandEnvironment(L"%MDR_NOT_SET_ANYWHERE%\\x"), L"%MDR_NOT_SET_ANYWHERE%\\x");
    EXPECT_EQ(ExpandEnvironment(L""), L"");

    std::wstring file = box_->MakeFile(L"A long folder name\\A long file name.txt");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(file.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName).find(L'~'), std::wstring::npos);
    EXPECT_TRUE(EqualsNoCase(LongPathOf(shortName), file));
    EXPECT_EQ(LongPathOf(L"C:\\NOPE~1\\GONE~1.TXT"), L"C:\\NOPE~1\\GONE~1.TXT");
    EXPECT_EQ(LongPathOf(L"C:\\plain"), L"C:\\plain");
}

TEST_F(PathHelpers, PathExistsFilesFoldersRootsAndTheCommaRule) {
    std::wstring file = box_->MakeFile(L"sub\\thing.dll");
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dir_ + L"sub"));
    EXPECT_TRUE(PathExists(dir_ + L"sub\\"));
    EXPECT_TRUE(PathExists(dir_ + L"sub\\*.dll"));
    EXPECT_TRUE(PathExists(file + L",-123"));
    EXPECT_TRUE(PathExists(file + L",1,2"));
    EXPECT_FALSE(PathExists(dir_ + L"sub\\gone.dll,1"));
    EXPECT_FALSE(PathExists(dir_ + L"sub\\gone.dll"));
    EXPECT_FALSE(PathExists(L""));
    EXPECT_TRUE(PathExists(L"C:"));
    EXPECT_TRUE(PathExists(L"c:\\"));
    EXPECT_FALSE(PathExists(L"Q:"));
    EXPECT_FALSE(PathExists(L"Q:\\"));
}

TEST_F(PathHelpers, FileReferenceEdgeCases) {
    SetSearchFolders({});
    SetRemovableRoots({});
    std::wstring prog = box_->MakeFile(L"My Programs\\Tool Box\\tool.exe");
    std::wstring icons = box_->MakeFile(L"res.dll");

    EXPECT_EQ(FileReferenceExists(L""), 0);
    EXPECT_EQ(FileReferenceExists(L"   "), 0);
    EXPECT_EQ(FileReferenceExists(L"\t"), 0);
    EXPECT_EQ(FileReferenceExists(prog), 1);
    EXPECT_EQ(FileReferenceExists(dir_ + L"gone.exe"), 0);
    // Resource references.
    EXPECT_EQ(FileReferenceExists(L"@" + icons + L",-123"), 1);
    EXPECT_EQ(FileReferenceExists(icons + L",5"), 1);
    EXPECT_EQ(FileReferenceExists(L"@" + dir_ + L"gone.dll,-123"), 0);
    // Quoted program with arguments, unquoted program in folders with blanks, with arguments.
    EXPECT_EQ(FileReferenceExists(L"\"" + prog + L"\" /background -x"), 1);
    EXPECT_EQ(FileReferenceExists(L"\"" + prog + L"\""), 1);
    EXPECT_EQ(FileReferenceExists(prog + L" /background -x value"), 1);
    EXPECT_EQ(FileReferenceExists(L"\"" + dir_ + L"My Programs\\gone.exe\" /x"), 0);
    EXPECT_EQ(FileReferenceExists(dir_ + L"My Programs\\gone.exe /x"), 0);
    // Device and system-root prefixes, doubled backslashes.
    EXPECT_EQ(FileReferenceExists(L"\\??\\" + prog), 1);
    EXPECT_EQ(FileReferenceExists(L"\\SystemRoot\\System32\\kernel32.dll"), 1);
    EXPECT_EQ(FileReferenceExists(L"\\SYSTEMROOT\\system32\\KERNEL32.DLL"), 1);
    EXPECT_EQ(FileReferenceExists(L"\\SystemRoot\\System32\\mdr-gone.dll"), 0);
    EXPECT_EQ(FileReferenceExists(ReplaceAll(prog, L"\\", L"\\\\")), 1);
    // Short names.
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(prog.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(FileReferenceExists(std::wstring(L"\"") + shortName + L"\" -q"), 1);
}

TEST_F(PathHelpers, BareNamesThroughTheSearchFolders) {
    box_->MakeFile(L"path\\bare.exe");
    box_->MakeFile(L"path\\with blank.exe");
    SetSearchFolders({dir_ + L"elsewhere\\", dir_ + L"path\\"});
    SetRemovableRoots({});
    EXPECT_EQ(FileReferenceExists(L"bare.exe"), 1);
    EXPECT_EQ(FileReferenceExists(L"bare.exe /arg"), 1);
    EXPECT_EQ(FileReferenceExists(L"with blank.exe -x"), 1);
    EXPECT_EQ(FileReferenceExists(L"absent.exe"), 0);
    SetSearchFolders({});
    EXPECT_EQ(FileReferenceExists(L"bare.exe"), 0);

    // The real list: the system folder is on Wine's Path.
    InitScanEnginePaths();
    EXPECT_EQ(FileReferenceExists(L"kernel32.dll"), 1);
    EXPECT_EQ(FileReferenceExists(L"mdr-nowhere-at-all.dll"), 0);
}

TEST_F(PathHelpers, ExpandedRegistryPathsPass) {
    std::wstring file = box_->MakeFile(L"expanded\\server.dll");
    SetEnvironmentVariableW(L"MDR_SCAN_TEST_DIR", dir_.substr(0, dir_.size() - 1).c_str());
    box_->SetString(HKEY_CURRENT_USER, W(L"Paths"), L"p",
                    L"%MDR_SCAN_TEST_DIR%\\expanded\\server.dll", REG_EXPAND_SZ);
    box_->SetString(HKEY_CURRENT_USER, W(L"Paths"), L"g",
                    L"%MDR_SCAN_TEST_DIR%\\expanded\\gone.dll", REG_EXPAND_SZ);
    EXPECT_EQ(FileReferenceExists(ReadValueAsText(kHkcu, W(L"Paths"), L"p")), 1);
    EXPECT_EQ(FileReferenceExists(ReadValueAsText(kHkcu, W(L"Paths"), L"g")), 0);
    // Unexpanded text is not expanded by the file test itself.
    EXPECT_EQ(FileReferenceExists(L"%MDR_SCAN_TEST_DIR%\\expanded\\server.dll"), 0);
    SetEnvironmentVariableW(L"MDR_SCAN_TEST_DIR", nullptr);
}

TEST_F(PathHelpers, RemovableRootsCompareTheFirstThreeCharacters) {
    SetRemovableRoots({});
    EXPECT_EQ(IsOnRemovableDrive(L"D:\\x"), 0);
    SetRemovableRoots({L"D:\\", L"F:\\"});
    EXPECT_EQ(IsOnRemovableDrive(L"d:\\setup\\x.exe"), 1);
    EXPECT_EQ(IsOnRemovableDrive(L"F:\\"), 1);
    EXPECT_EQ(IsOnRemovableDrive(L"E:\\x"), 0);
    EXPECT_EQ(IsOnRemovableDrive(L" D:\\x"), 0);
    EXPECT_EQ(IsOnRemovableDrive(L""), 0);

    SetSearchFolders({});
    SetSkipRemovable(1);
    EXPECT_EQ(FileReferenceExists(L"D:\\setup\\gone.exe"), 1);
    SetSkipRemovable(0);
    EXPECT_EQ(GetSkipRemovable(), 0);
    EXPECT_EQ(FileReferenceExists(L"D:\\setup\\gone.exe"), 0);
}

TEST(StartUpPaths, FoldersAndSearchList) {
    wchar_t savedPath[32768] = {};
    wchar_t savedTemp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"Path", savedPath, 32768);
    GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
    std::wstring longDir = std::wstring(savedTemp) + L"\\MDR Long Folder Name";
    CreateDirectoryW(longDir.c_str(), nullptr);
    ScopeExit removeDir([&] { RemoveDirectoryW(longDir.c_str()); });
    wchar_t shortDir[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longDir.c_str(), shortDir, MAX_PATH), 0u);

    std::wstring path = L" C:\\one ;;%windir%\\system32; " + std::wstring(shortDir) + L"\\";
    SetEnvironmentVariableW(L"Path", path.c_str());
    SetEnvironmentVariableW(L"TEMP", L"C:\\temp here");
    InitScanEnginePaths();
    SetEnvironmentVariableW(L"Path", savedPath);
    SetEnvironmentVariableW(L"TEMP", savedTemp);

    const EnginePaths& p = ScanEnginePaths();
    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    EXPECT_EQ(p.windowsFolder, std::wstring(windir) + L"\\");
    EXPECT_EQ(p.systemFolder, p.windowsFolder + L"system32\\");
    EXPECT_EQ(p.driversFolder, p.windowsFolder + L"system32\\drivers\\");
    ASSERT_FALSE(p.fontsFolder.empty());
    ASSERT_FALSE(p.recentFolder.empty());
    EXPECT_EQ(p.fontsFolder.back(), L'\\');
    EXPECT_EQ(p.recentFolder.back(), L'\\');
    std::vector<std::wstring> expected = {L"C:\\one\\",
                                          p.windowsFolder + L"system32\\",
                                          longDir + L"\\",
                                          L"C:\\temp here\\",
                                          p.driversFolder,
                                          p.windowsFolder + L"Media\\",
                                          p.windowsFolder + L"Help\\"};
    ASSERT_EQ(p.searchFolders.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(EqualsNoCase(p.searchFolders[i], expected[i]))
            << i << ": " << ToUtf8(p.searchFolders[i]);
    // Only C: and Z:, both fixed, in a fresh prefix.
    EXPECT_TRUE(p.removableRoots.empty());
}

// ---- A real CD-ROM drive ----

bool DriveTypeValue(wchar_t letter, std::wstring& value) {
    wchar_t name[] = {static_cast<wchar_t>(towlower(letter)), L':', 0};
    value = ReadValueAsText(kHklm, L"Software\\Wine\\Drives", name);
    return !value.empty();
}

TEST(RemovableDrives, ACdRomDriveExcusesMissingFiles) {
    if (!mdr::test::RunningOnWine()) GTEST_SKIP() << "needs Wine's mount manager";
    wchar_t letter = 0;
    for (wchar_t c = L'D'; c <= L'Y' && !letter; ++c) {
        wchar_t root[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) letter = c;
    }
    ASSERT_NE(letter, 0);
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring media = std::wstring(temp) + L"MDRScanCdrom";
    CreateDirectoryW(media.c_str(), nullptr);
    std::string unixMedia = UnixPathOf(media);
    ASSERT_FALSE(unixMedia.empty());
    const std::wstring root = std::wstring(1, letter) + L":\\";

    ASSERT_TRUE(DefineWineDrive(letter, DRIVE_CDROM, unixMedia));
    {
        ScopeExit removeDrive([&] {
            DefineWineDrive(letter, DRIVE_NO_ROOT_DIR, "");
            RemoveDirectoryW(media.c_str());
        });
        std::wstring type;
        EXPECT_TRUE(DriveTypeValue(letter, type));
        EXPECT_EQ(type, L"cdrom");
        ASSERT_EQ(GetDriveTypeW(root.c_str()), static_cast<UINT>(DRIVE_CDROM));

        InitScanEnginePaths();
        const auto& roots = ScanEnginePaths().removableRoots;
        ASSERT_EQ(roots.size(), 1u);
        EXPECT_EQ(roots[0], root);
        SetSearchFolders({});
        SetSkipRemovable(1);
        EXPECT_EQ(FileReferenceExists(root + L"setup\\gone.exe"), 1);
        EXPECT_EQ(FileReferenceExists(std::wstring(1, towlower(letter)) + L":\\gone.exe"), 1);
        SetSkipRemovable(0);
        EXPECT_EQ(FileReferenceExists(root + L"setup\\gone.exe"), 0);
        EXPECT_EQ(PathExists(root), true);
        SetSkipRemovable(1);
    }
    // Both the link and the type entry are gone again.
    std::wstring type;
    EXPECT_FALSE(DriveTypeValue(letter, type));
    EXPECT_EQ(GetDriveTypeW(root.c_str()), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    InitScanEnginePaths();
    EXPECT_TRUE(ScanEnginePaths().removableRoots.empty());
}

} // namespace

namespace {

TEST(Sandbox, RedirectsThreeRootsAndLeavesNothingBehind) {
    std::wstring folder;
    std::wstring base;
    {
        RegistrySandbox box(L"SandboxSelfTest");
        folder = box.Folder();
        base = box.RealPath(HKEY_LOCAL_MACHINE);
        // Fresh and empty: the machine's own keys are out of sight.
        EXPECT_EQ(KeyExists(kHklm, L"Software\\Wine"), 0);
        // Classes planted through HKCR are the sandbox machine's classes, as on Windows.
        box.SetString(HKEY_CLASSES_ROOT, L".mdrsandbox", L"", L"mdrfile");
        EXPECT_EQ(ReadValueAsText(kHklm, L"Software\\Classes\\.mdrsandbox", L""), L"mdrfile");
        box.SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\{X}", L"", L"x");
        EXPECT_EQ(KeyExists(kHkcr, L"CLSID\\{X}"), 1);
        box.SetString(HKEY_CURRENT_USER, L"Software\\MDRPlanted", L"v", L"1");
        EXPECT_EQ(ReadValueAsText(kHkcu, L"Software\\MDRPlanted", L"v"), L"1");
        std::wstring file = box.MakeFile(L"a\\b\\c.txt");
        EXPECT_TRUE(PathExists(file));
        box.DenyRead(HKEY_CURRENT_USER, L"Software\\MDRLocked\\Inner");
        EXPECT_EQ(KeyExists(kHkcu, L"Software\\MDRLocked\\Inner"), 1);
        EXPECT_EQ(EnumerateSubkeys(kHkcu, L"Software\\MDRLocked\\Inner", false, nullptr), 0);
    }
    EXPECT_EQ(KeyExists(kHklm, L"Software\\Wine"), 1);
    EXPECT_EQ(KeyExists(kHkcu, base), 0);
    EXPECT_EQ(KeyExists(kHkcu, L"Software\\MDRTests"), 0);
    EXPECT_EQ(KeyExists(kHkcu, L"Software\\MDRPlanted"), 0);
    EXPECT_EQ(KeyExists(kHkcr, L".mdrsandbox"), 0);
    EXPECT_FALSE(PathExists(folder));
}

} // namespace
