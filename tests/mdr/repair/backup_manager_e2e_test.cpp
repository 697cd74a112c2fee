// The backup manager, the full backup and the restore-point command of the real MDR.exe, driven
// from outside with the real registry editor: a copy of the install folder with planted backup
// files, test-owned keys under HKCU\Software\MDRTests, and temporary export folders.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "regfile/reg_writer.h"
#include "tests/support/mdr_fixtures.h"
#include "tests/support/registry_snapshot.h"
#include "mdr/ui/command_ids.h"

using namespace mdr::driver;
using mdr::test::FilesIn;
using mdr::test::ReadRegTree;
using mdr::test::RegTree;

namespace {

const std::wstring kTestRoot = L"Software\\MDRTests\\BackupManagerE2e";

// Controls as a user meets them.
constexpr int kManagerList = 101;
constexpr int kManagerRemove = 104;
constexpr int kManagerRestore = 105;
constexpr int kProgressCancel = 153;
// The slowest real step: five exports of the whole registry on a busy two-core machine.
constexpr DWORD kFullBackupBound = 300000;

// A small tree of every common kind of value.
void PlantKey(const std::wstring& path) {
    const wchar_t multi[] = L"first\0second\0";
    const BYTE blob[] = {0, 1, 2, 0xFF};
    SetString(HKEY_CURRENT_USER, path, L"", L"default");
    SetString(HKEY_CURRENT_USER, path, L"Path", L"C:\\Program Files\\Example\\app.exe");
    SetDword(HKEY_CURRENT_USER, path, L"Count", 42);
    SetValue(HKEY_CURRENT_USER, path, L"Blob", REG_BINARY, blob, sizeof(blob));
    SetValue(HKEY_CURRENT_USER, path + L"\\Child", L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
}

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

class BackupManagerTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        install_ = CopyOfInstall();
        backups_ = install_ + L"Backup\\";
        CreateDirectoryW(backups_.c_str(), nullptr);
        folder_ = MakeTempDir(L"mdr_full_backup");
        DeleteTree(HKEY_CURRENT_USER, kTestRoot);
    }
    void CleanUp() override {
        RemoveTree(folder_);
        DeleteTree(HKEY_CURRENT_USER, kTestRoot);
    }

    // MDR from the copied install folder (DeleteBackups 1), up to its main window.
    HWND StartMdr() {
        WriteConfig(ConfigValues{});
        return StartMain(L"", install_).main;
    }

    static int RowOf(HWND list, const std::wstring& name) {
        const auto rows = ReadListView(list).rows;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].cells.at(0) == name) return static_cast<int>(i);
        }
        return -1;
    }

    // Picks the export folder in the system folder picker that MDR shows.
    void ChooseInPicker() {
        const std::wstring folder = folder_.substr(0, folder_.size() - 1);
        HWND picker = WaitForWindow(pid_, WindowQuery::OfClass(L"#32770"));
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
            << Narrow(folder);
        ASSERT_TRUE(PressButton(picker, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker); })) << "the picker stayed";
    }

    std::wstring install_, backups_, folder_;
};

TEST_F(BackupManagerTest, RestoresExactlyRefusesWhatIsNoRegistryFileAndRemoves) {
    const std::wstring key = kTestRoot + L"\\Restored";
    const std::wstring good = L"MDR_06_12_26_(054112).reg", bad = L"MDR_bad.reg";
    // A backup as fixing writes it, of a key that is then deleted.
    PlantKey(key);
    RegTree before, after;
    ASSERT_TRUE(ReadRegTree(HKEY_CURRENT_USER, key, before));
    ASSERT_EQ(mdr::CreateBackupFile(backups_ + good), 1);
    ASSERT_EQ(mdr::BackupKey(mdr::kHkcu, key), 1);
    ASSERT_EQ(mdr::CloseBackupFile(), 1);
    DeleteTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(
        WriteFileBytes(backups_ + bad, "This is not a registry file\r\n[HKEY_CURRENT_USER\\" +
                                           Narrow(kTestRoot) + "\\Bad]\r\n"));
    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostCommand(main, mdr::kCmdBackupManager));
    HWND manager = WaitForWindow(pid_, WindowQuery::Titled(T(Text::BackupManagerTitle)));
    ASSERT_NE(manager, nullptr) << "the backup manager did not open";
    HWND list = FindDescendant(manager, L"SysListView32", kManagerList);
    ASSERT_EQ(ListViewCount(list), 2);

    // A file without the header is refused, imports nothing and stays; the warning names what
    // it holds.
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, bad)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    AnswerText(T(Text::WarningTitle),
               T(Text::BackupNotRestored) +
                   L"\r\n\r\n1 entry of the backup did not come back:\r\nHKEY_CURRENT_USER\\" +
                   kTestRoot + L"\\Bad",
               IDOK);
    EXPECT_TRUE(FileExists(backups_ + bad));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestRoot + L"\\Bad"));

    // The backup puts the key back exactly; with DeleteBackups 1 the file and its row go.
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, good)));
    ASSERT_TRUE(PressButton(manager, kManagerRestore));
    AnswerText(T(Text::InformationTitle), T(Text::BackupRestored), IDOK, manager);
    ASSERT_TRUE(ReadRegTree(HKEY_CURRENT_USER, key, after)) << "the key was not restored";
    EXPECT_EQ(after, before);
    EXPECT_FALSE(FileExists(backups_ + good));
    EXPECT_EQ(RowOf(list, good), -1);

    // Remove asks with the full path; Yes deletes the file and its row.
    ASSERT_TRUE(SelectListViewRow(list, RowOf(list, bad)));
    ASSERT_TRUE(PressButton(manager, kManagerRemove));
    AnswerText(T(Text::ConfirmTitle),
               Fill(T(Text::BackupDeleteQuestion), L"$REMOVEFILE$", L"\"" + backups_ + bad + L"\""),
               IDYES);
    EXPECT_FALSE(FileExists(backups_ + bad));
    EXPECT_EQ(ListViewCount(list), 0);
    ASSERT_TRUE(PostClose(manager));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main); }))
        << "the main window stayed disabled";
    Exit(FindGadgets(main));
}

TEST_F(BackupManagerTest, CancelDuringSecondExportEndsTheEditorAndKeepsThePartialFile) {
    // Enough data under HKCU that its export takes a moment, and a last key after it.
    const std::wstring big = kTestRoot + L"\\Cancel";
    std::vector<BYTE> blob(1024 * 1024);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<BYTE>(i * 7);
    for (int i = 0; i < 6; ++i) {
        SetValue(HKEY_CURRENT_USER, big + L"\\A_Big", L"Blob" + std::to_wstring(i), REG_BINARY,
                 blob.data(), static_cast<DWORD>(blob.size()));
    }
    SetDword(HKEY_CURRENT_USER, big + L"\\Z_Last", L"Last", 1);

    HWND main = StartMdr();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PostCommand(main, mdr::kCmdFullBackup));
    ChooseInPicker();
    HWND window = WaitForWindow(pid_, WindowQuery::Titled(T(Text::FullBackupTitle)));
    ASSERT_NE(window, nullptr);

    // Hold the second export where it is, so that the cancel surely meets it running.
    auto hkcuFile = [&] {
        for (const std::wstring& name : FilesIn(folder_))
            if (name.starts_with(L"HKCU_")) return name;
        return std::wstring();
    };
    DWORD editor = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (hkcuFile().empty()) return false;
            const auto editors = RegistryEditorsOf(pid_);
            if (editors.size() != 1 || !SuspendProcess(editors[0])) return false;
            editor = editors[0];
            return true;
        },
        kFullBackupBound))
        << "the second export was not seen running";
    mdr::UniqueHandle editorHandle(OpenProcess(SYNCHRONIZE, FALSE, editor));
    ASSERT_TRUE(editorHandle);
    ASSERT_EQ(FilesIn(folder_).size(), 2u) << "the export held is not the second one";
    // While the editor runs the program answers at once.
    EXPECT_TRUE(Send(window, WM_NULL, 0, 0, 2000).has_value());

    // No goes on waiting; Yes ends the editor and closes the window.
    ASSERT_TRUE(PressButton(window, kProgressCancel));
    AnswerText(T(Text::ConfirmTitle), T(Text::FullBackupCancelQuestion), IDNO, window);
    EXPECT_EQ(WaitForSingleObject(editorHandle.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(PressButton(window, kProgressCancel));
    AnswerText(T(Text::ConfirmTitle), T(Text::FullBackupCancelQuestion), IDYES, window);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); })) << "the window stayed";
    EXPECT_EQ(WaitForSingleObject(editorHandle.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the registry editor was left running";
    // The main window takes input again only once the full backup has ended.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main); })) << "the full backup did not end";

    // The first export is whole, the second stays as far as it got, no others came.
    const std::vector<std::wstring> files = FilesIn(folder_);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].starts_with(L"HKCR_"));
    const std::wstring reference = install_ + L"reference.txt";
    Process regedit = Process::Start(L"C:\\windows\\regedit.exe",
                                     L"/E \"" + reference + L"\" \"HKEY_CLASSES_ROOT\"");
    ASSERT_TRUE(regedit.WaitExit(kFullBackupBound));
    EXPECT_EQ(mdr::FileSizeOf(folder_ + files[0]), mdr::FileSizeOf(reference))
        << "the first export is not whole";
    EXPECT_EQ(mdr::DecodeText(ReadFileBytes(folder_ + hkcuFile()))
                  .find(L"[HKEY_CURRENT_USER\\" + big + L"\\Z_Last]"),
              std::wstring::npos)
        << "the second export is complete";
    Exit(FindGadgets(main));
}

TEST_F(BackupManagerTest, FirstRunOffersFullBackupAndRestorePoint) {
    PlantKey(kTestRoot + L"\\FullBackupMarker");
    DeleteFileW(ConfigPath().c_str());
    process_ = &LaunchMdr(L"", install_);
    pid_ = process_->Pid();
    Answer(Text::FirstRunTitle, Text::FirstRunQuestion, IDYES);
    ChooseInPicker();
    // After the five exports (however long they take here) and before the main window: Wine's
    // System Restore stub fails the call, so the unexpected-result warning.
    AnswerText(T(Text::WarningTitle), T(Text::RestorePointUnexpected), IDOK, nullptr,
               kFullBackupBound);
    // Five exports with one time (their names are the full-backup unit tests'); HKCU's holds
    // the planted key.
    const std::vector<std::wstring> files = FilesIn(folder_);
    ASSERT_EQ(files.size(), 5u);
    for (const std::wstring& file : files) {
        EXPECT_EQ(file.substr(file.find(L'_')), files[0].substr(files[0].find(L'_')));
        const std::wstring text = mdr::DecodeText(ReadFileBytes(folder_ + file));
        EXPECT_TRUE(text.starts_with(L"Windows Registry Editor Version 5.00\r\n")) << Narrow(file);
        EXPECT_EQ(text.find(L"\r\n[HKEY_CURRENT_USER\\" + kTestRoot +
                            L"\\FullBackupMarker\\Child]") != std::wstring::npos,
                  file.starts_with(L"HKCU_"))
            << Narrow(file);
    }
    EXPECT_TRUE(RegistryEditorsOf(pid_).empty());
    HWND main = WaitForWindow(pid_, WindowQuery::OfClass(mdr::kMainWindowClass));
    ASSERT_NE(main, nullptr);
    // The restore-point command meets the same stub.
    ASSERT_TRUE(PostCommand(main, mdr::kCmdRestorePoint));
    Answer(Text::WarningTitle, Text::RestorePointUnexpected, IDOK);
    Exit(FindGadgets(main));
}

} // namespace
