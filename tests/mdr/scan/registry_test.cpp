// The registry and path helpers against the real registry and real files under Wine: walks,
// values as text, existence (a refused key counts as existing) and file references.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/text.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;

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

class RegistryHelpers : public test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        g_visited.clear();
        g_stopAt.clear();
        g_stops = 0;
    }
    void Key(const std::wstring& path) { box_->CreateKey(HKEY_CURRENT_USER, path); }
};

std::wstring W(const std::wstring& sub) {
    return std::wstring(kWalk) + L"\\" + sub;
}

TEST_F(RegistryHelpers, SubkeyWalkIsPreOrderAndAStopEndsOnlyItsLevel) {
    Key(W(L"A\\A1\\A11"));
    Key(W(L"A\\A2"));
    Key(W(L"B"));
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"A\\A1"), W(L"A\\A1\\A11"),
                                                    W(L"A\\A2"), W(L"B")}));
    g_visited.clear();
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, false, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"B")}));

    // A stop deep in the walk ends that level (A2 is never seen); the outer level goes on to B.
    g_visited.clear();
    g_stopAt = W(L"A\\A1");
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), 1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A"), W(L"A\\A1"), W(L"B")}));
    EXPECT_EQ(g_stops, 1);
    // A stop at the first level ends the walk with -1, before descending.
    g_visited.clear();
    g_stopAt = W(L"A");
    EXPECT_EQ(EnumerateSubkeys(kHkcu, kWalk, true, RecordSubkey), -1);
    EXPECT_EQ(g_visited, (std::vector<std::wstring>{W(L"A")}));
}

TEST_F(RegistryHelpers, ARefusedKeyIsNotWalkedButExists) {
    box_->DenyRead(HKEY_CURRENT_USER, W(L"Locked"));
    Key(W(L"Open"));
    EXPECT_EQ(EnumerateSubkeys(kHkcu, W(L"Locked"), false, RecordSubkey), 0);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Locked")), 1);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Open")), 1);
    EXPECT_EQ(KeyExists(kHkcu, W(L"Gone")), 0);
    // A value of a key that cannot be opened is not there.
    EXPECT_EQ(ValueExists(kHkcu, W(L"Locked"), L"v"), 0);
}

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

TEST_F(RegistryHelpers, ReadValueAsTextRendersByType) {
    const std::wstring k = W(L"Types");
    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    const wchar_t multi[] = L"ab\0c\u00E9\0\u0141\0";
    const BYTE qword[8] = {'A', 0, 'B', 0, 0, 0, 'C', 0};
    const DWORD minusOne = 0xFFFFFFFFu;
    const struct {
        const wchar_t* name;
        const void* data;
        DWORD size, type;
        std::wstring text;
    } cases[] = {
        {L"", L"the default", 24, REG_SZ, L"the default"},
        // Both string types are expanded.
        {L"szvar", L"%windir%\\x", 22, REG_SZ, std::wstring(windir) + L"\\x"},
        {L"expand", L"%windir%\\x", 22, REG_EXPAND_SZ, std::wstring(windir) + L"\\x"},
        {L"dword", &minusOne, 4, REG_DWORD, L"4294967295"},
        // Each byte is one character and zero bytes drop out: strings run together, and a
        // character beyond Latin-1 falls apart into its two bytes.
        {L"multi", multi, sizeof(multi), REG_MULTI_SZ, L"abc\u00E9A\x01"},
        {L"binary", L"abc\0xyz", 16, REG_BINARY, L"abc"},
        {L"qword", qword, 8, REG_QWORD, L"18858823443939393"},
        {L"nonul", L"open", 8, REG_SZ, L"open"},
        {L"empty", nullptr, 0, REG_SZ, L""},
        {L"link", L"C:\\x", 8, REG_LINK, L""},
    };
    for (const auto& c : cases)
        box_->SetBinary(HKEY_CURRENT_USER, k, c.name, c.data, c.size, c.type);
    for (const auto& c : cases)
        EXPECT_EQ(ReadValueAsText(kHkcu, k, c.name), c.text) << ToUtf8(c.name);
    EXPECT_EQ(ReadValueAsText(kHkcu, k, L"absent"), L"");
    EXPECT_EQ(ValueExists(kHkcu, k, L"empty"), 1);
    EXPECT_EQ(ValueExists(kHkcu, k, L"absent"), 0);
    Key(W(L"NoDefault"));
    EXPECT_EQ(ValueExists(kHkcu, W(L"NoDefault"), L""), 0);
}

TEST_F(RegistryHelpers, PathsAndFileReferences) {
    SetSearchFolders({dir_ + L"elsewhere\\", dir_ + L"path\\"});
    SetRemovableRoots({});
    std::wstring prog = box_->MakeFile(L"My Programs\\Tool Box\\tool.exe");
    std::wstring icons = box_->MakeFile(L"res.dll");
    box_->MakeFile(L"path\\with blank.exe");
    EXPECT_TRUE(PathExists(dir_ + L"My Programs"));
    EXPECT_TRUE(PathExists(dir_ + L"*.dll"));
    EXPECT_TRUE(PathExists(icons + L",-123"));
    EXPECT_FALSE(PathExists(dir_ + L"gone.dll,1"));
    EXPECT_TRUE(PathExists(L"C:"));
    EXPECT_FALSE(PathExists(L"Q:\\"));
    // A plain name is answered by its attributes, a wildcard by a directory search: both answer
    // alike on the hard cases.
    wchar_t shortProg[MAX_PATH] = {};
    GetShortPathNameW(prog.c_str(), shortProg, MAX_PATH);
    const std::wstring link = dir_ + L"link.exe";
    // Symbolic links came with Vista, and Wine makes ones that nothing finds: for the link, the
    // two answers must only agree.
    using MakeLink = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    const auto makeLink = reinterpret_cast<MakeLink>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    if (makeLink) makeLink(link.c_str(), prog.c_str(), 0);
    const std::pair<std::wstring, int> hard[] = {{prog + L"  ", 1},
                                                 {prog + L"..", 1},
                                                 {L"C:\\", 1},
                                                 {dir_ + L"My Programs\\", 1},
                                                 {dir_ + L"gone\\tool.exe", 0},
                                                 {dir_ + std::wstring(300, L'a'), 0},
                                                 {shortProg, 1},
                                                 {link, -1},
                                                 {dir_ + L"My Prog?ams", 1},
                                                 {dir_ + L"*.gone", 0}};
    for (const auto& [name, exists] : hard) {
        std::wstring cut = name.substr(0, 260);
        while (cut.ends_with(L'\\'))
            cut.pop_back();
        WIN32_FIND_DATAW data;
        UniqueFind search(FindFirstFileW(cut.c_str(), &data));
        if (exists >= 0) {
            EXPECT_EQ(PathExists(name), exists == 1) << ToUtf8(name);
        }
        EXPECT_EQ(PathExists(name), name.size() == 3 || static_cast<bool>(search)) << ToUtf8(name);
    }

    const struct {
        std::wstring text;
        int exists;
    } cases[] = {
        {L"   ", 0},
        {dir_ + L"gone.exe", 0},
        {L"@" + icons + L",-123", 1},
        {L"@" + dir_ + L"gone.dll,-123", 0},
        // Quoted program with arguments, unquoted program in folders with blanks, with arguments.
        {L"\"" + prog + L"\" /background -x", 1},
        {prog + L" /background -x value", 1},
        {L"\"" + dir_ + L"My Programs\\gone.exe\" /x", 0},
        // Device and system-root prefixes, doubled backslashes.
        {L"\\??\\" + prog, 1},
        {L"\\SYSTEMROOT\\system32\\KERNEL32.DLL", 1},
        {L"\\SystemRoot\\System32\\mdr-gone.dll", 0},
        {ReplaceAll(prog, L"\\", L"\\\\"), 1},
        // Bare names through the search folders.
        {L"with blank.exe -x", 1},
        {L"absent.exe", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileReferenceExists(c.text), c.exists) << ToUtf8(c.text);
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(prog.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(FileReferenceExists(std::wstring(L"\"") + shortName + L"\" -q"), 1);

    // A missing file on a removable drive is excused only while SkipRemovable is on.
    SetRemovableRoots({L"Q:\\"});
    EXPECT_EQ(FileReferenceExists(L"q:\\setup\\gone.exe"), 1);
    SetSkipRemovable(0);
    EXPECT_EQ(FileReferenceExists(L"Q:\\setup\\gone.exe"), 0);

    // The real lists: the system folder is on Wine's Path; C: and Z: are fixed drives.
    InitScanEnginePaths();
    EXPECT_TRUE(ScanEnginePaths().removableRoots.empty());
    EXPECT_EQ(FileReferenceExists(L"kernel32.dll"), 1);
    EXPECT_EQ(FileReferenceExists(L"mdr-nowhere-at-all.dll"), 0);
}

} // namespace
