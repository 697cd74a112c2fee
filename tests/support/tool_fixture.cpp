#include "tests/support/tool_fixture.h"

namespace mdr::driver {
void ToolTest::SetUp() {
    MdrTest::SetUp();
    CreateDirectoryW((temp_ / L"Plugins").c_str(), nullptr);
    CreateDirectoryW((temp_ / L"Plugins\\Tools").c_str(), nullptr);
    exe_ = temp_ / L"Plugins\\Tools\\" + program_ + L".exe";
    ASSERT_TRUE(CopyFileW((DistDir() + L"Plugins\\Tools\\" + program_ + L".exe").c_str(),
                          exe_.c_str(), FALSE));
    // Every test starts from the default layout.
    layoutFile_ = SettingsDir() + program_ + L".ini";
    if (GetFileAttributesW(layoutFile_.c_str()) != INVALID_FILE_ATTRIBUTES)
        savedLayout_ = ReadFileBytes(layoutFile_);
    DeleteFileW(layoutFile_.c_str());
}

void ToolTest::TearDown() {
    MdrTest::TearDown(); // the tool has ended: it writes no layout after this
    DeleteFileW(layoutFile_.c_str());
    if (savedLayout_) WriteFileBytes(layoutFile_, *savedLayout_);
}

bool ToolTest::StartTool() {
    process_ = &Launch(exe_);
    pid_ = process_->Pid();
    main_ = WaitForWindow(pid_, WindowQuery::Titled(title_), 30000);
    if (!main_) return false;
    list_ = FindDescendant(main_, L"SysListView32", listId_);
    status_ = FindDescendant(main_, L"msctls_statusbar32");
    return list_ != nullptr;
}

int ToolTest::RowNamed(const std::wstring& text, HWND list, size_t column) const {
    const auto rows = ReadListView(list ? list : list_).rows;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].cells.at(column) == text) return static_cast<int>(i);
    return -1;
}

ListViewRow ToolTest::RowOf(const std::wstring& text) const {
    const int row = RowNamed(text);
    return row < 0 ? ListViewRow{} : ReadListView(list_).rows[static_cast<size_t>(row)];
}

std::vector<ListViewRow> ToolTest::RowsStartingWith(std::wstring_view prefix) const {
    std::vector<ListViewRow> rows;
    for (ListViewRow& row : ReadListView(list_).rows)
        if (row.cells[0].starts_with(prefix)) rows.push_back(std::move(row));
    return rows;
}

void ToolTest::Command(int command, std::initializer_list<Box> boxes) {
    PostCommand(main_, command);
    for (const auto& [title, text, button] : boxes)
        AnswerText(title, text, button, nullptr, 30000);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));
}

HWND ToolTest::OpenDialog(int command, const wchar_t* title) {
    PostCommand(main_, command);
    HWND dialog = WaitForWindow(pid_, WindowQuery::Titled(title));
    EXPECT_TRUE(dialog) << "no dialog " << Narrow(title);
    return dialog;
}

std::string ToolTest::Export(int command, const wchar_t* title, bool statusSays) {
    PostCommand(main_, command);
    EXPECT_TRUE(AnswerFileDialog(pid_, title, temp_ / L"listing"));
    EXPECT_TRUE(!statusSays || (WaitForMessageBox(pid_, 60000) &&
                                ReadStatusBarPart(status_, 0) == L"The list was exported..."))
        << "the status line does not say the list was exported";
    AnswerText(L"OK", L"The list was exported successfully.", IDOK, nullptr, 60000);
    return ReadFileBytes(temp_ / L"listing.txt");
}

void ToolTest::RestoreTheBackup() {
    const auto backups = FilesIn(temp_ / L"Backup\\");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(backups[0].starts_with(program_ + std::wstring(L"_"))) << Narrow(backups[0]);
    ImportWithRegedit(temp_ / L"Backup\\" + backups[0]);
}
} // namespace mdr::driver
