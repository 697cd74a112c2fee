// Quorran's model: the texts of an entry, the hide rules, the icon search order, the split of
// uninstall strings against real files and the bare-name search, the bounded size walk, adding
// an entry that fails half-way, and waiting for an uninstaller that hands its work to a child.
#include <algorithm>
#include <stdexcept>
#include "common/text.h"
#include "common/late_bound.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/driver.h"
#include "tools/quorran/shell_launch.h"
#include "tools/quorran/uninstall_entries.h"
#include "tests/tools/quorran/uninstall_probe.h"

namespace mdr {
namespace {
using test::TempFolder;

const SystemFolders kFolders{
    L"C:\\windows\\", L"C:\\windows\\system32\\", L"C:\\Program Files\\", {L"C:\\users\\me\\"}};

TEST(QuorranTexts, DateSizeAndExcludedFolders) {
    const std::pair<std::wstring, std::wstring> dates[] = {{L"20090517", L"2009/05/17"},
                                                           {L"17/05/2009", L"17/05/2009"},
                                                           {L"", L"Not specified"},
                                                           {L"200905", L"2009/05/"}};
    for (const auto& [raw, shown] : dates)
        EXPECT_EQ(InstallDateText(raw), shown) << ToUtf8(raw);
    // EstimatedSize, measured folder, the size shown, the program's figure when not shown.
    const std::tuple<std::wstring, int64_t, std::wstring, std::wstring> sizes[] = {
        {L"2048", -1, L"2.00 MB (registry)", L""},
        {L"1536", 0, L"1.50 MB (registry)", L""},
        {L"", 3072, L"3.00 KB (measured)", L""},
        {L"", -1, L"Not available", L""},
        {L"12abc", -1, L"Not available", L""},
        {L"-1", 3072, L"3.00 KB (measured)", L""},
        {L"0", -1, L"Not available", L""},
        {L"2147483649", -1, L"Not available", L"2.00 TB"},
        {L"4294967295", 3072, L"3.00 KB (measured)", L"4.00 TB"},
        {L"300", 3072, L"300.00 KB (registry)", L""},
        {L"301", 3072, L"3.00 KB (measured)", L"301.00 KB"}};
    for (const auto& [kilobytes, measured, shown, reported] : sizes) {
        const SizeShown size = ChooseSize(kilobytes, measured);
        EXPECT_EQ(size.text + L"|" + size.reported, shown + L"|" + reported) << ToUtf8(kilobytes);
    }
    const std::pair<std::wstring, bool> folders[] = {{L"c:\\WINDOWS\\", true},
                                                     {L"C:\\Windows\\System32\\", true},
                                                     {L"C:\\", true},
                                                     {L"\\", true},
                                                     {L" C:\\program files\\ ", true},
                                                     {L"C:\\.", true},
                                                     {L"\\\\?\\C:\\Windows", true},
                                                     {L"C:\\Windows\\\\System32\\..", true},
                                                     {L"C:\\Users\\Me\\", true},
                                                     {L"C:\\Program Files\\App\\", false},
                                                     {L"D:\\", false}};
    for (const auto& [folder, excluded] : folders)
        EXPECT_EQ(IsExcludedInstallFolder(folder, kFolders), excluded) << ToUtf8(folder);
}

TEST(QuorranHide, WhatWindowsLeavesOutAndWhy) {
    // keyName, displayName, hasUninstaller, systemComponent, noRemove, parentKeyName,
    // parentDisplayName, releaseType.
    const std::pair<EntryFacts, std::wstring> cases[] = {
        {{L"App", L"App", true}, L""},
        {{L"App", L" ", true, true}, L"No name"},
        {{L"App", L"App", true, true, true}, L"System component"},
        {{L"App", L"App", true, false, false, L"Office"}, L"Update of Office"},
        {{L"App", L"App", true, false, false, L"Office", L"Microsoft Office"},
         L"Update of Microsoft Office"},
        {{L"App", L"App", true, false, false, L"", L"", L"Security Update"}, L"Update of Windows"},
        {{L"App", L"App", true, false, false, L"", L"", L"HOTFIX"}, L"Update of Windows"},
        {{L"KB123456", L"Fix", true}, L"Update of Windows"},
        {{L"KBApp", L"KB App", true}, L""},
        {{L"App", L"App", false, false, true}, L"Protected"},
        {{L"App", L"App", false}, L"No uninstaller"}};
    for (const auto& [facts, reason] : cases)
        EXPECT_EQ(HiddenReason(facts), reason) << ToUtf8(reason);
}

TEST(QuorranLaunch, PerUserUninstallersRunWithoutAdministratorRights) {
    using enum LaunchMethod;
    const std::tuple<RootKey, bool, bool, LaunchMethod> cases[] = {
        {kHklm, true, true, Direct},
        {kHkcu, false, true, Direct},
        {kHkcu, true, true, ShellUnelevated},
        {kHkcu, true, false, ElevatedAfterWarning}};
    for (const auto& [root, elevated, shell, method] : cases)
        EXPECT_EQ(ChooseLaunchMethod(root, elevated, shell), method) << root << elevated << shell;
    EXPECT_TRUE(RunsElevated()) << "Wine runs everything elevated";
}

TEST(QuorranTexts, IconCandidatesInSearchOrder) {
    EXPECT_EQ(IconCandidates(L"app.exe", L"Tools\\", kFolders),
              (std::vector<std::wstring>{L"app.exe", L"Tools\\app.exe", L"C:\\windows\\app.exe",
                                         L"C:\\windows\\Tools\\app.exe",
                                         L"C:\\windows\\system32\\app.exe",
                                         L"C:\\windows\\system32\\Tools\\app.exe"}));
}

TEST(QuorranSplit, UninstallStringsBecomeProgramAndParameters) {
    TempFolder temp;
    CreateDirectoryW((temp / L"Un Inst").c_str(), nullptr);
    const std::wstring program = temp / L"Un Inst\\uninst probe.exe";
    ASSERT_TRUE(test::WriteFileBytes(program, "MZ"));
    const std::wstring sys = L"C:\\windows\\system32\\";
    struct Case {
        std::wstring command;
        UninstallCommand expected;
    };
    const Case cases[] = {
        {L"rundll32.exe setupapi.dll,Remove x",
         {sys + L"rundll32.exe", L"setupapi.dll,Remove x", true}},
        {L"RunDll32 advpack.dll,Launch", {sys + L"rundll32.exe", L"advpack.dll,Launch", true}},
        {L"MsiExec.exe /X{11111111-2222-3333-4444-555555555555}",
         {sys + L"msiexec.exe", L"/X{11111111-2222-3333-4444-555555555555}", true}},
        {L"msiexec /i x.msi", {sys + L"msiexec.exe", L"/i x.msi", true}},
        {L"\"" + program + L"\" /S --all", {program, L"/S --all", false}},
        {L"\"" + program + L"\"", {program, L"", false}},
        {program + L" /u  x", {program, L"/u  x", false}},
        {program, {program, L"", false}},
        {L"C:\\nowhere\\gone app\\un.exe /S", {L"C:\\nowhere\\gone app\\un.exe", L"/S", false}}};
    for (const Case& c : cases) {
        const UninstallCommand got = SplitUninstallString(c.command, sys);
        EXPECT_EQ(got.program, c.expected.program) << ToUtf8(c.command);
        EXPECT_EQ(got.parameters, c.expected.parameters) << ToUtf8(c.command);
        EXPECT_EQ(got.systemProgram, c.expected.systemProgram) << ToUtf8(c.command);
    }
    EXPECT_TRUE(IsExistingFile(program));
    EXPECT_FALSE(IsExistingFile(temp / L"Un Inst"));

    const std::wstring code = L"{4D445254-4553-5451-554F-5252414E4d53}";
    const auto msi = MsiUninstallCommand(code, sys);
    ASSERT_TRUE(msi);
    EXPECT_EQ(msi->program + L"|" + msi->parameters, sys + L"msiexec.exe|/x " + code);
    for (const wchar_t* notCode :
         {L"App", L"{4D445254}", L"4D445254-4553-5451-554F-5252414E4D53",
          L"{4D445254-4553-5451-554F-5252414E4D5G}", L"{4D445254+4553-5451-554F-5252414E4D53}"})
        EXPECT_FALSE(MsiUninstallCommand(notCode, sys)) << ToUtf8(notCode);
}

// A program named by bare name is found as Windows finds it: the folders in order, PATH, then
// App Paths; never the current folder.
TEST(QuorranSplit, BareNamesAreSearchedAsWindowsSearchesThem) {
    TempFolder temp;
    for (const wchar_t* folder : {L"app", L"sys", L"p1", L"p2", L"cwd", L"else"})
        CreateDirectoryW((temp / folder).c_str(), nullptr);
    for (const wchar_t* file :
         {L"app\\only.exe", L"sys\\tool.exe", L"p2\\tool.exe", L"p2\\late.exe", L"p1\\ext.com",
          L"cwd\\here.exe", L"else\\reg.exe"})
        ASSERT_TRUE(test::WriteFileBytes(temp / file, "MZ"));
    const std::wstring appPaths = L"Software\\MDRTestQuorranAppPaths";
    test::SetString(HKEY_CURRENT_USER, appPaths + L"\\reg.exe", L"", temp / L"else\\reg.exe");
    ScopeExit removeKey([&] { test::DeleteTree(HKEY_CURRENT_USER, appPaths); });
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW((temp / L"cwd").c_str());
    ScopeExit back([&] { SetCurrentDirectoryW(before); });
    const ProgramSearch where{
        {temp / L"app", temp / L"sys"}, temp / L"p1" + L";" + temp / L"p2", {{kHkcu, appPaths}}};
    const std::pair<std::wstring, std::wstring> cases[] = {{L"only", temp / L"app\\only.exe"},
                                                           {L"tool.exe", temp / L"sys\\tool.exe"},
                                                           {L"late", temp / L"p2\\late.exe"},
                                                           {L"ext.com", temp / L"p1\\ext.com"},
                                                           {L"reg", temp / L"else\\reg.exe"},
                                                           {L"here", L""},
                                                           {L"missing", L""},
                                                           {temp / L"app\\tool.exe", L""}};
    for (const auto& [name, found] : cases)
        EXPECT_EQ(SearchProgram(name, where), found) << ToUtf8(name);
    const UninstallCommand bare = SplitUninstallString(L"only /S", L"C:\\x\\", where);
    EXPECT_EQ(bare.program + L"|" + bare.parameters, temp / L"app\\only.exe|/S");
    EXPECT_TRUE(bare.found);
    EXPECT_FALSE(SplitUninstallString(L"here /S", L"C:\\x\\", where).found);
    const UninstallCommand cmd = SplitUninstallString(L"cmd /c exit", QuorranFolders().system);
    EXPECT_EQ(ToLower(cmd.program), ToLower(QuorranFolders().system + L"cmd.exe"));
}

// A value write refused half-way leaves neither the entry nor its temporary key, so a retry
// with the same identifier works.
TEST(QuorranAdd, AFailedWriteLeavesNoKeyBehind) {
    TempFolder temp;
    const std::wstring program = temp / L"u.exe";
    ASSERT_TRUE(test::WriteFileBytes(program, "MZ"));
    const std::wstring key = std::wstring(kUninstallRoot) + L"\\MDRTestQuorranAdd";
    ScopeExit removeKey([&] { test::DeleteTree(HKEY_LOCAL_MACHINE, key); });
    const NewUninstallEntry entry{L"MDRTestQuorranAdd", L"Added", L"", L"", L"", L"", program, L""};
    auto subkeys = [] {
        std::vector<std::wstring> names;
        test::RegTree tree;
        test::ReadRegTree(HKEY_LOCAL_MACHINE, kUninstallRoot, tree);
        for (const auto& [path, node] : tree.keys)
            names.push_back(path);
        return names;
    };
    const auto keysBefore = subkeys();
    int writes = 0;
    EXPECT_EQ(AddUninstallEntry(entry,
                                [&](HKEY, const wchar_t*, const std::wstring&) {
                                    return ++writes == 4 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
                                }),
              AddOutcome::KeyNotCreated);
    EXPECT_EQ(writes, 4);
    EXPECT_EQ(subkeys(), keysBefore);
    ASSERT_EQ(AddUninstallEntry(entry), AddOutcome::Added);
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, key, L"UninstallString"),
              L"\"" + program + L"\"");
}

// Runs a program of the Unix side of Wine (which makes no junctions) in folder, and waits until
// path exists (or no longer does). Wine hands back no handle that waits for a Unix program.
bool RunUnix(const std::wstring& program, std::wstring line, const std::wstring& folder,
             const std::wstring& path, bool exists) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return driver::WaitUntil([&] { return test::FolderExists(path) == exists; });
}

TEST(QuorranSize, WalkCountsFilesBelowAndStopsAtItsBounds) {
    TempFolder temp;
    CreateDirectoryW((temp / L"sub").c_str(), nullptr);
    ASSERT_TRUE(test::WriteFileBytes(temp / L"a.bin", std::string(1000, 'a')));
    ASSERT_TRUE(test::WriteFileBytes(temp / L"sub\\b.bin", std::string(2072, 'b')));
    int pauses = 0;
    FolderTotal total = FolderSize(temp.Path(), 10, [&] { ++pauses; });
    EXPECT_TRUE(total.complete);
    EXPECT_EQ(total.bytes, 3072);
    EXPECT_GE(pauses, 2) << "events are drained between folders";
    EXPECT_FALSE(FolderSize(temp.Path(), 1, nullptr).complete);

    // A link back to the top; Wine makes no junctions, so the link is made by ln. Wine shows it
    // as a plain folder, and the walk ends where the path stops resolving.
    const std::wstring loop = temp / L"sub\\loop";
    ASSERT_TRUE(RunUnix(L"Z:\\bin\\ln", L"ln -s .. loop", temp / L"sub", loop, true));
    EXPECT_GE(FolderSize(temp.Path(), kSizeWalkFileLimit, nullptr).bytes, 3072);
    EXPECT_TRUE(RunUnix(L"Z:\\bin\\rm", L"rm loop", temp / L"sub", loop, false));
}

TEST(QuorranRead, MissingProgramsStandOutAndARereadKeepsIdsAndIcons) {
    const std::wstring key = std::wstring(kUninstallRoot) + L"\\MDRTestQuorranModel";
    const std::pair<std::wstring, std::wstring> planted[] = {
        {L"Here", L"C:\\windows\\system32\\notepad.exe /uninstall"},
        {L"Gone", L"\"C:\\nowhere\\gone.exe\" /S"},
        {L"Zcmd", L"cmd /c exit"}};
    for (const auto& [name, uninstall] : planted) {
        test::SetString(HKEY_LOCAL_MACHINE, key + name, L"DisplayName", name);
        test::SetString(HKEY_LOCAL_MACHINE, key + name, L"UninstallString", uninstall);
    }
    ScopeExit removePlanted([&] {
        for (const auto& entry : planted)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (key + entry.first).c_str());
    });
    auto ours = [](const std::vector<UninstallEntry>& all) {
        std::vector<UninstallEntry> found;
        for (const UninstallEntry& e : all)
            if (e.keyPath.find(L"MDRTestQuorranModel") != std::wstring::npos) found.push_back(e);
        return found;
    };
    const auto first = ours(ReadUninstallEntries({}, nullptr));
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].name, L"Gone"); // enumeration order
    EXPECT_TRUE(first[0].programMissing);
    EXPECT_FALSE(first[0].icon);
    EXPECT_FALSE(first[1].programMissing);
    EXPECT_FALSE(first[2].programMissing) << "cmd, found where Windows finds it";
    EXPECT_EQ(first[2].scope, L"All users");
    ASSERT_TRUE(first[1].icon) << "notepad's icon, found through the command line";
    const auto second = ours(ReadUninstallEntries(first, nullptr));
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[1].id, first[1].id);
    EXPECT_EQ(second[1].icon, first[1].icon) << "kept, not extracted again";
}

// Through an explicit view (the 32-bit edition reads the 64-bit one on 64-bit Windows; 32-bit
// Windows ignores it) the backup and the deletion take the same key; one with a subkey gets
// neither.
TEST(QuorranDelete, BacksUpAndDeletesThroughTheEntrysView) {
    TempFolder temp;
    const std::wstring key = std::wstring(kUninstallRoot) + L"\\MDRTestQuorranView";
    test::SetString(HKEY_LOCAL_MACHINE, key + L"\\Sub", L"x", L"y");
    ScopeExit removeKey([&] { test::DeleteTree(HKEY_LOCAL_MACHINE, key); });
    UninstallEntry entry;
    entry.keyPath = key;
    entry.view = KEY_WOW64_64KEY;
    EXPECT_EQ(DeleteUninstallEntry(entry, temp.Path()).outcome, DeleteResult::NotDeleted);
    EXPECT_TRUE(test::FilesIn(temp.Path()).empty());
    test::DeleteTree(HKEY_LOCAL_MACHINE, key + L"\\Sub");
    const DeleteResult deleted = DeleteUninstallEntry(entry, temp.Path());
    EXPECT_EQ(deleted.outcome, DeleteResult::Deleted);
    EXPECT_EQ(test::FilesIn(temp.Path()).size(), 1u);
}

TEST(QuorranRead, ThirtyTwoBitProgramsEntriesAreListedToo) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit edition sees one view";
    const std::wstring key = std::wstring(kUninstall32Root) + L"\\MDRTestQuorran32";
    test::SetString(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"Thirty-two");
    test::SetString(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"C:\\nowhere\\u32.exe");
    ScopeExit removePlanted([&] { RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()); });
    const auto all = ReadUninstallEntries({}, nullptr);
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const UninstallEntry& e) {
        return e.keyPath == key && e.name == L"Thirty-two";
    }));
}

TEST(QuorranRun, WaitsUntilTheChildOfTheUninstallerHasEnded) {
    TempFolder temp;
    const std::wstring probe = temp / L"probe.exe";
    ASSERT_TRUE(CopyFileW((test::BuildDir() + L"tests\\quorran_uninstall_probe.exe").c_str(),
                          probe.c_str(), FALSE));
    // The child works until it is released, which happens once the first process has ended.
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kProbeRelease);
    ASSERT_TRUE(release);
    ScopeExit closeRelease([&] { CloseHandle(release); });
    int waits = 0;
    ASSERT_EQ(RunUninstaller({probe, L"/spawn", false},
                             [&](HANDLE h) {
                                 if (++waits > 1) SetEvent(release);
                                 return WaitForSingleObject(h, 30000) == WAIT_OBJECT_0;
                             }),
              0u);
    ResetEvent(release);
    EXPECT_GT(waits, 1) << "the job is watched, not only the first process";
    const std::string log =
        ToUtf8(L"\"" + probe + L"\" /spawn\r\n\"" + probe + L"\" /late\r\nlate done\r\n");
    EXPECT_EQ(test::ReadFileBytes(probe + L".log"), log);
    EXPECT_EQ(RunUninstaller({temp / L"missing.exe", L"", false}, [](HANDLE) { return true; }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Processes of the ignored image (the browser a farewell page opens) hold no wait.
    DeleteFileW((probe + L".log").c_str());
    waits = 0;
    ASSERT_EQ(RunUninstaller(
                  {probe, L"/spawn", false},
                  [&](HANDLE h) {
                      ++waits;
                      return WaitForSingleObject(h, 30000) == WAIT_OBJECT_0;
                  },
                  L"PROBE.exe"),
              0u);
    EXPECT_EQ(test::ReadFileBytes(probe + L".log").find("late done"), std::string::npos);
    SetEvent(release);
    EXPECT_TRUE(driver::WaitUntil([&] { return test::ReadFileBytes(probe + L".log") == log; }));
    ResetEvent(release);

    // An msiexec string runs the system folder's msiexec, which ends on an unknown product.
    const UninstallCommand msi = SplitUninstallString(
        L"MsiExec.exe /X{11111111-2222-3333-4444-555555555555} /qn", QuorranFolders().system);
    EXPECT_TRUE(IsExistingFile(msi.program)) << ToUtf8(msi.program);
    const ULONGLONG deadline = TickCount64() + 60000;
    EXPECT_EQ(RunUninstaller(msi,
                             [&](HANDLE h) {
                                 if (TickCount64() > deadline)
                                     throw std::runtime_error("msiexec did not end");
                                 WaitForSingleObject(h, 1000);
                                 return true;
                             }),
              0u);
}
} // namespace
} // namespace mdr
