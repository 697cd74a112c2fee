// Quorran driven from outside as a user would, on entries planted under the machine's and the
// user's real uninstall keys: the listing, its scopes and hidden entries and its refresh by
// identity, uninstalling through a stand-in uninstaller (and stopping the wait for it),
// deleting with a backup that the registry editor brings back, the Add dialog and the export.
#include <algorithm>

#include "tests/support/tool_fixture.h"
#include "tests/tools/quorran/uninstall_probe.h"

namespace mdr::driver {
namespace {
constexpr wchar_t kRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kPrefix[] = L"MDRTestQuorran";
constexpr wchar_t kProductCode[] = L"{4D445254-4553-5451-554F-5252414E4D53}";

std::wstring Name(const wchar_t* name) {
    return kPrefix + std::wstring(name);
}
std::wstring Key(const wchar_t* name) {
    return kRoot + Name(name);
}

class QuorranTest : public ToolTest {
  protected:
    QuorranTest() : ToolTest(L"Quorran", L"MDR - Uninstall manager (") {}
    void SetUp() override {
        ToolTest::SetUp();
        for (const wchar_t* folder : {L"Un Inst", L"App"})
            CreateDirectoryW((temp_ / folder).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW((BuildDir() + L"tests\\quorran_uninstall_probe.exe").c_str(),
                              probe_.c_str(), FALSE));
    }
    void CleanUp() override {
        for (const wchar_t* name :
             {L"NoName", L"NoUninst", L"Date", L"Slash", L"Tail",  L"Quoted", L"Bare", L"Gone",
              L"Del",    L"Sub",      L"New",  L"Lying", L"Drive", L"S1",     L"S2",   L"S3",
              L"S4",     L"S5",       L"Sys",  L"Upd",   L"Prot",  L"Cmd"})
            DeleteTree(HKEY_LOCAL_MACHINE, Key(name));
        DeleteTree(HKEY_LOCAL_MACHINE, kRoot + std::wstring(kProductCode));
        DeleteTree(HKEY_CURRENT_USER, Key(L"User"));
    }
    // An entry whose display name is its key name, with its uninstall string and more values.
    void Plant(const wchar_t* name, const std::wstring& uninstall,
               std::initializer_list<std::pair<const wchar_t*, std::wstring>> more = {}) {
        SetString(HKEY_LOCAL_MACHINE, Key(name), L"DisplayName", Name(name));
        SetString(HKEY_LOCAL_MACHINE, Key(name), L"UninstallString", uninstall);
        for (const auto& [value, data] : more)
            SetString(HKEY_LOCAL_MACHINE, Key(name), value, data);
    }
    int Row(const wchar_t* name) const { return RowNamed(Name(name)); }
    // Selects the entry and starts command on it, answering the question.
    void RunOn(const wchar_t* name, int command, const std::wstring& question, int answer = IDYES) {
        ASSERT_TRUE(Select(Name(name)));
        PostCommand(main_, command);
        AnswerText(kConfirm, question, answer, main_);
    }
    static std::wstring Uninstall(const wchar_t* name) {
        return L"Are you sure you want to uninstall " + Name(name) + L" ?";
    }
    // Lets the probe's late copy finish, waits until it has, and makes the next copy wait again.
    void ReleaseProbe() {
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kProbeRelease);
        ASSERT_TRUE(release);
        SetEvent(release);
        EXPECT_TRUE(WaitUntil([&] { return Log().find(L"late done") != std::wstring::npos; }));
        ResetEvent(release);
        CloseHandle(release);
    }
    // The entry's row and key are gone; importing the one backup brings the key back as before.
    void ExpectGoneAndRestored(HKEY root, const wchar_t* name, const RegTree& before) {
        ASSERT_TRUE(WaitUntil([&] { return Row(name) < 0; }));
        EXPECT_FALSE(KeyExists(root, Key(name)));
        RestoreTheBackup();
        RegTree after;
        ASSERT_TRUE(ReadRegTree(root, Key(name), after));
        EXPECT_TRUE(after == before) << "the backup brings the key back byte for byte";
    }
    std::wstring Log() const {
        const std::string bytes = ReadFileBytes(probe_ + L".log");
        return std::wstring(bytes.begin(), bytes.end());
    }

    std::wstring probe_ = temp_ / L"Un Inst\\uninst probe.exe";
};

TEST_F(QuorranTest, ListsEntriesRefreshesByKeyAndExports) {
    SetString(HKEY_LOCAL_MACHINE, Key(L"NoName"), L"UninstallString", L"C:\\x.exe");
    SetString(HKEY_LOCAL_MACHINE, Key(L"NoUninst"), L"DisplayName", Name(L"NoUninst"));
    Plant(
        L"Date", L"C:\\nowhere\\u.exe /S",
        {{L"Publisher", L"Veltrane"}, {L"DisplayVersion", L"1.2"}, {L"InstallDate", L"20090517"}});
    SetDword(HKEY_LOCAL_MACHINE, Key(L"Date"), L"EstimatedSize", 2048);
    WriteFileBytes(temp_ / L"App\\a.bin", std::string(3072, 'a'));
    Plant(L"Slash", probe_,
          {{L"InstallDate", L"17/05/2009"}, {L"InstallLocation", temp_ / L"App"}});
    SetString(HKEY_CURRENT_USER, Key(L"User"), L"DisplayName", Name(L"User"));
    SetString(HKEY_CURRENT_USER, Key(L"User"), L"UninstallString", probe_);
    ASSERT_TRUE(StartTool());

    const auto ours = RowsStartingWith(kPrefix);
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_EQ(ours[0].cells,
              (std::vector<std::wstring>{Name(L"Date"), L"Veltrane", L"1.2", L"2009/05/17",
                                         L"2.00 MB (registry)", L"C:\\nowhere\\u.exe /S",
                                         L"All users", L""}));
    EXPECT_EQ(ours[1].cells, (std::vector<std::wstring>{
                                 Name(L"Slash"), L"Not available", L"Not reported", L"17/05/2009",
                                 L"3.00 KB (measured)", probe_, L"All users", L""}));
    EXPECT_EQ(ours[2].cells[6], L"This user");
    const std::wstring count = std::to_wstring(ListViewCount(list_));
    EXPECT_EQ(GetText(main_), L"MDR - Uninstall manager (" + count + L" entries found)");
    EXPECT_TRUE(ReadStatusBarPart(status_, 0).starts_with(count + L" programs, "));

    // The entry before the selected one goes and one comes after it: the selected row keeps its
    // record, its id and its selection though its index changes.
    ASSERT_TRUE(Select(Name(L"Slash")));
    DeleteTree(HKEY_LOCAL_MACHINE, Key(L"Date"));
    Plant(L"Tail", L"C:\\nowhere\\a.exe");
    PressKey(list_, VK_F5);
    ASSERT_TRUE(WaitUntil([&] { return Row(L"Tail") >= 0 && Row(L"Date") < 0; }));
    const ListViewRow slash = RowOf(Name(L"Slash"));
    EXPECT_EQ(slash.data, ours[1].data);
    EXPECT_TRUE(slash.selected);
    EXPECT_NE(RowOf(Name(L"Tail")).data, ours[0].data);

    const std::string text = Export(4, L"Save uninstall listing");
    EXPECT_TRUE(text.starts_with(std::string(69, '-') + "\r\nMDR Quorran Export\r\n"));
    EXPECT_NE(text.find("\r\n\r\nTotal detected entries: " + Narrow(count) + "\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("\r\n\r\nName: " + Narrow(Name(L"Slash")) +
                  "\r\nCompany: Not available\r\nVersion: Not reported\r\n"
                  "InstallationDate: 17/05/2009\r\nSize: 3.00 KB (measured)\r\nUninstallString: " +
                  Narrow(probe_) + "\r\nScope: All users\r\n\r\n"),
        std::string::npos);
}

// A header click sorts by size, by value; a refresh that adds an entry keeps the sort and the
// selected row's id. The filter shows exactly the matching rows, and Delete on several of them
// touches only those.
TEST_F(QuorranTest, SortsByValueFiltersAndDeletesOnlyWhatIsShown) {
    for (auto [name, kb] : {std::pair{L"S1", 2048u}, {L"S2", 1u}, {L"S3", 0u}, {L"S4", 900u}}) {
        Plant(name, probe_);
        if (kb) SetDword(HKEY_LOCAL_MACHINE, Key(name), L"EstimatedSize", kb);
    }
    ASSERT_TRUE(StartTool());
    auto sizes = [&] {
        std::wstring order;
        for (const ListViewRow& row : RowsStartingWith(kPrefix))
            order += row.cells[0].substr(wcslen(kPrefix)) + L" ";
        return order;
    };
    // Wide enough that the size column's header is on screen.
    ASSERT_TRUE(SetWindowPos(main_, nullptr, 0, 0, 1000, 500, SWP_NOZORDER | SWP_NOMOVE));
    ClickHeader(4);
    EXPECT_TRUE(WaitUntil([&] { return sizes() == L"S2 S4 S1 S3 "; })) << Narrow(sizes());
    ClickHeader(4);
    EXPECT_TRUE(WaitUntil([&] { return sizes() == L"S1 S4 S2 S3 "; })) << Narrow(sizes());
    ASSERT_TRUE(Select(Name(L"S4")));
    const LPARAM id = RowOf(Name(L"S4")).data;
    Plant(L"S5", probe_);
    SetDword(HKEY_LOCAL_MACHINE, Key(L"S5"), L"EstimatedSize", 1024);
    PressKey(list_, VK_F5);
    EXPECT_TRUE(WaitUntil([&] { return sizes() == L"S1 S5 S4 S2 S3 "; })) << Narrow(sizes());
    EXPECT_EQ(RowOf(Name(L"S4")).data, id);
    EXPECT_TRUE(RowOf(Name(L"S4")).selected);

    // The filter: exactly the matching rows, and the status says so.
    SetString(HKEY_LOCAL_MACHINE, Key(L"S2"), L"Publisher", L"Veltrane Doomed");
    SetString(HKEY_LOCAL_MACHINE, Key(L"S4"), L"Publisher", L"Veltrane Doomed");
    PressKey(list_, VK_F5);
    SetItemText(main_, 902, L"veltrane doomed");
    ASSERT_TRUE(WaitUntil([&] { return sizes() == L"S4 S2 " && ListViewCount(list_) == 2; }))
        << Narrow(sizes());
    EXPECT_TRUE(ReadStatusBarPart(status_, 0).starts_with(L"2 of "));
    // Delete on every shown row touches those alone.
    PostCommand(main_, 81);
    EXPECT_TRUE(WaitUntil([&] { return ReadListView(list_).rows[1].selected; }));
    PostCommand(main_, 2);
    AnswerText(kConfirm, L"", IDYES, main_);
    AnswerText(L"Information", L"Deleted 2 of 2 uninstall entries.", IDOK, main_);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 0; }));
    for (const wchar_t* kept : {L"S1", L"S3", L"S5"})
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(kept))) << Narrow(kept);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"S2")) ||
                 KeyExists(HKEY_LOCAL_MACHINE, Key(L"S4")));
    EXPECT_EQ(FilesIn(temp_ / L"Backup\\").size(), 2u);
    PressKey(GetDlgItem(main_, 902), VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return sizes() == L"S1 S5 S3 "; })) << Narrow(sizes());
}

// A tool closed at a size, column width and View choice opens at the same ones.
TEST_F(QuorranTest, OpensAtTheSizeAndColumnWidthItClosedAt) {
    ASSERT_TRUE(StartTool());
    ASSERT_TRUE(SetWindowPos(main_, nullptr, 30, 40, 700, 520, SWP_NOZORDER | SWP_NOACTIVATE));
    Send(list_, LVM_SETCOLUMNWIDTH, 1, 222);
    SetString(HKEY_LOCAL_MACHINE, Key(L"NoUninst"), L"DisplayName", Name(L"NoUninst"));
    auto showsHidden = [&] { return Row(L"NoUninst") >= 0; };
    PostCommand(main_, 70);
    ASSERT_TRUE(WaitUntil(showsHidden));
    Command(7, {{kConfirm, L"Would you like to exit MDR Quorran?", IDYES}});
    ASSERT_TRUE(process_->WaitExit());
    ASSERT_TRUE(StartTool());
    EXPECT_TRUE(showsHidden()) << "the View choice is kept too";
    RECT place{};
    GetWindowRect(main_, &place);
    EXPECT_EQ(place.right - place.left, 700);
    EXPECT_EQ(place.bottom - place.top, 520);
    EXPECT_EQ(Send(list_, LVM_GETCOLUMNWIDTH, 1).value_or(0), 222);
}

// What other programs write: an icon file whose directory lies (22 bytes that crashed the
// system's icon reader), a size of 0xFFFFFFFF kilobytes, the drive root spelt "C:\.". The tool
// opens and lists both entries with the default icon, no nonsense size and no walk of the drive.
TEST_F(QuorranTest, WhatOtherProgramsWriteIsListedAndNeverStopsTheTool) {
    const std::wstring lying = temp_ / L"lying.ico";
    ASSERT_TRUE(WriteFileBytes(lying, IconFile(65535, 40, 22)));
    Plant(L"Lying", probe_, {{L"DisplayIcon", lying}});
    SetDword(HKEY_LOCAL_MACHINE, Key(L"Lying"), L"EstimatedSize", 0xFFFFFFFF);
    Plant(L"Drive", probe_, {{L"InstallLocation", L"C:\\."}, {L"DisplayIcon", lying + L",0"}});
    ASSERT_TRUE(StartTool()) << "the tool did not open";
    const auto ours = RowsStartingWith(kPrefix);
    ASSERT_EQ(ours.size(), 2u);
    for (const ListViewRow& row : ours) {
        EXPECT_EQ(row.cells[4], L"Not available") << Narrow(row.cells[0]);
        EXPECT_EQ(row.image, 0);
    }
}

TEST_F(QuorranTest, UninstallRunsTheCommandLineAndWaitsForEveryProcessItStarted) {
    Plant(L"Quoted", L"\"" + probe_ + L"\" /S --all");
    Plant(L"Bare", probe_ + L" /spawn");
    Plant(L"Gone", L"C:\\nowhere\\gone app\\un.exe /S",
          {{L"Publisher", L"Line\r\nbreak \"q\""}, {L"InstallLocation", L"C:\\nowhere\\"}});
    SetValue(HKEY_LOCAL_MACHINE, Key(L"Gone"), L"Raw", REG_BINARY, "\x01\x00\xff", 3);
    ASSERT_TRUE(StartTool());

    RunOn(L"Quoted", 1, Uninstall(L"Quoted"));
    EXPECT_TRUE(WaitUntil([&] { return Log() == L"\"" + probe_ + L"\" /S --all\r\n"; }))
        << Narrow(Log());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));

    // The first process hands over to a child and ends at once; the window stays disabled until
    // the child has ended too.
    ASSERT_TRUE(Select(Name(L"Bare")));
    PressKey(list_, VK_RETURN);
    AnswerText(kConfirm, Uninstall(L"Bare"), IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Log().find(L"/late\r\n") != std::wstring::npos; }));
    EXPECT_FALSE(IsWindowEnabled(main_));
    EXPECT_FALSE(WaitUntil([&] { return IsWindowEnabled(main_); }, 1000))
        << "enabled before the child ended";
    ReleaseProbe();
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }, 30000));

    // A missing program: the question, then the entry goes after its backup is written.
    RegTree before;
    ASSERT_TRUE(ReadRegTree(HKEY_LOCAL_MACHINE, Key(L"Gone"), before));
    RunOn(L"Gone", 50, Uninstall(L"Gone"));
    AnswerText(L"Program already uninstalled",
               L"There was an error while executing the uninstall string. It is possible that the "
               L"program was already removed and couldn't clean the uninstall entry. Would you "
               L"like to remove it from the registry?",
               IDYES);
    ExpectGoneAndRestored(HKEY_LOCAL_MACHINE, L"Gone", before);
}

// What Windows hides stays hidden until asked for, then shows greyed with its reason; the counts
// say both. A program given by bare name is run; a per-user entry's backup brings it back.
TEST_F(QuorranTest, HidesWhatWindowsHidesRunsBareNamesAndDeletesUserEntries) {
    SetString(HKEY_CURRENT_USER, Key(L"User"), L"DisplayName", Name(L"User"));
    SetString(HKEY_CURRENT_USER, Key(L"User"), L"UninstallString", probe_ + L" /x");
    Plant(L"Sys", probe_);
    SetDword(HKEY_LOCAL_MACHINE, Key(L"Sys"), L"SystemComponent", 1);
    Plant(L"Upd", probe_, {{L"ParentKeyName", L"Office"}});
    SetString(HKEY_LOCAL_MACHINE, Key(L"Prot"), L"DisplayName", Name(L"Prot"));
    SetDword(HKEY_LOCAL_MACHINE, Key(L"Prot"), L"NoRemove", 1);
    const std::wstring ran = temp_ / L"ran.txt";
    Plant(L"Cmd", L"cmd /c echo ran>\"" + ran + L"\"");
    const std::wstring msi = kRoot + std::wstring(kProductCode);
    SetString(HKEY_LOCAL_MACHINE, msi, L"DisplayName", Name(L"Msi"));
    SetDword(HKEY_LOCAL_MACHINE, msi, L"WindowsInstaller", 1);
    ASSERT_TRUE(StartTool());
    auto shown = [&] {
        std::vector<std::wstring> rows;
        for (const ListViewRow& row : RowsStartingWith(kPrefix))
            rows.push_back(row.cells[0].substr(wcslen(kPrefix)) + L"|" + row.cells[6] + L"|" +
                           row.cells[7]);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    EXPECT_EQ(shown(), (std::vector<std::wstring>{L"Cmd|All users|", L"Msi|All users|",
                                                  L"User|This user|"}));
    const int programs = ListViewCount(list_);
    EXPECT_EQ(Send(list_, LVM_GETCOLUMNWIDTH, 7).value_or(-1), 0) << "Why hidden folded away";
    PostCommand(main_, 70);
    ASSERT_TRUE(WaitUntil([&] { return shown().size() == 6; }));
    EXPECT_GT(Send(list_, LVM_GETCOLUMNWIDTH, 7).value_or(0), 0);
    EXPECT_EQ(shown(), (std::vector<std::wstring>{
                           L"Cmd|All users|", L"Msi|All users|", L"Prot|All users|Protected",
                           L"Sys|All users|System component", L"Upd|All users|Update of Office",
                           L"User|This user|"}));
    EXPECT_EQ(ReadStatusBarPart(status_, 0), std::to_wstring(programs) + L" programs, " +
                                                 std::to_wstring(ListViewCount(list_) - programs) +
                                                 L" hidden");

    RunOn(L"Cmd", 1, Uninstall(L"Cmd"));
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(ran).starts_with("ran"); }));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));

    // The user's own entry is started by the desktop shell, without administrator rights, or
    // after a question that says it will have them (where Wine's desktop is not ready for it).
    RunOn(L"User", 1, L"");
    EXPECT_TRUE(WaitUntil([&] { return Log().ends_with(L" /x\r\n"); })) << Narrow(Log());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));

    RegTree before;
    ASSERT_TRUE(ReadRegTree(HKEY_CURRENT_USER, Key(L"User"), before));
    RunOn(L"User", 2, L"");
    ExpectGoneAndRestored(HKEY_CURRENT_USER, L"User", before);
}

// "Stop waiting" ends the wait at once and leaves the uninstaller running; the list is
// refreshed then, and again once everything the uninstaller started has ended.
TEST_F(QuorranTest, StopWaitingLeavesTheUninstallerAndRefreshesWhenItEnds) {
    Plant(L"Bare", probe_ + L" /spawnlong");
    Plant(L"Tail", L"C:\\nowhere\\a.exe");
    ASSERT_TRUE(StartTool());
    RunOn(L"Bare", 1, Uninstall(L"Bare"));
    ASSERT_TRUE(WaitUntil([&] { return Log().find(L"/latelong\r\n") != std::wstring::npos; }));
    HWND wait = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (wait = FindWindowW(L"VeltraneMendoraQuorranWait", nullptr)) != nullptr; }));
    EXPECT_EQ(GetText(GetDlgItem(wait, 1)), L"Stop waiting");
    DeleteTree(HKEY_LOCAL_MACHINE, Key(L"Tail"));
    PressButton(wait, 1);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) && Row(L"Tail") < 0; }, 1000));
    EXPECT_EQ(Log().find(L"late done"), std::wstring::npos) << "the uninstaller goes on";
    Plant(L"Tail", L"C:\\nowhere\\a.exe");
    ReleaseProbe();
    EXPECT_TRUE(WaitUntil([&] { return Row(L"Tail") >= 0; }));
}

TEST_F(QuorranTest, DeleteAsksAndBacksUpAndAKeyWithSubkeysStays) {
    Plant(L"Del", L"C:\\nowhere\\d.exe");
    Plant(L"Sub", L"C:\\nowhere\\s.exe");
    SetString(HKEY_LOCAL_MACHINE, Key(L"Sub") + L"\\Child", L"x", L"y");
    ASSERT_TRUE(StartTool());
    const std::wstring question =
        L"Are you sure you want to delete the reference to " + Name(L"Del") +
        L" ?\r\n\r\nNote that this will delete the uninstallation entry from the registry, but "
        L"the program itself will NOT be uninstalled. It is recommended to use this function "
        L"only to clean entries that were not cleaned from uninstalled software.";
    RunOn(L"Del", 2, question, IDNO);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Del")));
    PressKey(list_, VK_DELETE);
    AnswerText(kConfirm, question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Row(L"Del") < 0; }));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Del")));
    EXPECT_EQ(FilesIn(temp_ / L"Backup\\").size(), 1u);

    // A key with subkeys is not deleted, so it gets no backup either.
    RunOn(L"Sub", 51, L"");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) && Row(L"Sub") >= 0; }));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Sub") + L"\\Child"));
    EXPECT_EQ(FilesIn(temp_ / L"Backup\\").size(), 1u);
}

TEST_F(QuorranTest, AddChecksInOrderThenWritesTheEntry) {
    Plant(L"Date", L"C:\\nowhere\\u.exe");
    ASSERT_TRUE(StartTool());
    HWND dialog = OpenDialog(0, L"Add new uninstaller entry");
    ASSERT_TRUE(dialog);
    const std::wstring guid = GetText(GetDlgItem(dialog, 102));
    EXPECT_EQ(guid.size(), 38u);
    PressButton(dialog, 103);
    EXPECT_TRUE(WaitUntil([&] { return GetText(GetDlgItem(dialog, 102)) != guid; }));

    // Each refused pair of identifier and uninstaller, with the warning it gets.
    const std::wstring invalid = L"The uninstaller path is invalid or the file doesn't exist.";
    const std::tuple<std::wstring, std::wstring, std::wstring> checks[] = {
        {L"", probe_, L"Please fill the globally unique identifier field (GUID)."},
        {Name(L"Date"), probe_, L"The identifier already exists. Please generate a new one."},
        {Name(L"New"), L"C:\\nowhere\\x.exe", invalid},
        {Name(L"New"), temp_ / L"Un Inst", invalid}};
    for (const auto& [identifier, uninstaller, warning] : checks) {
        SetItemText(dialog, 102, identifier);
        SetItemText(dialog, 116, uninstaller);
        PressButton(dialog, 122);
        AnswerText(L"Warning", warning, IDOK);
        EXPECT_TRUE(IsWindow(dialog));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"New")));

    // Each field, its text, and the value it writes (none for the key name) with its data.
    const std::tuple<int, std::wstring, const wchar_t*, std::wstring> fields[] = {
        {102, Name(L"New"), nullptr, L""},
        {105, Name(L"New"), L"DisplayName", Name(L"New")},
        {107, L"Veltrane", L"Publisher", L"Veltrane"},
        {109, L"2.0", L"DisplayVersion", L"2.0"},
        {111, L"http://x/", L"HelpLink", L"http://x/"},
        {113, L"C:\\App\\", L"InstallLocation", L"C:\\App\\"},
        {116, probe_, L"UninstallString", L"\"" + probe_ + L"\""},
        {119, L"", L"DisplayIcon", probe_}};
    for (const auto& [id, text, value, data] : fields)
        SetItemText(dialog, id, text);
    PressButton(dialog, 122);
    AnswerText(L"OK", L"The entry was successfully added.", IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && IsWindowEnabled(main_); }));
    for (const auto& [id, text, value, data] : fields)
        EXPECT_EQ(value ? ReadString(HKEY_LOCAL_MACHINE, Key(L"New"), value) : data, data) << id;
    EXPECT_TRUE(WaitUntil([&] { return Row(L"New") >= 0; }));
}
} // namespace
} // namespace mdr::driver
