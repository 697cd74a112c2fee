// Quorran driven from outside as a user would, on entries planted under the machine's real
// uninstall key: the listing and its refresh by identity, uninstalling through a stand-in
// uninstaller, deleting with a backup that the registry editor brings back, the Add dialog, the
// export and the clipboard. Quorran runs from a copy of the install folder, so its backups land
// in the test's own folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/tool_fixture.h"
#include "tests/support/registry_snapshot.h"

namespace mdr::driver {
namespace {

constexpr wchar_t kRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kPrefix[] = L"MDRTestQuorran";
constexpr wchar_t kConfirm[] = L"Please confirm";

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
        for (const wchar_t* name : {L"NoName", L"NoUninst", L"Date", L"Slash", L"Added", L"Quoted",
                                    L"Bare", L"Gone", L"Del", L"Sub", L"New"})
            DeleteTree(HKEY_LOCAL_MACHINE, Key(name));
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
    // Selects the entry and starts command on it, answering the question with Yes.
    void RunOn(const wchar_t* name, int command, const std::wstring& question) {
        ASSERT_TRUE(SelectListViewRow(list_, Row(name)));
        PostCommand(main_, command);
        AnswerText(kConfirm, question, IDYES, main_);
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

    std::vector<ListViewRow> ours;
    for (const ListViewRow& row : ReadListView(list_).rows)
        if (row.cells[0].starts_with(kPrefix)) ours.push_back(row);
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0].cells,
              (std::vector<std::wstring>{Name(L"Date"), L"Veltrane", L"1.2", L"2009/05/17",
                                         L"2.00 MB", L"C:\\nowhere\\u.exe /S"}));
    EXPECT_EQ(ours[1].cells,
              (std::vector<std::wstring>{Name(L"Slash"), L"Not available", L"Not reported",
                                         L"17/05/2009", L"3.00 KB", probe_}));
    const std::wstring count = std::to_wstring(ListViewCount(list_));
    EXPECT_EQ(GetText(main_), L"MDR - Uninstall manager (" + count + L" entries found)");
    EXPECT_EQ(ReadStatusBarPart(status_, 0), L"Total entries: " + count);

    // One entry goes and one comes before the selected one: it keeps its id and its selection.
    ASSERT_TRUE(SelectListViewRow(list_, Row(L"Slash")));
    DeleteTree(HKEY_LOCAL_MACHINE, Key(L"Date"));
    Plant(L"Added", L"C:\\nowhere\\a.exe");
    PressKey(list_, VK_F5);
    ASSERT_TRUE(WaitUntil([&] { return Row(L"Added") >= 0 && Row(L"Date") < 0; }));
    const ListViewRow slash = RowOf(Name(L"Slash"));
    EXPECT_EQ(slash.data, ours[1].data);
    EXPECT_TRUE(slash.selected);
    EXPECT_NE(RowOf(Name(L"Added")).data, ours[0].data);

    ClearClipboard();
    PostCommand(main_, 52);
    EXPECT_TRUE(WaitUntil([&] {
        return ClipboardText() == Name(L"Slash") +
                                      L"     Not available     Not reported     "
                                      L"17/05/2009     3.00 KB     " +
                                      probe_;
    })) << Narrow(ClipboardText());

    const std::string text = Export(4, L"Save uninstall listing");
    const std::string rule(69, '-');
    EXPECT_EQ(text.substr(0, rule.size() + 22), rule + "\r\nMDR Quorran Export\r\n");
    EXPECT_NE(text.find("\r\n\r\nTotal detected entries: " + Narrow(count) + "\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n\r\nName: " + Narrow(Name(L"Slash")) +
                        "\r\nCompany: Not available\r\nVersion: Not reported\r\n"
                        "InstallationDate: 17/05/2009\r\nSize: 3.00 KB\r\nUninstallString: " +
                        Narrow(probe_) + "\r\n\r\n" + rule + "\r\n\r\n"),
              std::string::npos);
}

TEST_F(QuorranTest, UninstallRunsTheCommandLineAndWaitsForEveryProcessItStarted) {
    Plant(L"Quoted", L"\"" + probe_ + L"\" /S --all");
    Plant(L"Bare", probe_ + L" /spawn");
    Plant(L"Gone", L"C:\\nowhere\\gone app\\un.exe /S",
          {{L"Publisher", L"Line\r\nbreak \"q\""}, {L"InstallLocation", L"C:\\nowhere\\"}});
    SetValue(HKEY_LOCAL_MACHINE, Key(L"Gone"), L"Raw", REG_BINARY, "\x01\x00\xff", 3);
    ASSERT_TRUE(StartTool());

    RunOn(L"Quoted", 1, L"Are you sure you want to uninstall " + Name(L"Quoted") + L" ?");
    EXPECT_TRUE(WaitUntil([&] { return Log() == L"\"" + probe_ + L"\" /S --all\r\n"; }))
        << Narrow(Log());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));

    // The first process hands over to a child and ends at once; the window stays disabled until
    // the child has ended too.
    ASSERT_TRUE(SelectListViewRow(list_, Row(L"Bare")));
    PressKey(list_, VK_RETURN);
    AnswerText(kConfirm, L"Are you sure you want to uninstall " + Name(L"Bare") + L" ?", IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Log().find(L"/late\r\n") != std::wstring::npos; }));
    EXPECT_FALSE(IsWindowEnabled(main_));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }, 30000));
    EXPECT_NE(Log().find(L"late done"), std::wstring::npos) << "enabled before the child ended";

    // A missing program: the question, then the entry goes after its backup is written.
    RegTree before;
    ASSERT_TRUE(ReadRegTree(HKEY_LOCAL_MACHINE, Key(L"Gone"), before));
    RunOn(L"Gone", 50, L"Are you sure you want to uninstall " + Name(L"Gone") + L" ?");
    AnswerText(L"Program already uninstalled",
               L"There was an error while executing the uninstall string. It is possible that the "
               L"program was already removed and couldn't clean the uninstall entry. Would you "
               L"like to remove it from the registry?",
               IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Row(L"Gone") < 0; }));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Gone")));
    RestoreTheBackup();
    RegTree after;
    ASSERT_TRUE(ReadRegTree(HKEY_LOCAL_MACHINE, Key(L"Gone"), after));
    EXPECT_TRUE(after == before) << "the backup brings the key back byte for byte";
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
    ASSERT_TRUE(SelectListViewRow(list_, Row(L"Del")));
    PostCommand(main_, 2);
    AnswerText(kConfirm, question, IDNO, main_);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Del")));
    PressKey(list_, VK_DELETE);
    AnswerText(kConfirm, question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Row(L"Del") < 0; }));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Del")));
    EXPECT_EQ(FilesIn(temp_ / L"Backup\\").size(), 1u);

    RunOn(L"Sub", 51, L"");
    ASSERT_TRUE(WaitUntil([&] { return FilesIn(temp_ / L"Backup\\").size() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_) && Row(L"Sub") >= 0; }));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"Sub") + L"\\Child"));
}

TEST_F(QuorranTest, AddChecksInOrderThenWritesTheEntry) {
    Plant(L"Date", L"C:\\nowhere\\u.exe");
    ASSERT_TRUE(StartTool());
    HWND dialog = OpenDialog(0, L"Add new uninstaller entry");
    ASSERT_TRUE(dialog);
    auto set = [&](int id, const std::wstring& text) { SetItemText(dialog, id, text); };
    const std::wstring guid = GetText(GetDlgItem(dialog, 102));
    EXPECT_EQ(guid.size(), 38u);
    PressButton(dialog, 103);
    EXPECT_TRUE(WaitUntil([&] { return GetText(GetDlgItem(dialog, 102)) != guid; }));

    struct Check {
        std::wstring identifier;
        std::wstring uninstaller;
        const wchar_t* title;
        const wchar_t* text;
    };
    const Check checks[] = {
        {L"", probe_, L"Warning", L"Please fill the globally unique identifier field (GUID)."},
        {Name(L"Date"), probe_, L"Warning",
         L"The identifier already exists. Please generate a new one."},
        {Name(L"New"), L"C:\\nowhere\\x.exe", L"Warning",
         L"The uninstaller path is invalid or the file doesn't exist."},
        {Name(L"New"), temp_ / L"Un Inst", L"Warning",
         L"The uninstaller path is invalid or the file doesn't exist."},
    };
    for (const Check& c : checks) {
        set(102, c.identifier);
        set(116, c.uninstaller);
        PressButton(dialog, 122);
        AnswerText(c.title, c.text, IDOK);
        EXPECT_TRUE(IsWindow(dialog));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(L"New")));

    const std::pair<int, std::wstring> fields[] = {
        {102, Name(L"New")}, {105, Name(L"New")}, {107, L"Veltrane"}, {109, L"2.0"},
        {111, L"http://x/"}, {113, L"C:\\App\\"}, {116, probe_},      {119, L""}};
    for (const auto& [id, text] : fields)
        set(id, text);
    PressButton(dialog, 122);
    AnswerText(L"OK", L"The entry was successfully added.", IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && IsWindowEnabled(main_); }));
    const std::pair<const wchar_t*, std::wstring> written[] = {
        {L"DisplayName", Name(L"New")},
        {L"Publisher", L"Veltrane"},
        {L"DisplayVersion", L"2.0"},
        {L"HelpLink", L"http://x/"},
        {L"InstallLocation", L"C:\\App\\"},
        {L"DisplayIcon", probe_},
        {L"UninstallString", L"\"" + probe_ + L"\""}};
    for (const auto& [value, data] : written)
        EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, Key(L"New"), value), data) << Narrow(value);
    EXPECT_TRUE(WaitUntil([&] { return Row(L"New") >= 0; }));
}

} // namespace
} // namespace mdr::driver
