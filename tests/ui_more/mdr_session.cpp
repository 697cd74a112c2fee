#include "tests/ui_more/mdr_session.h"

#include "ui/command_ids.h"

namespace mdr::uitest {

Gadgets MdrSession::Start(const std::wstring& arguments, std::initializer_list<int> areas) {
    ConfigValues config;
    config.zones = Zones(areas);
    WriteConfig(config);
    return StartMain(arguments);
}

bool MdrSession::WaitForScanEnd(const Gadgets& g) {
    return WaitUntil([&] { return ScanFinished(g); }, 60000);
}

void MdrSession::Exit(const Gadgets& g) {
    PostCommand(g.main, mdr::kCmdExit);
    auto box = WaitForMessageBox(pid_);
    ASSERT_TRUE(box.has_value()) << "no exit question";
    EXPECT_EQ(box->text, T(216));
    PressButton(box->window, IDYES);
    EXPECT_TRUE(process_->WaitExit(10000));
}

} // namespace mdr::uitest
