#include "tests/support/tool_fixture.h"

namespace mdr::driver {

void ToolTest::SetUp() {
    MdrTest::SetUp();
    CreateDirectoryW((temp_ / L"Plugins").c_str(), nullptr);
    CreateDirectoryW((temp_ / L"Plugins\\Tools").c_str(), nullptr);
    exe_ = temp_ / L"Plugins\\Tools\\" + program_ + L".exe";
    ASSERT_TRUE(CopyFileW((DistDir() + L"Plugins\\Tools\\" + program_ + L".exe").c_str(),
                          exe_.c_str(), FALSE));
}

bool ToolTest::StartTool() {
    process_ = &Launch(exe_);
    pid_ = process_->Pid();
    main_ = WaitForWindow(pid_, WindowQuery::Titled(title_), 30000);
    if (!main_) return false;
    list_ = FindDescendant(main_, L"SysListView32", 200);
    status_ = FindDescendant(main_, L"msctls_statusbar32");
    return list_ != nullptr;
}

int ToolTest::RowNamed(const std::wstring& text, HWND list) const {
    const auto rows = ReadListView(list ? list : list_).rows;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].cells[0] == text) return static_cast<int>(i);
    return -1;
}

std::vector<std::wstring> ToolTest::CellsOf(const std::wstring& text, HWND list) const {
    const int row = RowNamed(text, list);
    return row < 0 ? std::vector<std::wstring>{}
                   : ReadListView(list ? list : list_).rows[static_cast<size_t>(row)].cells;
}

} // namespace mdr::driver
