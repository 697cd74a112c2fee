// Pellick driven from outside as a user would, with copies of a helper program that the tests
// start and end themselves: the rows and their refresh by identity, the modules and facts of a
// selected process, Kill, Kill and remove, the Run dialog and the export.
#include <shlobj.h>
#include <tlhelp32.h>
#include "tests/support/edition.h"
#include "tests/support/tool_fixture.h"

namespace mdr::driver {
namespace {
class PellickTest : public ToolTest {
  protected:
    PellickTest() : ToolTest(L"Pellick", L"MDR - Process manager (", 201) {}
    void CleanUp() override {
        for (const std::wstring& file : desktopFiles_)
            DeleteFileW(file.c_str());
        PurgeRecycledFiles(L"MDRTestPellick");
        // Programs the Run dialog and the tree helper started: ended by their own ids.
        UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
             more = Process32NextW(snapshot.get(), &entry)) {
            const std::wstring_view name(entry.szExeFile);
            if (!name.starts_with(L"MDRTestPellickRun") && !name.starts_with(L"MDRTestPellickTree"))
                continue;
            UniqueHandle p(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, 0, entry.th32ProcessID));
            if (p && TerminateProcess(p.get(), 0)) WaitForSingleObject(p.get(), 5000);
        }
    }
    // A copy of the helper at temp + relative path.
    std::wstring Helper(const std::wstring& relative) {
        const std::wstring exe = temp_ / relative;
        CreateDirectoryW(exe.substr(0, exe.find_last_of(L'\\')).c_str(), nullptr);
        EXPECT_TRUE(CopyFileW((BuildDir() + L"tests\\pellick_helper.exe").c_str(), exe.c_str(), 0));
        return exe;
    }
    Process& StartHelper(const std::wstring& exe, const std::wstring& startAs = L"",
                         const std::wstring& arguments = L"") {
        Process& p = Launch(startAs.empty() ? exe : startAs, arguments);
        EXPECT_TRUE(WaitUntil([&] { return FileExists(exe + L".show"); }));
        return p;
    }
    void StartPellick() {
        ASSERT_TRUE(StartTool());
        modules_ = FindDescendant(main_, L"SysListView32", 202);
        info_ = FindDescendant(main_, L"SysListView32", 203);
        ASSERT_TRUE(modules_ && info_);
    }
    int PidRow(DWORD pid) const { return RowNamed(std::to_wstring(pid), list_, 1); }
    std::wstring Cell(DWORD pid, size_t column) const {
        const auto rows = ReadListView(list_).rows;
        const int row = RowNamed(std::to_wstring(pid), list_, 1);
        return row < 0 || size_t(row) >= rows.size() ? L"" : rows[size_t(row)].cells.at(column);
    }
    bool WaitForRow(DWORD pid, bool present) {
        PressKey(list_, VK_F5);
        return WaitUntil([&] { return (PidRow(pid) >= 0) == present; });
    }

    // Answers the next question, whose text starts with start, with button.
    void AnswerStarting(const std::wstring& start, int button) {
        auto box = WaitForMessageBox(pid_, 30000);
        ASSERT_TRUE(box.has_value()) << "no message box; expected " << Narrow(start);
        EXPECT_TRUE(WaitUntil([&] { return !(box = ReadMessageBox(box->window))->text.empty(); }));
        EXPECT_TRUE(box->text.starts_with(start)) << Narrow(box->text);
        ASSERT_TRUE(PressButton(box->window, button));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); }));
    }
    size_t RowsOf(const std::wstring& exe) { return RowsStartingWith(exe).size(); }

    HWND modules_ = nullptr, info_ = nullptr;
    std::vector<std::wstring> desktopFiles_;
};

TEST_F(PellickTest, RowsFollowTheProcessesAndKillEndsTheRowsProcess) {
    const std::wstring a = Helper(L"Folder With Blanks\\MDRTestPellickA.exe");
    const std::wstring b = Helper(L"LongFolderName\\MDRTestPellickB.exe");
    wchar_t shortB[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(b.c_str(), shortB, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortB), b);
    Process& pa = StartHelper(a);
    Process& pb = StartHelper(b, shortB);
    StartPellick();
    ASSERT_TRUE(WaitForRow(pb.Pid(), true));
    auto row = [&](DWORD pid) { return ReadListView(list_).rows.at(size_t(PidRow(pid))); };
    EXPECT_EQ(row(pa.Pid()).cells[0], a);
    EXPECT_EQ(row(pb.Pid()).cells[0], b) << "the long form";

    // The selected process's modules (not its own file) and facts.
    ASSERT_TRUE(SelectListViewRow(list_, PidRow(pa.Pid())));
    EXPECT_TRUE(WaitUntil([&] {
        for (const auto& row : ReadListView(modules_).rows)
            if (row.cells[0].ends_with(L"\\msimg32.dll")) return true;
        return false;
    }));
    for (const auto& row : ReadListView(modules_).rows)
        EXPECT_NE(row.cells[0], a);
    const auto info = ReadListView(info_).rows;
    ASSERT_GE(info.size(), 4u);
    EXPECT_EQ(info[0].cells, (std::vector<std::wstring>{L"File name", L"MDRTestPellickA.exe"}));
    EXPECT_EQ(info[1].cells[1], temp_ / L"Folder With Blanks\\");

    // One ends, one starts: the count stays, the rows follow the processes.
    const LPARAM idA = row(pa.Pid()).data;
    pb.Kill();
    Process& pc = StartHelper(Helper(L"MDRTestPellickC.exe"));
    ASSERT_TRUE(WaitForRow(pc.Pid(), true));
    ASSERT_TRUE(WaitForRow(pb.Pid(), false));
    EXPECT_EQ(row(pa.Pid()).data, idA);
    EXPECT_TRUE(row(pa.Pid()).selected);

    // Kill: No keeps it, Yes ends exactly the row's process.
    ASSERT_TRUE(SelectListViewRow(list_, PidRow(pc.Pid())));
    const std::wstring question =
        L"Are you sure you want to kill the process named \"MDRTestPellickC.exe\", PID " +
        std::to_wstring(pc.Pid()) + L" ?\r\n\r\nWARNING! This may lead to system instability.";
    PressKey(list_, VK_DELETE);
    AnswerText(kConfirm, question, IDNO, main_);
    EXPECT_TRUE(pc.Running());
    PostCommand(main_, 100);
    AnswerText(kConfirm, question, IDYES, main_);
    AnswerText(L"Information", L"The process was killed successfully.", IDOK, main_);
    EXPECT_TRUE(pc.WaitExit());
    EXPECT_TRUE(pa.Running());
    EXPECT_LT(PidRow(pc.Pid()), 0);

    // The export: the helper's block with its modules, and the closing line.
    const std::string text = Export(4, L"Save process listing", true);
    EXPECT_TRUE(text.starts_with(std::string(69, '-') + "\r\nMDR Pellick Export\r\n"));
    EXPECT_NE(text.find("\r\n\r\nTotal detected processes: "), std::string::npos);
    wchar_t pid[8];
    swprintf(pid, 8, L"%5lu", pa.Pid());
    const std::string block = "PID: " + Narrow(pid) + "\r\nProcess image path: " + Narrow(a) +
                              "\r\nFile information\r\nFile name : MDRTestPellickA.exe\r\nPath : " +
                              Narrow(temp_ / L"Folder With Blanks\\") + "\r\nFile size : ";
    const size_t at = text.find(block);
    ASSERT_NE(at, std::string::npos);
    const size_t dll = text.find("\r\nLoaded modules\r\n", at);
    EXPECT_LT(dll, text.find("\\msimg32.dll (MD5: ", at));
    EXPECT_LT(text.find("\\msimg32.dll (MD5: ", at), text.find(std::string(69, '-'), at));
    EXPECT_TRUE(text.ends_with("\r\nEnd of listing\r\n"));
}

TEST_F(PellickTest, ColumnsShowProcessorShareMemoryParentWidthAndCommandLine) {
    Process& spin = StartHelper(Helper(L"MDRTestPellickSpin.exe"), L"", L"--spin");
    const std::wstring idleExe = Helper(L"MDRTestPellickIdle.exe");
    Process& idle = StartHelper(idleExe, L"", L"--mdr \"x y\"");
    Process& alloc = StartHelper(Helper(L"MDRTestPellickAlloc.exe"), L"", L"--alloc");
    StartPellick();
    PostCommand(main_, 53); // twice a second
    // Each refresh counts itself in a property of the main window: three more take about 1.5 s
    // at this speed (4.5 s at the normal one), with room for a loaded machine.
    auto count = [&] { return reinterpret_cast<ULONG_PTR>(GetPropW(main_, L"MDRRefreshCount")); };
    const ULONG_PTR first = count() + 1;
    ASSERT_TRUE(WaitUntil([&] { return count() >= first; }));
    const ULONGLONG start = TickCount64();
    ASSERT_TRUE(WaitUntil([&] { return count() >= first + 3; }));
    EXPECT_GE(TickCount64() - start, 1300u);
    EXPECT_LE(TickCount64() - start, 4000u);
    ASSERT_TRUE(WaitForRow(alloc.Pid(), true));
    auto cpu = [&](DWORD pid, bool busy) {
        const std::wstring text = Cell(pid, 3);
        // Busy: above 1% (a whole core only on a quiet machine); idle: below 1%.
        return !text.empty() && (busy ? _wtof(text.c_str()) > 1 : _wtof(text.c_str()) < 1);
    };
    EXPECT_TRUE(WaitUntil([&] { return cpu(spin.Pid(), true); }, 20000))
        << Narrow(Cell(spin.Pid(), 3));
    EXPECT_TRUE(WaitUntil([&] { return cpu(idle.Pid(), false); })) << Narrow(Cell(idle.Pid(), 3));
    std::wstring privateMemory = Cell(alloc.Pid(), 4); // "51,234 K"
    std::erase(privateMemory, L',');
    EXPECT_GE(_wtoi(privateMemory.c_str()), 50000) << Narrow(privateMemory);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(Cell(idle.Pid(), 5), std::wstring(wcsrchr(self, L'\\') + 1) + L" (" +
                                       std::to_wstring(GetCurrentProcessId()) + L")");
    EXPECT_EQ(Cell(idle.Pid(), 6), sizeof(void*) == 8 ? L"64" : L"32");
    EXPECT_EQ(Cell(idle.Pid(), 7), L"\"" + idleExe + L"\" --mdr \"x y\"");
}

TEST_F(PellickTest, EndingOneOrSeveralProcessesOrATreeAndTheTreeView) {
    const std::wstring tree = Helper(L"MDRTestPellickTree.exe");
    Process& root = StartHelper(tree, L"", L"--tree");
    Process& other = StartHelper(Helper(L"MDRTestPellickOther.exe"));
    Process& a = StartHelper(Helper(L"MDRTestPellickMultiA.exe"));
    Process& b = StartHelper(Helper(L"MDRTestPellickMultiB.exe"));
    Process& polite = StartHelper(Helper(L"MDRTestPellickPolite.exe"), L"", L"--window");
    Process& stubborn = StartHelper(Helper(L"MDRTestPellickStubborn.exe"), L"", L"--stubborn");
    StartPellick();
    PressKey(list_, VK_F5);
    ASSERT_TRUE(WaitUntil([&] { return RowsOf(tree) == 4; })) << RowsOf(tree);

    // Several selected rows: one question, each ended, one report; nothing else.
    SetItemText(main_, 902, L"MDRTestPellickMulti");
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 2; }));
    PostCommand(main_, 81);
    ASSERT_TRUE(WaitUntil([&] { return ReadListView(list_).rows[1].selected; }));
    PostCommand(main_, 1);
    AnswerStarting(L"Kill these 2 processes?\r\n\r\nMDRTestPellickMulti", IDYES);
    AnswerText(L"Information", L"Killed 2 of 2 processes.", IDOK, main_);
    EXPECT_TRUE(a.WaitExit() && b.WaitExit());
    PressKey(GetDlgItem(main_, 902), VK_ESCAPE);

    // The tree view, kept for the next run: each process under the one that started it.
    PostCommand(main_, 72);
    std::vector<std::wstring> texts; // from the root's row on
    auto nested = [&] {
        const auto rows = ReadListView(list_).rows;
        texts.clear();
        for (int r = PidRow(root.Pid()); r >= 0 && size_t(r) < rows.size() && texts.size() < 4; ++r)
            texts.push_back(rows[size_t(r)].cells[0]);
        // The root is itself nested under this test's process.
        const std::wstring top = L"    " + tree, one = L"    " + top, two = L"    " + one;
        return texts == std::vector{top, one, two, one} || texts == std::vector{top, one, one, two};
    };
    EXPECT_TRUE(WaitUntil(nested)) << testing::PrintToString(texts);
    EXPECT_EQ(LoadIni(layoutFile_).GetString(L"Pellick", L"TreeView"), L"1");
    PostCommand(main_, 72);
    ASSERT_TRUE(WaitUntil([&] { return RowsOf(tree) == 4; }));

    // Kill tree: the root, its two children and a grandchild, and not the unrelated helper.
    ASSERT_TRUE(WaitUntil([&] { return SelectListViewRow(list_, PidRow(root.Pid())); }));
    PostCommand(main_, 71);
    const std::wstring pid = std::to_wstring(root.Pid());
    AnswerStarting(L"Kill the process named \"MDRTestPellickTree.exe\", PID " + pid +
                       L" and every process it started, 4 processes in all?\r\n\r\n"
                       L"MDRTestPellickTree.exe, PID " +
                       pid + L"\r\n",
                   IDYES);
    AnswerText(L"Information", L"Killed 4 of 4 processes.", IDOK, main_);
    EXPECT_TRUE(root.WaitExit());
    PressKey(list_, VK_F5);
    EXPECT_TRUE(WaitUntil([&] { return RowsOf(tree) == 0; })) << RowsOf(tree);
    EXPECT_TRUE(other.Running());

    // Close: a program that closes on its own, and Kill offered after 5 s for one that does not.
    ASSERT_TRUE(WaitUntil([&] { return SelectListViewRow(list_, PidRow(polite.Pid())); }));
    PostCommand(main_, 70);
    AnswerText(L"Information", L"Ended 1 of 1 processes.", IDOK, main_);
    EXPECT_TRUE(polite.WaitExit());
    ASSERT_TRUE(WaitUntil([&] { return SelectListViewRow(list_, PidRow(stubborn.Pid())); }));
    const ULONGLONG asked = TickCount64();
    PostCommand(main_, 70);
    AnswerStarting(L"Still running 5 seconds after being asked to close", IDYES);
    EXPECT_GE(TickCount64() - asked, 5000u);
    AnswerText(L"Information", L"Ended 1 of 1 processes.", IDOK, main_);
    EXPECT_TRUE(stubborn.WaitExit());
}

// Under Wine made the edition's floor, where QueryFullProcessImageNameW is missing: a process
// whose memory cannot be read yet (started suspended) is named from the kernel's device path.
TEST_F(PellickTest, OnItsFloorAProcessNotYetReadableIsNamedFromItsDevicePath) {
    const std::wstring exe = Helper(L"MDRTestPellickXp.exe");
    const WineVersion floor(L"Pellick.exe", test::kWineFloor, temp_ / L"trace.txt");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &started));
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    const ScopeExit end([&] { TerminateProcess(process.get(), 0); });
    StartPellick();
    ASSERT_TRUE(WaitForRow(started.dwProcessId, true));
    EXPECT_EQ(ReadListView(list_).rows.at(size_t(PidRow(started.dwProcessId))).cells[0], exe);
    EXPECT_NE(ReadFileBytes(temp_ / L"trace.txt")
                  .find("Pellick.exe: QueryFullProcessImageNameW: fallback\r\n"),
              std::string::npos);
}

TEST_F(PellickTest, KillAndRemoveLeavesACheckedCopyBesideTheUsersOwnFile) {
    const std::wstring exe = Helper(L"MDRTestPellickR.exe");
    Process& helper = StartHelper(exe);
    wchar_t folder[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder), S_OK);
    const std::wstring desktop = std::wstring(folder) + L"\\";
    desktopFiles_ = {desktop + L"MDRTestPellickR.exe", desktop + L"MDRTestPellickR (2).exe",
                     desktop + L"MDRTestPellickR.exe.txt"};
    ASSERT_TRUE(WriteFileBytes(desktopFiles_[0], "the user's own"));
    const std::string bytes = ReadFileBytes(exe);
    StartPellick();
    ASSERT_TRUE(WaitForRow(helper.Pid(), true));
    ASSERT_TRUE(SelectListViewRow(list_, PidRow(helper.Pid())));
    PostCommand(main_, 101);
    AnswerText(kConfirm,
               L"Are you sure you want to kill the process with the PID " +
                   std::to_wstring(helper.Pid()) +
                   L" then delete the following binary image file: \r\n\r\n\"" + exe + L"\" ?" +
                   L"\r\n\r\nWARNING! This may lead to system instability. If you delete a "
                   L"legitimate system file, there is a chance the system WILL NOT EVEN BOOT."
                   L"\r\n\r\nUse this with extreme caution. The author of this tool cannot be "
                   L"held responsible for your actions!\r\n\r\nPress 'Yes' to continue and kill "
                   L"the file and remove it or 'No' to close this dialog.",
               IDYES, main_);
    AnswerText(L"OK",
               L"The process was killed successfully and the file was moved to the Recycle Bin. "
               L"A checked copy of it is on your desktop:\r\n" +
                   desktopFiles_[1] +
                   L"\r\nIf you have problems, you can copy the file back to the original "
                   L"location.",
               IDOK, main_);
    EXPECT_TRUE(helper.WaitExit());
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(ReadFileBytes(desktopFiles_[1]), bytes);
    EXPECT_EQ(ReadFileBytes(desktopFiles_[0]), "the user's own");
}

TEST_F(PellickTest, RunStartsProgramsShownOrHiddenAndRefusesAnEmptyPath) {
    StartPellick();
    struct Case {
        const wchar_t* name;
        bool hidden;
        const char* show; // what the program was asked to do with its window
    };
    for (const Case& c : {Case{L"MDRTestPellickRunShown.exe", false, "1"},
                          Case{L"MDRTestPellickRunHidden.exe", true, "0"}}) {
        const std::wstring exe = Helper(c.name);
        HWND dialog = OpenDialog(0, L"Run new program");
        ASSERT_TRUE(dialog);
        if (!c.hidden) {
            SetItemText(dialog, 51, L"   ");
            PressButton(dialog, 55);
            AnswerText(L"Information", L"Please enter a valid path first.", IDOK);
        }
        SetItemText(dialog, 51, exe);
        if (c.hidden) Send(GetDlgItem(dialog, 52), BM_SETCHECK, BST_CHECKED);
        PressButton(dialog, 55);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && IsWindowEnabled(main_); }));
        EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(exe + L".show") == c.show; }))
            << ReadFileBytes(exe + L".show");
    }
}
} // namespace
} // namespace mdr::driver
