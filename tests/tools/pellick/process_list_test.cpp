// Pellick's model: the path and column texts, then real processes (copies of a helper program
// started here and ended here, by their own ids) and real files.
#include <windows.h>
#include <sddl.h>
#include <algorithm>
#include <cstring>
#include <map>
#include "common/text.h"
#include "tests/support/driver.h"
#include "tools/pellick/process_list.h"

namespace mdr {
namespace {
using driver::Process;
using test::TempFolder;

std::wstring KnownLongForm(const std::wstring& path) {
    return path == L"C:\\PROGRA~1\\Tool\\a.exe" ? L"C:\\Program Files\\Tool\\a.exe" : L"";
}

TEST(ProcessTextTest, PathsAreNormalised) {
    for (const auto& [name, expected] :
         {std::pair{L"\\??\\C:\\Windows\\system32\\csrss.exe", L"C:\\Windows\\system32\\csrss.exe"},
          {L"\\SystemRoot\\System32\\smss.exe", L"C:\\WINDOWS\\System32\\smss.exe"},
          {L"\\??\\\\systemroot\\x.sys", L"C:\\WINDOWS\\x.sys"},
          {L"C:\\PROGRA~1\\Tool\\a.exe", L"C:\\Program Files\\Tool\\a.exe"},
          {L"C:\\GONE~1\\b.exe", L"C:\\GONE~1\\b.exe"}, // no long form: kept
          {L"C:\\plain\\c.exe", L"C:\\plain\\c.exe"}})
        EXPECT_EQ(NormaliseProcessPath(name, L"C:\\WINDOWS\\", KnownLongForm), expected)
            << ToUtf8(name);
}

TEST(ProcessTextTest, DevicePathsGetTheirDrive) {
    const std::vector<std::pair<std::wstring, std::wstring>> devices = {
        {L"C:", L"\\Device\\HarddiskVolume1"}, {L"D:", L"\\Device\\HarddiskVolume10"}};
    // clang-format off
    for (const auto& [path, expected] : {std::pair{L"\\Device\\HarddiskVolume1\\a.exe", L"C:\\a.exe"},
             {L"\\Device\\HarddiskVolume10\\b", L"D:\\b"}, {L"\\device\\harddiskvolume1\\c", L"C:\\c"},
             {L"\\Device\\HarddiskVolume2\\d", L"\\Device\\HarddiskVolume2\\d"}, {L"\\??\\C:\\e", L"\\??\\C:\\e"}})
        // clang-format on
        EXPECT_EQ(DrivePathOf(path, devices), expected) << ToUtf8(path);
}

TEST(ProcessTextTest, MemoryAndPidTexts) {
    EXPECT_EQ(MemText(0), L"0K");
    EXPECT_EQ(MemText(1023), L"0K");
    EXPECT_EQ(MemText(1536), L"1K");
    EXPECT_EQ(MemText(10485760), L"10240K");
    EXPECT_EQ(PaddedPid(4), L"    4");
    EXPECT_EQ(PaddedPid(412), L"  412");
    EXPECT_EQ(PaddedPid(65535), L"65535");
    EXPECT_EQ(PaddedPid(123456), L"123456");
}

TEST(ProcessFactsTest, CpuShareBetweenTwoSamples) {
    struct Case {
        CpuSample before, now;
        unsigned processors;
        const wchar_t* expected;
    };
    // 10,000,000 units of 100 ns are one second.
    for (const Case& c : {Case{{0, 0}, {5, 10'000'000}, 1, L""}, // the first refresh
                          {{100, 1}, {100, 10'000'001}, 1, L"0.0"},
                          {{0, 1}, {10'000'000, 10'000'001}, 4, L"25.0"},
                          {{0, 1}, {1'234'000, 10'000'001}, 2, L"6.2"},
                          {{0, 1}, {30'000'000, 10'000'001}, 2, L"100.0"}, // rounding of times
                          {{50, 1}, {0, 0}, 1, L""},                       // it ended
                          {{0, 20'000'000}, {5, 10'000'000}, 1, L""},      // the clock went back
                          {{9, 1}, {5, 10'000'001}, 1, L""}})
        EXPECT_EQ(CpuText(c.before, c.now, c.processors), c.expected) << ToUtf8(c.expected);
    EXPECT_EQ(PrivateMemoryText(999 * 1024 + 1023), L"999 K");
    EXPECT_EQ(PrivateMemoryText(1234567ull * 1024), L"1,234,567 K");
}

TEST(ProcessFactsTest, AParentStartedNoLaterThanItsChildAndTheTreeItMakes) {
    // pid, parent pid, start time
    const std::vector<Lineage> processes = {
        {10, 0, 100},  // 0: top
        {20, 10, 200}, // 1: child of 10
        {30, 20, 300}, // 2: grandchild
        {40, 50, 150}, // 3: its parent 50 ended; 50 now names a younger process
        {50, 10, 400}, // 4: child of 10, not parent of 40
        {60, 10, 0},   // 5: start unknown: no parent
        {70, 70, 500}, // 6: names itself
        {80, 10, 200}, // 7: same start as its parent's sibling: child of 10
        {90, 99, 100}, // 8: parent gone
    };
    const std::vector<int> parents = ParentIndexes(processes);
    EXPECT_EQ(parents, (std::vector<int>{-1, 0, 1, -1, 0, -1, -1, 0, -1}));

    // Siblings by pid descending: the tree keeps that order within each level.
    const std::vector<size_t> order = {8, 7, 6, 5, 4, 3, 2, 1, 0};
    std::vector<std::pair<size_t, int>> rows;
    for (const TreeRow& row : TreeOrder(parents, order))
        rows.emplace_back(row.index, row.depth);
    EXPECT_EQ(rows, (std::vector<std::pair<size_t, int>>{
                        {8, 0}, {6, 0}, {5, 0}, {3, 0}, {0, 0}, {7, 1}, {4, 1}, {1, 1}, {2, 2}}));

    EXPECT_EQ(TreeChildrenFirst(parents, 0), (std::vector<size_t>{7, 4, 2, 1, 0}));
    EXPECT_EQ(TreeChildrenFirst(parents, 1), (std::vector<size_t>{2, 1}));
}

TEST(ProcessFactsTest, TheCommandLineIsReadFromTheParameterBlock) {
    // A fake address space: the environment block at 0x1000, its parameters at 0x2000, the text
    // at 0x3000, laid out as each width has it.
    const std::wstring line = L"\"C:\\x y\\a.exe\" --mdr \"x y\"";
    for (const PebLayout& layout : {kPeb32, kPeb64}) {
        std::map<uint64_t, std::string> memory;
        auto put = [&](uint64_t at, uint64_t value, size_t size) {
            memory[at] = std::string(reinterpret_cast<const char*>(&value), size);
        };
        put(0x1000 + layout.parameters, 0x2000, layout.pointer);
        put(0x2000 + layout.commandLine, line.size() * 2, 2);
        put(0x2000 + layout.commandLine + layout.pointer, 0x3000, layout.pointer);
        memory[0x3000] = std::string(reinterpret_cast<const char*>(line.data()), line.size() * 2);
        const MemoryReader read = [&](uint64_t at, void* into, size_t size) {
            const auto found = memory.find(at);
            if (found == memory.end() || found->second.size() != size) return false;
            memcpy(into, found->second.data(), size);
            return true;
        };
        EXPECT_EQ(CommandLineAt(0x1000, layout, read), line);
        EXPECT_EQ(CommandLineAt(0x1008, layout, read), std::nullopt) << "unreadable";
    }
}

class ProcessModelTest : public ::testing::Test {
  protected:
    // A copy of the helper at temp + relative path, started and seen ready.
    Process StartHelper(const std::wstring& relative) {
        const std::wstring exe = temp_ / relative;
        CreateDirectoryW(exe.substr(0, exe.find_last_of(L'\\')).c_str(), nullptr);
        EXPECT_TRUE(
            CopyFileW((test::BuildDir() + L"tests\\pellick_helper.exe").c_str(), exe.c_str(), 0));
        Process p = Process::Start(exe);
        EXPECT_TRUE(driver::WaitUntil([&] { return test::FileExists(exe + L".show"); }));
        return p;
    }
    static const ProcessRecord* Find(const std::vector<ProcessRecord>& records, DWORD pid) {
        auto it = std::find_if(records.begin(), records.end(),
                               [&](const ProcessRecord& r) { return r.pid == pid; });
        return it == records.end() ? nullptr : &*it;
    }
    void TearDown() override { test::PurgeRecycledFiles(L"MDRTestPellick"); }
    TempFolder temp_;
};

TEST_F(ProcessModelTest, KillEndsOnlyTheProcessTheRecordStandsFor) {
    Process helper = StartHelper(L"MDRTestPellickKill.exe");
    Process ended = StartHelper(L"MDRTestPellickEnded.exe");
    const std::vector<ProcessRecord> records = EnumerateProcesses({});
    ASSERT_TRUE(Find(records, helper.Pid()) && Find(records, ended.Pid()));
    const ProcessRecord record = *Find(records, helper.Pid());

    // The id now belongs to another program, or to a process made after the listing.
    ProcessRecord other = record;
    other.path = temp_ / L"Something else.exe";
    EXPECT_EQ(KillProcess(other), KillOutcome::Gone);
    ProcessRecord older = record;
    older.listedAt = 1;
    EXPECT_EQ(KillProcess(older), KillOutcome::Gone);
    EXPECT_TRUE(helper.Running());
    // A process that ended on its own.
    const ProcessRecord endedRecord = *Find(records, ended.Pid());
    ended.Kill();
    EXPECT_EQ(KillProcess(endedRecord), KillOutcome::Gone);

    EXPECT_EQ(KillProcess(record), KillOutcome::Killed);
    EXPECT_FALSE(helper.Running());
}

TEST_F(ProcessModelTest, RemovalKeepsACheckedCopyOnTheDesktopAndOverwritesNothing) {
    const std::wstring desktop = temp_ / L"Desktop\\";
    CreateDirectoryW(desktop.c_str(), nullptr);
    const std::wstring file = temp_ / L"MDRTestPellickProg.exe";
    const std::string bytes(3000, 'p');
    ASSERT_TRUE(test::WriteFileBytes(file, bytes));
    ASSERT_TRUE(test::WriteFileBytes(desktop + L"MDRTestPellickProg.exe", "older"));

    RemoveOutcome out = BackUpAndRemoveFile(file, desktop, L"2026/01/02 at 03:04:05");
    EXPECT_EQ(out.kind, RemoveOutcome::Removed);
    EXPECT_EQ(out.copy, desktop + L"MDRTestPellickProg (2).exe");
    EXPECT_EQ(test::ReadFileBytes(out.copy), bytes);
    EXPECT_EQ(test::ReadFileBytes(desktop + L"MDRTestPellickProg.exe"), "older");
    EXPECT_EQ(out.note, desktop + L"MDRTestPellickProg.exe.txt");
    EXPECT_EQ(test::ReadFileBytes(out.note),
              "MDR Pellick - file backup\r\nDate: 2026/01/02 at 03:04:05\r\n\r\nOriginal file: " +
                  ToUtf8(file) + "\r\nBackup file: " + ToUtf8(out.copy) +
                  "\r\n\r\nIf your system becomes unstable copy the file back to its original "
                  "location.\r\n");
    EXPECT_FALSE(test::FileExists(file));
    EXPECT_EQ(test::PurgeRecycledFiles(L"MDRTestPellickProg"), 1) << "not in the Recycle Bin";

    // Held open by another program: copied, not removed; the next free names are used.
    ASSERT_TRUE(test::WriteFileBytes(file, bytes));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    out = BackUpAndRemoveFile(file, desktop, L"d");
    CloseHandle(held);
    EXPECT_EQ(out.kind, RemoveOutcome::NotDeleted);
    EXPECT_EQ(out.copy, desktop + L"MDRTestPellickProg (3).exe");
    EXPECT_EQ(out.note, desktop + L"MDRTestPellickProg.exe (2).txt");
    EXPECT_EQ(test::ReadFileBytes(out.copy), bytes);
    EXPECT_TRUE(test::FileExists(file));

    // No copy can be made: the file stays.
    out = BackUpAndRemoveFile(file, temp_ / L"No such folder\\", L"d");
    EXPECT_EQ(out.kind, RemoveOutcome::CopyFailed);
    EXPECT_EQ(out.copy, temp_ / L"No such folder\\MDRTestPellickProg.exe");
    EXPECT_EQ(test::ReadFileBytes(file), bytes);
}

TEST_F(ProcessModelTest, AProcessThatMayNotBeEndedIsReportedSo) {
    // Everyone is denied the right to end it; the handle made with it keeps every right.
    const std::wstring exe = temp_ / L"MDRTestPellickGuarded.exe";
    ASSERT_TRUE(
        CopyFileW((test::BuildDir() + L"tests\\pellick_helper.exe").c_str(), exe.c_str(), 0));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;0x1;;;WD)(A;;0x1fffff;;;WD)", SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES guarded{sizeof(guarded), sd, FALSE};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring line = L"\"" + exe + L"\"";
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), &guarded, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    LocalFree(sd);
    ScopeExit end([&] {
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    });
    ASSERT_TRUE(driver::WaitUntil([&] { return test::FileExists(exe + L".show"); }));
    const std::vector<ProcessRecord> records = EnumerateProcesses({});
    ASSERT_TRUE(Find(records, info.dwProcessId));
    EXPECT_EQ(KillProcess(*Find(records, info.dwProcessId)), KillOutcome::Denied);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}
} // namespace
} // namespace mdr
