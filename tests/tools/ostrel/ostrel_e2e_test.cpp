// Ostrel driven from outside as a user would: the listing and its refresh, the Add dialog, the
// removal with its backup, the export and the clipboard, and the start from MDR's tools menu.
#include <shlobj.h>
#include <algorithm>
#include <optional>
#include "tests/support/tool_fixture.h"
#include "tools/ostrel/startup_entries.h"

namespace mdr::driver {
namespace {
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kNotepad[] = L"C:\\windows\\system32\\notepad.exe";
constexpr wchar_t kPrefix[] = L"MDRTestOstrel";
constexpr wchar_t kApproved[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
constexpr wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kPolicies[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
constexpr wchar_t kWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

class OstrelTest : public ToolTest {
  protected:
    OstrelTest() : ToolTest(L"Ostrel", L"MDR - Startup manager (") {}
    void SetUp() override {
        ToolTest::SetUp();
        CoInitialize(nullptr);
        startup_ = UserStartupFolder();
        SHCreateDirectoryExW(nullptr, startup_.c_str(), nullptr);
    }
    void CleanUp() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const std::wstring& name :
                 {Name(L"A"), Name(L"Missing"), Name(L"Added"), Name(L"Remove"), Name(L"Export"),
                  Name(L"Lying"), Name(L"Three1"), Name(L"Three2"), Name(L"Three3"), LongName(),
                  Name(L"SwA1"), Name(L"SwA2"), Name(L"SwB6")}) {
                DeleteValue(root, kRun, name);
                for (const wchar_t* key : {L"Run", L"StartupFolder"})
                    for (const wchar_t* suffix : {L"", L".lnk"})
                        DeleteValue(root, kApproved + std::wstring(key), name + suffix);
            }
        DeleteValue(HKEY_CURRENT_USER, kPolicies, Name(L"SwB5"));
        DeleteValue(HKEY_CURRENT_USER, kRunOnce, Name(L"SwB7"));
        DeleteValue(HKEY_CURRENT_USER, kApproved + std::wstring(L"Run"), Name(L"SwOrphan"));
        if (shell_ && shell_->empty()) DeleteValue(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell");
        if (shell_ && !shell_->empty()) SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", *shell_);
        for (const wchar_t* file : {L"App.lnk", L"Added.lnk", L"Old.bat", L"Lying.ico"})
            DeleteFileW((startup_ + kPrefix + file).c_str());
        for (const std::wstring& file : {startup_ + Name(L"SwA3.lnk"), common_ + Name(L"SwB4.lnk")})
            DeleteFileW(file.c_str());
        PurgeRecycledFiles(kPrefix); // the removal moved one there
        CoUninitialize();
    }
    std::vector<ListViewRow> Planted() const { return RowsStartingWith(kPrefix); }
    static std::wstring Name(const wchar_t* name) { return kPrefix + std::wstring(name); }
    // As long as a value's name can be.
    static std::wstring LongName() { return Name(L"Long") + std::wstring(16383 - 17, L'x'); }

    // The bytes of a StartupApproved value; "absent" when there is none.
    static std::string Approval(HKEY root, const wchar_t* key, const std::wstring& name) {
        test::RegTree tree;
        test::ReadRegTree(root, kApproved + std::wstring(key), tree);
        auto it = tree.values.find(name);
        return it == tree.values.end()
                   ? "absent"
                   : std::string(it->second.data.begin(), it->second.data.end());
    }

    std::wstring startup_;
    std::wstring common_ = CommonStartupFolder();
    std::optional<std::wstring> shell_; // Winlogon's Shell before a test changed it
};

TEST_F(OstrelTest, ListsEntriesOnceEachAndARefreshKeepsRowsWithTheirIds) {
    const std::wstring a = Name(L"A");
    SetString(HKEY_CURRENT_USER, kRun, a, std::wstring(kNotepad) + L" /a");
    SetString(HKEY_LOCAL_MACHINE, kRun, a, std::wstring(kNotepad) + L" /a"); // the same entry
    SetString(HKEY_CURRENT_USER, kRun, Name(L"Missing"), L"C:\\nowhere\\g.exe");
    const std::wstring shortcut = startup_ + kPrefix + L"App.lnk";
    ASSERT_TRUE(CreateShortcut(kNotepad, shortcut, L"-tray", L"", L"C:\\", 1, kNotepad, 0));

    ASSERT_TRUE(StartTool());
    auto rows = Planted();
    ASSERT_EQ(rows.size(), 3u);
    // Scan order: the machine's Run key, the user's, then the startup folder.
    EXPECT_EQ(rows[0].cells, (std::vector<std::wstring>{a, L"C:\\windows\\system32\\notepad.exe /a",
                                                        L"Registry", L"Enabled"}));
    EXPECT_EQ(rows[1].cells[0], Name(L"Missing"));
    EXPECT_EQ(rows[2].cells,
              (std::vector<std::wstring>{Name(L"App"), L"\"" + shortcut + L"\" \"-tray\"",
                                         L"Startup folder entry", L"Enabled"}));
    EXPECT_NE(rows[0].image, 0) << "notepad's own icon";
    EXPECT_EQ(rows[1].image, 0) << "the default icon for a missing file";
    // The duplicate shows once but counts.
    const int total = ListViewCount(list_) + 1;
    EXPECT_EQ(GetText(main_),
              L"MDR - Startup manager (" + std::to_wstring(total) + L" startup items)");
    EXPECT_EQ(ReadStatusBarPart(status_, 0), L"Total startup items: " + std::to_wstring(total));
    EXPECT_TRUE(ReadListView(list_).rows[0].selected) << "row 0 selected at start";

    // The facts of a missing file say so.
    ASSERT_TRUE(Select(rows[1].cells[0]));
    ASSERT_TRUE(WaitUntil([&] {
        auto info = ReadListView(FindDescendant(main_, L"SysListView32", 201)).rows;
        return !info.empty() && info[0].cells[0] == L"File status";
    }));

    // One entry goes, one comes; F5 refreshes. Rows found again keep their ids and pictures.
    DeleteValue(HKEY_LOCAL_MACHINE, kRun, a);
    DeleteValue(HKEY_CURRENT_USER, kRun, Name(L"Missing"));
    SetString(HKEY_CURRENT_USER, kRun, Name(L"Added"), L"C:\\nowhere\\n.exe");
    PressKey(list_, VK_F5);
    ASSERT_TRUE(WaitUntil([&] { return RowNamed(Name(L"Added")) >= 0; }));
    const auto after = Planted();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0].data, rows[0].data);
    EXPECT_EQ(after[0].image, rows[0].image);
    EXPECT_EQ(after[1].cells[0], Name(L"Added"));
    EXPECT_EQ(after[2].data, rows[2].data);
    EXPECT_EQ(ReadStatusBarPart(status_, 0),
              L"Total startup items: " + std::to_wstring(ListViewCount(list_)));

    // About, then Exit with its question: No keeps the tool, Yes ends it.
    HWND about = OpenDialog(6, L"About");
    ASSERT_TRUE(about);
    EXPECT_TRUE(FindDescendantByText(about, L"Static", L"MDR - Ostrel plugin"));
    EXPECT_FALSE(IsWindowEnabled(main_));
    PressButtonByText(about, L"Close");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) && IsWindowEnabled(main_); }));
    for (int answer : {IDNO, IDYES}) {
        PostCommand(main_, 7);
        AnswerText(kConfirm, L"Would you like to exit MDR Ostrel?", answer, main_);
    }
    EXPECT_TRUE(process_->WaitExit());
}

// A Run value and a startup-folder file naming an icon file whose directory lies (22 bytes that
// crashed the system's icon reader), and a name as long as the registry allows: the tool opens,
// lists each of them and answers a refresh.
TEST_F(OstrelTest, WhatOtherProgramsWriteIsListedAndNeverStopsTheTool) {
    const std::wstring lying = startup_ + kPrefix + L"Lying.ico";
    ASSERT_TRUE(test::WriteFileBytes(lying, test::IconFile(65535, 40, 22)));
    SetString(HKEY_CURRENT_USER, kRun, Name(L"Lying"), lying);
    SetString(HKEY_CURRENT_USER, kRun, LongName(), kNotepad);
    ASSERT_TRUE(StartTool()) << "the tool did not open";
    for (int refresh = 0; refresh < 2; ++refresh) {
        std::vector<std::wstring> lyingTypes;
        int longNames = 0;
        for (const ListViewRow& row : Planted()) {
            // Never printed: 16,383 characters, of which the list gives out the first ones.
            if (row.cells[0].starts_with(Name(L"Long"))) {
                ++longNames;
                EXPECT_NE(row.image, 0) << "notepad's own icon";
                continue;
            }
            EXPECT_EQ(row.cells[0], Name(L"Lying"));
            EXPECT_EQ(row.image, 0) << "the default icon for the lying file";
            lyingTypes.push_back(row.cells[2]);
        }
        EXPECT_EQ(longNames, 1);
        EXPECT_EQ(lyingTypes, (std::vector<std::wstring>{L"Registry", L"Startup folder entry"}));
        PressKey(list_, VK_F5);
    }
}

struct AddCase {
    int kind;
    HKEY root; // nullptr: a shortcut in the startup folder
};

TEST_F(OstrelTest, AddDialogRefusesWhatIsMissingThenAddsEachKind) {
    ASSERT_TRUE(StartTool());
    const std::wstring name = Name(L"Added");
    for (const AddCase& c :
         {AddCase{0, HKEY_LOCAL_MACHINE}, AddCase{1, HKEY_CURRENT_USER}, AddCase{2, nullptr}}) {
        SCOPED_TRACE(c.kind);
        // The toolbar button or the popup item.
        HWND dialog = OpenDialog(c.kind == 2 ? 50 : 0, L"Add new startup item");
        ASSERT_TRUE(dialog);
        EXPECT_FALSE(IsWindowEnabled(main_));
        auto refused = [&](const wchar_t* text) {
            PressButton(dialog, 60);
            AnswerText(L"Information", text, IDOK);
        };
        if (c.kind == 0) {
            // The refusals, in order; the dialog stays open after each.
            refused(L"Please enter the name of the startup entry.");
            SetItemText(dialog, 51, L"   ");
            refused(L"Please enter the name of the startup entry.");
            SetItemText(dialog, 51, name);
            SetItemText(dialog, 55, L"C:\\nowhere\\x.exe");
            refused(L"Please enter a valid file path.");
            SetItemText(dialog, 51, L"..\\x");
            SetItemText(dialog, 55, kNotepad);
            refused(L"The name cannot hold \\ / : * ? \" < > | or .., nor be a device name such as "
                    L"CON, NUL, COM1 or LPT1.");
        }
        // Added switched off.
        if (c.kind == 2) Send(GetDlgItem(dialog, 61), BM_SETCHECK, BST_CHECKED);
        SetItemText(dialog, 51, name);
        Send(GetDlgItem(dialog, 53), CB_SETCURSEL, static_cast<WPARAM>(c.kind));
        SetItemText(dialog, 55, kNotepad);
        SetItemText(dialog, 58, L"-x \"y\"");
        PressButton(dialog, 60);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && IsWindowEnabled(main_); }));
        const std::wstring command = L"\"C:\\windows\\system32\\notepad.exe\" -x \"y\"";
        EXPECT_EQ(c.root ? ReadString(c.root, kRun, name) : command, command);
        EXPECT_EQ(RowOf(name).cells.at(1),
                  c.root ? command : L"\"" + startup_ + name + L".lnk\" \"-x \"y\"\"");
        if (c.root) DeleteValue(c.root, kRun, name);
    }
    EXPECT_EQ(RowOf(name).cells.at(3), L"Disabled");
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"StartupFolder", name + L".lnk").substr(0, 4),
              std::string("\3\0\0\0", 4));
}

TEST_F(OstrelTest, RemovalAsksThenBacksUpAndTheBackupRestoresTheValue) {
    const std::wstring name = Name(L"Remove");
    SetString(HKEY_CURRENT_USER, kRun, name, L"C:\\Tools\\tray.exe /min \"q\"");
    WriteFileBytes(startup_ + kPrefix + L"Old.bat", "@echo off\r\n");
    ASSERT_TRUE(StartTool());

    ASSERT_TRUE(Select(name));
    const std::wstring question =
        L"Are you sure you want to remove the following startup entry?\r\n\r\n" + name +
        L"\r\n\r\nWARNING! This may lead to system instability. If you delete a reference to a "
        L"legitimate system file, there is a chance the system WILL NOT EVEN BOOT.";
    PostCommand(main_, 1);
    AnswerText(kConfirm, question, IDNO, main_);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun, name));
    PressKey(list_, VK_DELETE);
    AnswerText(kConfirm, question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return RowNamed(name) < 0; }));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, name));
    RestoreTheBackup();
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, name), L"C:\\Tools\\tray.exe /min \"q\"");

    // A startup-folder file goes to the Recycle Bin.
    const std::wstring bat = Name(L"Old");
    ASSERT_TRUE(Select(bat));
    PostCommand(main_, 51);
    AnswerText(kConfirm, L"", IDYES);
    ASSERT_TRUE(WaitUntil([&] { return RowNamed(bat) < 0; }));
    EXPECT_FALSE(FileExists(startup_ + kPrefix + L"Old.bat"));
    EXPECT_EQ(PurgeRecycledFiles(kPrefix + std::wstring(L"Old")), 1) << "not in the Recycle Bin";
}

// Three entries selected through the filter and Select all go in one command with one question
// and one report; their three backups bring them back.
TEST_F(OstrelTest, SeveralEntriesGoInOneCommandEachWithItsBackup) {
    for (const wchar_t* name : {L"Three1", L"Three2", L"Three3"})
        SetString(HKEY_CURRENT_USER, kRun, Name(name),
                  L"C:\\Tools\\" + std::wstring(name) + L".exe");
    ASSERT_TRUE(StartTool());
    PostCommand(main_, 80);
    SetItemText(main_, 902, Name(L"Three"));
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 3; }));
    PostCommand(main_, 81);
    ASSERT_TRUE(WaitUntil([&] { return ReadListView(list_).rows[2].selected; }));
    ClearClipboard();
    PostCommand(main_, 82);
    EXPECT_TRUE(WaitUntil([&] {
        return ClipboardText().starts_with(Name(L"Three1") +
                                           L"\tC:\\Tools\\Three1.exe\tRegistry\tEnabled\r\n");
    })) << Narrow(ClipboardText());
    PostCommand(main_, 1);
    AnswerText(kConfirm,
               L"Remove these 3 startup entries?\r\n\r\n" + Name(L"Three1") + L"\r\n" +
                   Name(L"Three2") + L"\r\n" + Name(L"Three3") +
                   L"\r\n\r\nWARNING! This may lead to system instability. If you delete a "
                   L"reference to a legitimate system file, there is a chance the system WILL NOT "
                   L"EVEN BOOT.",
               IDYES, main_);
    AnswerText(L"Information", L"Removed 3 of 3 startup entries.", IDOK, main_);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 0; }));
    const auto backups = FilesIn(temp_ / L"Backup\\");
    ASSERT_EQ(backups.size(), 3u);
    for (const std::wstring& backup : backups)
        ImportWithRegedit(temp_ / L"Backup\\" + backup);
    for (const wchar_t* name : {L"Three1", L"Three2", L"Three3"})
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, Name(name)),
                  L"C:\\Tools\\" + std::wstring(name) + L".exe");
}

// Disable and Enable write only Windows' own StartupApproved values, after a backup that the
// registry editor plays back; what cannot be switched says why; an orphan is removed after its
// backup; a changed Winlogon Shell is marked, cannot be removed, and gets its default back.
TEST_F(OstrelTest, DisableAndEnableWriteTheApprovalsWindowsReads) {
    using namespace std::string_literals;
    SetString(HKEY_CURRENT_USER, kRun, Name(L"SwA1"), kNotepad);
    SetString(HKEY_LOCAL_MACHINE, kRun, Name(L"SwA2"), kNotepad);
    SHCreateDirectoryExW(nullptr, common_.c_str(), nullptr);
    ASSERT_TRUE(
        CreateShortcut(kNotepad, startup_ + Name(L"SwA3.lnk"), L"", L"", L"C:\\", 1, kNotepad, 0));
    ASSERT_TRUE(
        CreateShortcut(kNotepad, common_ + Name(L"SwB4.lnk"), L"", L"", L"C:\\", 1, kNotepad, 0));
    SetString(HKEY_CURRENT_USER, kPolicies, Name(L"SwB5"), kNotepad);
    SetString(HKEY_CURRENT_USER, kRun, Name(L"SwB6"), kNotepad);
    const std::string off = "\3\0\0\0"s + std::string(8, '\1');
    test::SetRaw(HKEY_CURRENT_USER, kApproved + std::wstring(L"Run"), Name(L"SwB6"), REG_BINARY,
                 test::Bytes(off.begin(), off.end())); // switched off by another program
    test::SetRaw(HKEY_CURRENT_USER, kApproved + std::wstring(L"Run"), Name(L"SwOrphan"), REG_BINARY,
                 test::Bytes(12, 0));
    SetString(HKEY_CURRENT_USER, kRunOnce, Name(L"SwB7"), kNotepad);
    shell_ = ReadString(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell");
    SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", L"explorer.exe C:\\evil.exe");
    ASSERT_TRUE(StartTool());
    auto state = [&](const wchar_t* name) { return RowOf(Name(name)).cells.at(3); };
    EXPECT_EQ(state(L"SwB4"), L"Enabled");
    EXPECT_EQ(RowOf(Name(L"SwB4")).cells[2], L"Startup folder entry (all users)");
    EXPECT_EQ(state(L"SwB5"), L"Always");
    EXPECT_EQ(state(L"SwB6"), L"Disabled");
    EXPECT_EQ(state(L"SwB7"), L"Runs once");
    EXPECT_EQ(RowOf(Name(L"SwOrphan")).cells[2], L"Orphaned approval");
    EXPECT_EQ(state(L"SwOrphan"), L"Orphaned");

    // Three at once; the Run values and the shortcut stay as they were.
    PostCommand(main_, 80);
    SetItemText(main_, 902, Name(L"SwA"));
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 3; }));
    PostCommand(main_, 81);
    ASSERT_TRUE(WaitUntil([&] { return ReadListView(list_).rows[2].selected; }));
    FILETIME before{};
    GetSystemTimeAsFileTime(&before);
    Command(70, {{L"Information", L"Disabled 3 of 3 startup entries.", IDOK}});
    for (const auto& [root, key, name] :
         {std::tuple{HKEY_CURRENT_USER, L"Run", Name(L"SwA1")},
          std::tuple{HKEY_LOCAL_MACHINE, L"Run", Name(L"SwA2")},
          std::tuple{HKEY_CURRENT_USER, L"StartupFolder", Name(L"SwA3.lnk")}}) {
        const std::string bytes = Approval(root, key, name);
        ASSERT_EQ(bytes.size(), 12u) << Narrow(name);
        EXPECT_EQ(bytes.substr(0, 4), "\3\0\0\0"s);
        ULARGE_INTEGER when{}, start{};
        memcpy(&when.QuadPart, bytes.data() + 4, 8);
        start.LowPart = before.dwLowDateTime;
        start.HighPart = before.dwHighDateTime;
        EXPECT_LT(start.QuadPart - when.QuadPart + 600000000ull, 1200000000ull) << "a minute";
    }
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, Name(L"SwA1")), kNotepad);
    EXPECT_TRUE(FileExists(startup_ + Name(L"SwA3.lnk")));

    // A second Ostrel sees them switched off; Enable (one row, no report) writes 02 and zeros.
    ASSERT_TRUE(StartTool());
    for (const wchar_t* name : {L"SwA1", L"SwA2", L"SwA3"})
        EXPECT_EQ(state(name), L"Disabled");
    ASSERT_TRUE(Select(Name(L"SwA1")));
    Command(71, {});
    EXPECT_TRUE(WaitUntil([&] { return state(L"SwA1") == L"Enabled"; }));
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"Run", Name(L"SwA1")), "\2"s + std::string(11, '\0'));

    // What cannot be switched off (here by the Space key) or removed says why.
    ASSERT_TRUE(Select(Name(L"SwB7")));
    PressKey(list_, VK_SPACE);
    AnswerText(L"Information",
               L"The startup entry \"" + Name(L"SwB7") +
                   L"\" cannot be disabled: Windows runs it once at the next start and then "
                   L"deletes it; it has no switch to turn it off.",
               IDOK, main_);
    ASSERT_TRUE(Select(L"Shell"));
    EXPECT_EQ(RowOf(L"Shell").cells[1], L"explorer.exe C:\\evil.exe");
    Command(1, {{L"Information",
                 L"Windows cannot start without its Winlogon values Shell and Userinit, so they "
                 L"are never removed. Use \"Restore the Windows default\" instead.",
                 IDOK}});
    EXPECT_TRUE(WaitUntil([&] {
        auto info = ReadListView(FindDescendant(main_, L"SysListView32", 201)).rows;
        return !info.empty() && info[0].cells[1] == L"Changed from the Windows default";
    }));
    Command(72, {{kConfirm, L"", IDYES}});
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadString(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell") == L"explorer.exe"; }));

    // The orphan goes after its backup.
    ASSERT_TRUE(Select(Name(L"SwOrphan")));
    Command(51, {{kConfirm, L"", IDYES}});
    EXPECT_TRUE(WaitUntil([&] { return RowNamed(Name(L"SwOrphan")) < 0; }));
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"Run", Name(L"SwOrphan")), "absent");

    // The backups, newest first, bring back the state before: the orphan, and no approvals.
    auto backups = FilesIn(temp_ / L"Backup\\");
    ASSERT_EQ(backups.size(), 4u);
    std::sort(backups.rbegin(), backups.rend());
    for (const std::wstring& backup : backups)
        ImportWithRegedit(temp_ / L"Backup\\" + backup);
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"Run", Name(L"SwOrphan")), std::string(12, '\0'));
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"Run", Name(L"SwA1")), "absent");
    EXPECT_EQ(Approval(HKEY_LOCAL_MACHINE, L"Run", Name(L"SwA2")), "absent");
    EXPECT_EQ(Approval(HKEY_CURRENT_USER, L"StartupFolder", Name(L"SwA3.lnk")), "absent");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell"), L"explorer.exe C:\\evil.exe");
}

TEST_F(OstrelTest, ExportWritesTheListingAndCopiesGoToTheClipboard) {
    const std::wstring name = Name(L"Export");
    SetString(HKEY_CURRENT_USER, kRun, name, L"C:\\nowhere\\x.exe /q");
    ASSERT_TRUE(StartTool());
    const int count = ListViewCount(list_);

    ASSERT_TRUE(Select(name));
    ClearClipboard();
    PostCommand(main_, 53);
    EXPECT_TRUE(WaitUntil([&] {
        return ClipboardText() == name + L"     C:\\nowhere\\x.exe /q     Registry     Enabled";
    })) << Narrow(ClipboardText());
    PostCommand(main_, 54);
    std::wstring all;
    EXPECT_TRUE(WaitUntil([&] {
        all = ClipboardText();
        return std::count(all.begin(), all.end(), L'\n') == count;
    }));
    EXPECT_NE(all.find(L"\r\n" + name + L"     C:\\nowhere\\x.exe /q     Registry     Enabled\r\n"),
              std::wstring::npos);
    PostCommand(main_, 54); // copied again, not added to
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == all; }));

    // "listing" gets its ".txt"; an existing empty file is replaced without a question.
    WriteFileBytes(temp_ / L"listing.txt", "");
    const std::string text = Export(4, L"Save startup listing");
    const std::string rule(69, '-');
    EXPECT_TRUE(text.starts_with(rule + "\r\nMDR Ostrel Export\r\n"));
    EXPECT_NE(text.find("\r\n\r\nTotal detected entries: " + std::to_string(count) + "\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("\r\n\r\nEntry name: " + Narrow(name) +
                  "\r\nStartup string: C:\\nowhere\\x.exe /q\r\nEntry type: Registry\r\n"
                  "State: Enabled\r\nFile information:\r\nPath : n/a\r\nFile size : n/a\r\n\r\n" +
                  rule + "\r\n\r\n"),
        std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n" + rule + "\r\n\r\n"));
    EXPECT_TRUE(IsWindowEnabled(main_));

    // A failed export leaves the file as it was and no temporary file beside it.
    {
        UniqueHandle held(CreateFileW((temp_ / L"listing.txt").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        PostCommand(main_, 4);
        EXPECT_TRUE(AnswerFileDialog(pid_, L"Save startup listing", temp_ / L"listing"));
        AnswerText(kConfirm, L"The file already exists. Would you like to replace it?", IDYES);
        AnswerText(L"Error", L"Could not create the file. It could be blocked by another process.",
                   IDOK);
    }
    EXPECT_EQ(ReadFileBytes(temp_ / L"listing.txt"), text);
    for (const std::wstring& file : FilesIn(temp_ / L""))
        EXPECT_FALSE(file.ends_with(L".tmp")) << Narrow(file);
}

TEST_F(OstrelTest, StartsFromMdrsToolsMenu) {
    Gadgets g = MdrTest::Start(L"", ConfigValues{});
    ASSERT_TRUE(g.main);
    // The tools are found in the order the folder lists Plugins\*.ini; Ostrel's is the first.
    PostCommand(g.main, 200);
    HWND tool = WaitForWindow(0, WindowQuery::Titled(L"MDR - Startup manager ("), 20000);
    ASSERT_TRUE(tool) << "Ostrel did not start";
    DWORD pid = 0;
    GetWindowThreadProcessId(tool, &pid);
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    ASSERT_TRUE(process && TerminateProcess(process.get(), 0));
    WaitForSingleObject(process.get(), 10000);
    Exit(g);
}
} // namespace
} // namespace mdr::driver
