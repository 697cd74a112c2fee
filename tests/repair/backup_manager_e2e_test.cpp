// The backup manager, the full backup and the restore-point command of the real MDR.exe, driven
// from outside with the real registry editor: a copy of the install folder with planted backup
// files, test-owned keys under HKCU\Software\MDRTests, and temporary export folders.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <algorithm>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "repair/reg_writer.h"
#include "tests/driver/driver.h"
#include "tests/support/registry_snapshot.h"

using namespace mdr::driver;
using mdr::IniFile;

namespace {

constexpr wchar_t kMainTitle[] = L"Veltrane Registry Cleaner";
const std::wstring kTestRoot = L"Software\\MDRTests\\BackupManagerE2e";

// Menu and toolbar commands, windows and controls as a user meets them.
constexpr int kCmdBackupManager = 15;
constexpr int kCmdFullBackup = 16;
constexpr int kCmdRestorePoint = 17;
constexpr int kBtnBackupManager = 502;
constexpr int kManagerList = 101;
constexpr int kManagerClose = 103;
constexpr int kManagerRemove = 104;
constexpr int kManagerRestore = 105;
constexpr int kProgressText = 150;
constexpr int kProgressBar = 151;
constexpr int kProgressCancel = 153;

// ---- Registry contents, compared exactly ----

struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const Value&) const = default;
};
struct Tree {
    std::map<std::wstring, Value> values;
    std::map<std::wstring, Tree> keys;
    bool operator==(const Tree&) const = default;
};

std::optional<Tree> ReadTree(HKEY root, const std::wstring& path) {
    mdr::UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    Tree tree;
    std::vector<wchar_t> name(32768);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size()), type = 0, size = 0;
        if (RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        Value value{type, std::vector<BYTE>(size)};
        std::wstring valueName(name.data(), length);
        RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type,
                         size ? value.data.data() : nullptr, &size);
        tree.values[valueName] = value;
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        std::wstring child(name.data(), length);
        if (auto sub = ReadTree(root, path + L"\\" + child)) tree.keys[child] = *sub;
    }
    return tree;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                             static_cast<DWORD>(size)),
              ERROR_SUCCESS);
}

// A small tree of every common kind of value.
void PlantKey(const std::wstring& path) {
    mdr::UniqueHkey key, child;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t text[] = L"C:\\Program Files\\Example\\app.exe";
    const DWORD count = 42;
    const BYTE blob[] = {0, 1, 2, 0xFF};
    const wchar_t multi[] = L"first\0second\0";
    const wchar_t expand[] = L"%WINDIR%\\example.dll";
    SetValue(key.get(), L"", REG_SZ, L"default", sizeof(L"default"));
    SetValue(key.get(), L"Path", REG_SZ, text, sizeof(text));
    SetValue(key.get(), L"Count", REG_DWORD, &count, sizeof(count));
    SetValue(key.get(), L"Blob", REG_BINARY, blob, sizeof(blob));
    ASSERT_EQ(RegCreateKeyExW(key.get(), L"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              child.put(), nullptr),
              ERROR_SUCCESS);
    SetValue(child.get(), L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    SetValue(child.get(), L"Expand", REG_EXPAND_SZ, expand, sizeof(expand));
}

// ---- Files ----

std::wstring Utf16Text(const std::string& bytes) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

long long SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Every time of the file set to this local time (Wine reports creation from the others).
void SetFileTimes(const std::wstring& path, const SYSTEMTIME& local) {
    SYSTEMTIME utc;
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME time;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &time));
    mdr::UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.get(), &time, &time, &time));
}

using mdr::test::FilesIn;

// ---- Processes ----

// Registry editors started by the process pid.
std::vector<DWORD> RegistryEditorsOf(DWORD pid) {
    std::vector<DWORD> found;
    mdr::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == pid && mdr::EqualsNoCase(entry.szExeFile, L"regedit.exe"))
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

// Freezes every thread of a process, as a slow disk or a huge registry would hold it.
bool SuspendProcess(DWORD pid) {
    mdr::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int suspended = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        mdr::UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
        if (thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1)) ++suspended;
    }
    return suspended > 0;
}

// ---- The fixture ----

// A file of the settings folder put back as it was at the end of the test.
class KeptFile {
  public:
    explicit KeptFile(std::wstring path) : path_(std::move(path)) {
        existed_ = FileExists(path_);
        if (existed_) bytes_ = ReadFileBytes(path_);
    }
    ~KeptFile() {
        if (existed_) {
            WriteFileBytes(path_, bytes_);
        } else {
            DeleteFileW(path_.c_str());
        }
    }

  private:
    std::wstring path_;
    bool existed_ = false;
    std::string bytes_;
};

class BackupManagerTest : public DriverTest {
  protected:
    void SetUp() override {
        std::wstring settings = SettingsDir();
        for (size_t i = settings.find(L'\\'); i != std::wstring::npos;
             i = settings.find(L'\\', i + 1)) {
            CreateDirectoryW(settings.substr(0, i + 1).c_str(), nullptr);
        }
        config_.emplace(settings + L"Config.ini");
        log_.emplace(settings + L"MDRLog.log");
        DeleteFileW((settings + L"MDRLog.log").c_str());
        ASSERT_EQ(language_.Load(DistDir() + L"Localization\\English.ini"), mdr::FileState::Ok);

        install_ = MakeTempDir(L"mdr_backup_install");
        ASSERT_TRUE(CopyTree(DistDir(), install_));
        backups_ = install_ + L"Backup\\";
        CreateDirectoryW(backups_.c_str(), nullptr);
        SHDeleteKeyW(HKEY_CURRENT_USER, kTestRoot.c_str());
    }

    void TearDown() override {
        DriverTest::TearDown();
        for (const std::wstring& folder : folders_)
            RemoveTree(folder);
        RemoveTree(install_);
        SHDeleteKeyW(HKEY_CURRENT_USER, kTestRoot.c_str());
        log_.reset();
        config_.reset();
    }

    // Language entry n as the program shows it.
    std::wstring Lang(int n) const {
        return mdr::ReplaceAllNoCase(
            language_.GetString(L"MDRLanguageData", L"l" + std::to_wstring(n)), L"<br>", L"\r\n");
    }

    static void WriteConfig(int deleteBackups) {
        std::string text = "[MDRConfig]\r\nDeleteBackups=" + std::to_string(deleteBackups) +
                           "\r\nCreateLog=1\r\n[MDRWindow]\r\nMainWinX=20\r\nMainWinY=20\r\n";
        ASSERT_TRUE(WriteFileBytes(SettingsDir() + L"Config.ini", text));
    }

    std::wstring TempFolder(std::wstring_view prefix) {
        std::wstring folder = MakeTempDir(prefix);
        folders_.push_back(folder);
        return folder;
    }

    // MDR from the copied install folder, up to its main window.
    HWND StartMdr() {
        mdr_ = &LaunchMdr(L"", install_);
        HWND main = WaitForWindow(mdr_->Pid(), WindowQuery::Titled(kMainTitle));
        EXPECT_NE(main, nullptr) << "the main window did not open";
        return main;
    }

    HWND OpenManager(HWND main) {
        EXPECT_TRUE(PostCommand(main, kCmdBackupManager));
        HWND manager = WaitForWindow(mdr_->Pid(), WindowQuery::Titled(Lang(115)));
        EXPECT_NE(manager, nullptr) << "the backup manager did not open";
        return manager;
    }

    // Waits for a message box, checks its words (and that owner is disabled behind it) and
    // answers it; the box is gone on return.
    void Answer(const std::wstring& text, const std::wstring& title, int button,
                HWND owner = nullptr) {
        auto box = WaitForMessageBox(mdr_->Pid());
        ASSERT_TRUE(box) << "no message box; expected: " << mdr::ToUtf8(text);
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->title, title);
        EXPECT_TRUE(box->hasIcon);
        if (owner) {
            EXPECT_EQ(GetWindow(box->window, GW_OWNER), owner);
            EXPECT_FALSE(IsEnabled(owner)) << "the window behind the box takes clicks";
        }
        ASSERT_TRUE(PressButton(box->window, button));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); })) << "the box stayed";
    }

    // The rows of the backup list, by file name.
    static std::map<std::wstring, ListViewRow> Rows(HWND list) {
        std::map<std::wstring, ListViewRow> rows;
        for (const ListViewRow& row : ReadListView(list).rows)
            rows[row.cells.at(0)] = row;
        return rows;
    }

    static int RowOf(HWND list, const std::wstring& name) {
        const auto rows = ReadListView(list).rows;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].cells.at(0) == name) return static_cast<int>(i);
        }
        return -1;
    }

    static void ClearSelection(HWND list) {
        RemoteBuffer item(list, sizeof(LVITEMW));
        LVITEMW clear{};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        ASSERT_TRUE(item.Write(&clear, sizeof(clear)));
        Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), item.Address());
    }

    void CloseMdr(HWND main) {
        ASSERT_TRUE(PostClose(main));
        Answer(Lang(216), Lang(71), IDYES);
        EXPECT_TRUE(mdr_->WaitExit()) << "MDR did not end";
    }

    std::string LogText() const { return ReadFileBytes(SettingsDir() + L"MDRLog.log"); }

    // Picks folder in the system folder picker that MDR shows.
    void ChooseInPicker(const std::wstring& folder) {
        HWND picker = WaitForWindow(mdr_->Pid(), WindowQuery::OfClass(L"#32770"));
        ASSERT_NE(picker, nullptr) << "no folder picker";
        const size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
        RemoteBuffer path(picker, bytes);
        ASSERT_TRUE(path.Write(folder.c_str(), bytes));
        // The picker may still be filling its tree when it shows: select until it holds, since
        // OK without a selection would choose the desktop.
        const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
        HWND tree = FindDescendant(picker, L"SysTreeView32");
        ASSERT_NE(tree, nullptr);
        ASSERT_TRUE(WaitUntil([&] {
            Send(picker, BFFM_SETSELECTIONW, TRUE, path.Address());
            for (const TreeItem& item : ReadTreeView(tree)) {
                if (item.selected) return mdr::EqualsNoCase(item.text, leaf);
            }
            return false;
        })) << "the picker did not select "
            << mdr::ToUtf8(folder);
        ASSERT_TRUE(PressButton(picker, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker); })) << "the picker stayed";
    }

    // The five export files in folder, checked for their roots; returns their names.
    std::vector<std::wstring> ExpectFiveExports(const std::wstring& folder) {
        const std::vector<std::wstring> files = FilesIn(folder);
        EXPECT_EQ(files.size(), 5u);
        if (files.size() != 5) return files;
        // One time text "dd_mm_yy_(hhmmss)" for all five.
        const std::wstring first = files[0];
        const std::wstring time = first.substr(first.find(L'_') + 1, 17);
        EXPECT_EQ(time.size(), 17u);
        EXPECT_EQ(time[2], L'_');
        EXPECT_EQ(time[8], L'_');
        EXPECT_EQ(time[9], L'(');
        EXPECT_EQ(time[16], L')');
        const std::pair<const wchar_t*, const wchar_t*> roots[] = {
            {L"HKCC_", L"HKEY_CURRENT_CONFIG"},
            {L"HKCR_", L"HKEY_CLASSES_ROOT"},
            {L"HKCU_", L"HKEY_CURRENT_USER"},
            {L"HKLM_", L"HKEY_LOCAL_MACHINE"},
            {L"HKU_", L"HKEY_USERS"}};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(files[i], roots[i].first + time + L".reg");
            const std::wstring text = Utf16Text(ReadFileBytes(folder + files[i]));
            EXPECT_TRUE(text.starts_with(L"Windows Registry Editor Version 5.00\r\n"))
                << mdr::ToUtf8(files[i]);
            EXPECT_NE(text.find(L"\r\n[" + std::wstring(roots[i].second)), std::wstring::npos)
                << mdr::ToUtf8(files[i]);
        }
        return files;
    }

    IniFile language_;
    std::optional<KeptFile> config_, log_;
    std::wstring install_, backups_;
    std::vector<std::wstring> folders_;
    Process* mdr_ = nullptr;
};

TEST_F(BackupManagerTest, ListsRestoresRefusesAndRemoves) {
    WriteConfig(1);
    // A backup as fixing writes it, of a key that is then deleted.
    const std::wstring key = kTestRoot + L"\\Restored";
    PlantKey(key);
    const auto before = ReadTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(before);
    const std::wstring good = L"MDR_06_12_26_(054112).reg";
    ASSERT_EQ(mdr::CreateBackupFile(backups_ + good), 1);
    ASSERT_EQ(mdr::BackupKey(mdr::kHkcu, key), 1);
    ASSERT_EQ(mdr::CloseBackupFile(), 1);
    ASSERT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
    SYSTEMTIME created{};
    created.wYear = 2026, created.wMonth = 12, created.wDay = 6;
    created.wHour = 5, created.wMinute = 41, created.wSecond = 12;
    SetFileTimes(backups_ + good, created);
    const long long goodSize = SizeOf(backups_ + good);
    ASSERT_GT(goodSize, 0);
    ASSERT_LT(goodSize, 1024 * 1024);
    wchar_t goodSizeText[32];
    if (goodSize < 1024) {
        swprintf(goodSizeText, 32, L"%lld B", goodSize);
    } else {
        swprintf(goodSizeText, 32, L"%.2f KB", goodSize / 1024.0);
    }

    // Not registry files: refused. Not listed: other names, folders.
    const std::wstring bad = L"MDR_bad.reg", empty = L"MDR_empty.reg";
    std::string badBytes = "This is not a registry file\r\n";
    badBytes.resize(1536, 'x');
    ASSERT_TRUE(WriteFileBytes(backups_ + bad, badBytes));
    ASSERT_TRUE(WriteFileBytes(backups_ + empty, ""));
    ASSERT_TRUE(WriteFileBytes(backups_ + L"notes.txt", "REGEDIT4\r\n"));
    ASSERT_TRUE(WriteFileBytes(backups_ + L"notes.registry", "REGEDIT4\r\n"));
    ASSERT_TRUE(CreateDirectoryW((backups_ + L"folder.reg").c_str(), nullptr));

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    EXPECT_NE(Send(FindDescendant(main, L"ToolbarWindow32"), TB_ISBUTTONENABLED, kBtnBackupManager)
                  .value_or(0),
              0)
        << "the toolbar's backup manager button is disabled";
    HWND manager = OpenManager(main);
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(IsEnabled(main)) << "the main window stays usable behind the manager";
    EXPECT_EQ(ClientSize(manager).cx, 415);
    EXPECT_EQ(ClientSize(manager).cy, 260);
    EXPECT_EQ(GetText(FindDescendant(manager, L"Static", 100)), Lang(116));
    EXPECT_EQ(GetText(FindDescendant(manager, L"Button", kManagerClose)), Lang(120));
    EXPECT_EQ(GetText(FindDescendant(manager, L"Button", kManagerRemove)), Lang(121));
    EXPECT_EQ(GetText(FindDescendant(manager, L"Button", kManagerRestore)), Lang(122));

    HWND list = FindDescendant(manager, L"SysListView32", kManagerList);
    ASSERT_NE(list, nullptr);
    const ListViewContent content = ReadListView(list);
    EXPECT_EQ(content.columnTitles, (std::vector<std::wstring>{Lang(117), Lang(118), Lang(119)}));
    EXPECT_EQ(content.columnWidths, (std::vector<int>{150, 150, 100}));
    ASSERT_EQ(content.rows.size(), 3u);
    EXPECT_TRUE(content.rows[0].selected);
    auto rows = Rows(list);
    ASSERT_EQ(rows.count(good), 1u);
    ASSERT_EQ(rows.count(bad), 1u);
    ASSERT_EQ(rows.count(empty), 1u);
    EXPECT_EQ(rows[good].cells.at(1), L"06/12/26, 05:41:12");
    EXPECT_EQ(rows[good].cells.at(2), goodSizeText);
    EXPECT_EQ(rows[bad].cells.at(2), L"1.50 KB");
    EXPECT_EQ(rows[empty].cells.at(2), L"0 B");
    for (const auto& [name, row] : rows)
        EXPECT_EQ(row.image, 28) << mdr::ToUtf8(name);

    // Nothing selected: both buttons ask for a selection.
    ClearSelection(list);
    ASSERT_TRUE(PressButton(manager, kManagerRemove));
    Answer(Lang(125), Lang(21), IDOK, manager);
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    Answer(Lang(125), Lang(21), IDOK);

    // A bad header and an empty file are refused and stay.
    for (const std::wstring& refused : {bad, empty}) {
        ASSERT_TRUE(SelectListViewRow(list, RowOf(list, refused)));
        ASSERT_TRUE(PressButton(manager, kManagerRestore));
        Answer(Lang(127), Lang(23), IDOK);
        EXPECT_TRUE(FileExists(backups_ + refused));
        EXPECT_EQ(Rows(list).count(refused), 1u);
    }

    // The backup puts the key back exactly; with DeleteBackups 1 the file goes.
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, good)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    Answer(Lang(126), Lang(21), IDOK, manager);
    const auto after = ReadTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(after) << "the key was not restored";
    EXPECT_EQ(*after, *before);
    EXPECT_FALSE(FileExists(backups_ + good));
    EXPECT_EQ(Rows(list).count(good), 0u);
    EXPECT_TRUE(RegistryEditorsOf(mdr_->Pid()).empty());

    // Remove asks with the full path; No keeps the file, Yes deletes it and its row.
    const std::wstring question =
        mdr::ReplaceAllNoCase(Lang(123), L"$REMOVEFILE$", L"\"" + backups_ + bad + L"\"");
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, bad)));
    ASSERT_TRUE(PressButton(manager, kManagerRemove));
    Answer(question, Lang(71), IDNO, manager);
    EXPECT_TRUE(FileExists(backups_ + bad));
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, bad)));
    ASSERT_TRUE(PressButton(manager, kManagerRemove));
    Answer(question, Lang(71), IDYES);
    EXPECT_FALSE(FileExists(backups_ + bad));
    EXPECT_EQ(Rows(list).size(), 1u);
    EXPECT_EQ(Rows(list).count(empty), 1u);

    ASSERT_TRUE(PressButton(manager, kManagerClose));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(manager); })) << "the manager stayed open";
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); })) << "the main window stayed disabled";
    EXPECT_TRUE(FileExists(backups_ + L"notes.txt"));
    CloseMdr(main);
    const std::string log = LogText();
    EXPECT_NE(log.find("ManageBackupWindow()\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ManageBackupWindow() -> retn\r\n"), std::string::npos) << log;
}

TEST_F(BackupManagerTest, KeepsRestoredFileWhenAskedAndReportsUndeletableFiles) {
    WriteConfig(0);
    const std::wstring key = kTestRoot + L"\\Kept";
    PlantKey(key);
    const auto before = ReadTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(before);
    const std::wstring kept = L"MDR_kept.reg";
    ASSERT_EQ(mdr::CreateBackupFile(backups_ + kept), 1);
    ASSERT_EQ(mdr::BackupKey(mdr::kHkcu, key), 1);
    ASSERT_EQ(mdr::CloseBackupFile(), 1);
    ASSERT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
    // The old "REGEDIT4" form in ANSI is a registry file too.
    const std::wstring old = L"MDR_regedit4.reg";
    ASSERT_TRUE(WriteFileBytes(backups_ + old, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" +
                                                   mdr::ToUtf8(kTestRoot) +
                                                   "\\Old]\r\n\"Four\"=\"4\"\r\n\r\n"));

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    HWND manager = OpenManager(main);
    ASSERT_NE(manager, nullptr);
    HWND list = FindDescendant(manager, L"SysListView32", kManagerList);
    ASSERT_EQ(ListViewCount(list), 2);

    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, kept)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    Answer(Lang(126), Lang(21), IDOK);
    const auto after = ReadTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, *before);
    EXPECT_TRUE(FileExists(backups_ + kept));
    EXPECT_EQ(Rows(list).count(kept), 1u);

    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, old)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    Answer(Lang(126), Lang(21), IDOK);
    EXPECT_TRUE(FileExists(backups_ + old));

    // A file held open without delete sharing cannot go: the warning, and the row stays.
    {
        mdr::UniqueFile held(CreateFileW((backups_ + kept).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        ASSERT_TRUE(SelectListViewRow(list, RowOf(list, kept)));
        ASSERT_TRUE(PressButton(manager, kManagerRemove));
        Answer(mdr::ReplaceAllNoCase(Lang(123), L"$REMOVEFILE$", L"\"" + backups_ + kept + L"\""),
               Lang(71), IDYES);
        Answer(Lang(124), Lang(19), IDOK);
        EXPECT_TRUE(FileExists(backups_ + kept));
        EXPECT_EQ(Rows(list).count(kept), 1u);
    }

    // Esc closes the window like its close box.
    ASSERT_TRUE(PostClose(manager));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(manager); })) << "the manager stayed open";
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    CloseMdr(main);
}

TEST_F(BackupManagerTest, FullBackupWritesFiveRootsAndRestorePointCommandReports) {
    WriteConfig(1);
    const std::wstring marker = kTestRoot + L"\\FullBackupMarker";
    PlantKey(marker);
    const std::wstring folder = TempFolder(L"mdr_full_backup");

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostCommand(main, kCmdFullBackup));
    ChooseInPicker(folder.substr(0, folder.size() - 1));

    // The exports are quick here: the progress window may come and go between two looks.
    bool seen = false, mainDisabled = false;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!TopLevelWindows(mdr_->Pid(), WindowQuery::Titled(Lang(111))).empty()) {
                seen = true;
                mainDisabled = mainDisabled || !IsEnabled(main);
            }
            return LogText().find("FullbackupWindow() -> retn") != std::string::npos;
        },
        300000))
        << "the full backup did not end";
    if (seen) {
        EXPECT_TRUE(mainDisabled) << "the main window stayed usable";
    }
    EXPECT_TRUE(TopLevelWindows(mdr_->Pid(), WindowQuery::Titled(Lang(111))).empty());
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    const auto files = ExpectFiveExports(folder);
    if (files.size() == 5) {
        const std::wstring hkcu = Utf16Text(ReadFileBytes(folder + files[2]));
        EXPECT_NE(hkcu.find(L"[HKEY_CURRENT_USER\\" + marker + L"\\Child]"), std::wstring::npos);
    }
    EXPECT_TRUE(RegistryEditorsOf(mdr_->Pid()).empty());
    const std::string log = LogText();
    EXPECT_NE(log.find("FullbackupWindow()\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("FullbackupWindow() -> retn\r\n"), std::string::npos) << log;

    // Wine's System Restore is a stub whose call fails: the unexpected-result warning.
    ASSERT_TRUE(PostCommand(main, kCmdRestorePoint));
    Answer(Lang(29), Lang(23), IDOK);

    // A cancelled picker exports nothing.
    const std::wstring unused = TempFolder(L"mdr_full_backup_unused");
    ASSERT_TRUE(PostCommand(main, kCmdFullBackup));
    HWND picker = WaitForWindow(mdr_->Pid(), WindowQuery::OfClass(L"#32770"));
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(PressButton(picker, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker) && IsEnabled(main); }));
    EXPECT_TRUE(TopLevelWindows(mdr_->Pid(), WindowQuery::Titled(Lang(111))).empty());
    EXPECT_TRUE(FilesIn(unused).empty());
    CloseMdr(main);
}

TEST_F(BackupManagerTest, CancelDuringSecondExportKeepsPartialFile) {
    WriteConfig(1);
    // Enough data under HKCU that its export takes a moment, and a last key after it.
    const std::wstring big = kTestRoot + L"\\Cancel";
    {
        mdr::UniqueHkey a, z;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (big + L"\\A_Big").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, a.put(), nullptr),
                  ERROR_SUCCESS);
        std::vector<BYTE> blob(1024 * 1024);
        for (size_t i = 0; i < blob.size(); ++i)
            blob[i] = static_cast<BYTE>(i * 7);
        for (int i = 0; i < 6; ++i) {
            SetValue(a.get(), (L"Blob" + std::to_wstring(i)).c_str(), REG_BINARY, blob.data(),
                     blob.size());
        }
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (big + L"\\Z_Last").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, z.put(), nullptr),
                  ERROR_SUCCESS);
    }
    const std::wstring folder = TempFolder(L"mdr_full_backup_cancel");

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostCommand(main, kCmdFullBackup));
    ChooseInPicker(folder.substr(0, folder.size() - 1));
    HWND window = WaitForWindow(mdr_->Pid(), WindowQuery::Titled(Lang(111)));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetText(FindDescendant(window, L"Button", kProgressCancel)), Lang(32));

    // Hold the second export where it is, so that the cancel surely meets it running.
    auto hkcuFile = [&] {
        for (const std::wstring& name : FilesIn(folder))
            if (name.starts_with(L"HKCU_")) return name;
        return std::wstring();
    };
    DWORD editor = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (hkcuFile().empty()) return false;
            const auto editors = RegistryEditorsOf(mdr_->Pid());
            if (editors.size() != 1 || !SuspendProcess(editors[0])) return false;
            editor = editors[0];
            return true;
        },
        60000))
        << "the second export was not seen running";
    mdr::UniqueHandle editorHandle(OpenProcess(SYNCHRONIZE, FALSE, editor));
    ASSERT_TRUE(editorHandle);
    ASSERT_EQ(FilesIn(folder).size(), 2u) << "the export held is not the second one";
    EXPECT_EQ(GetText(FindDescendant(window, L"Static", kProgressText)),
              Lang(112) + L" HKEY_CLASSES_ROOT...");
    EXPECT_EQ(Send(FindDescendant(window, L"msctls_progress32", kProgressBar), PBM_GETPOS),
              std::optional<LRESULT>(20));
    // While the editor runs the program answers at once.
    EXPECT_TRUE(Send(window, WM_NULL, 0, 0, 2000).has_value());

    // No goes on waiting; Yes ends the editor and closes the window.
    ASSERT_TRUE(PressButton(window, kProgressCancel));
    Answer(Lang(114), Lang(71), IDNO, window);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(WaitForSingleObject(editorHandle.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(PressButton(window, kProgressCancel));
    Answer(Lang(114), Lang(71), IDYES, window);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); })) << "the window stayed";
    EXPECT_EQ(WaitForSingleObject(editorHandle.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the registry editor was left running";
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));

    // The first export is whole, the second stays as far as it got, no others come.
    Sleep(500);
    const std::vector<std::wstring> files = FilesIn(folder);
    ASSERT_EQ(files.size(), 2u);
    const std::wstring hkcr = folder + files[0];
    EXPECT_TRUE(files[0].starts_with(L"HKCR_"));
    const std::wstring reference = folder + L"reference.txt";
    Process regedit = Process::Start(L"C:\\windows\\regedit.exe",
                                     L"/E \"" + reference + L"\" \"HKEY_CLASSES_ROOT\"");
    ASSERT_TRUE(regedit.WaitExit(60000));
    EXPECT_EQ(SizeOf(hkcr), SizeOf(reference)) << "the first export is not complete";
    const std::wstring partial = Utf16Text(ReadFileBytes(folder + hkcuFile()));
    EXPECT_EQ(partial.find(L"[HKEY_CURRENT_USER\\" + big + L"\\Z_Last]"), std::wstring::npos)
        << "the second export is complete";
    CloseMdr(main);
}

// Puts the registry editor of this (throwaway) prefix aside and back again.
class EditorAside {
  public:
    explicit EditorAside(std::wstring path) : path_(std::move(path)), aside_(path_ + L".aside") {
        moved_ = MoveFileW(path_.c_str(), aside_.c_str()) != 0;
    }
    ~EditorAside() {
        if (moved_) MoveFileW(aside_.c_str(), path_.c_str());
    }
    bool Moved() const { return moved_; }

  private:
    std::wstring path_, aside_;
    bool moved_ = false;
};

TEST_F(BackupManagerTest, FullBackupWithoutRegistryEditorSaysSoAndAsksNothing) {
    WriteConfig(1);
    wchar_t windows[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, windows, CSIDL_WINDOWS, FALSE));
    const std::wstring editor = std::wstring(windows) + L"\\regedit.exe";
    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    {
        EditorAside aside(editor);
        ASSERT_TRUE(aside.Moved());
        ASSERT_TRUE(PostCommand(main, kCmdFullBackup));
        Answer(mdr::ReplaceAllNoCase(Lang(110), L"$REGEDITEXE$", editor), Lang(19), IDOK, main);
    }
    EXPECT_TRUE(FileExists(editor));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    EXPECT_TRUE(TopLevelWindows(mdr_->Pid(), WindowQuery::Titled(Lang(111))).empty());
    CloseMdr(main);
}

TEST_F(BackupManagerTest, FirstRunOffersFullBackupAndRestorePoint) {
    DeleteFileW((SettingsDir() + L"Config.ini").c_str());
    const std::wstring folder = TempFolder(L"mdr_first_run_backup");
    mdr_ = &LaunchMdr(L"", install_);
    Answer(Lang(153), Lang(152), IDYES);
    ChooseInPicker(folder.substr(0, folder.size() - 1));
    // Wine's System Restore stub fails the call: the unexpected-result warning, after the
    // exports and before the main window.
    Answer(Lang(29), Lang(23), IDOK);
    ExpectFiveExports(folder);
    HWND main = WaitForWindow(mdr_->Pid(), WindowQuery::Titled(kMainTitle));
    ASSERT_NE(main, nullptr);
    CloseMdr(main);
}

TEST_F(BackupManagerTest, IncompleteRestoreKeepsTheFileAndNamesWhatDidNotComeBack) {
    WriteConfig(1);
    // A key name no registry takes: the editor runs, and nothing comes back.
    const std::wstring key = L"HKEY_CURRENT_USER\\" + kTestRoot + L"\\" + std::wstring(300, L'k');
    const std::wstring text =
        L"Windows Registry Editor Version 5.00\r\n\r\n[" + key + L"]\r\n\"v\"=\"1\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    const std::wstring name = L"MDR_lost.reg";
    ASSERT_TRUE(WriteFileBytes(backups_ + name, bytes));

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    HWND manager = OpenManager(main);
    ASSERT_NE(manager, nullptr);
    HWND list = FindDescendant(manager, L"SysListView32", kManagerList);
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, name)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    const std::wstring shown = key.substr(0, 120) + L"...";
    Answer(Lang(127) + L"\r\n\r\n2 entries of the backup did not come back:\r\n" + shown + L"\r\n" +
               shown,
           Lang(23), IDOK);
    EXPECT_TRUE(FileExists(backups_ + name)) << "DeleteBackups=1 took the only copy";
    EXPECT_EQ(Rows(list).count(name), 1u);
    ASSERT_TRUE(PostClose(manager));
    CloseMdr(main);
}

} // namespace
