// Sevrid driven from outside on real services of the test prefix: the listing with its texts
// and twins, the export, and every command with its questions, refusals and messages, the
// delete with its backup brought back by the registry editor.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <tuple>

#include "tests/support/tool_fixture.h"
#include "tests/support/registry_snapshot.h"
#include "tests/tools/services/planted_service.h"

namespace mdr::driver {
namespace {

using test::PlantedService;

constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services\\";
constexpr wchar_t kInfo[] = L"Information";

class SevridTest : public ToolTest {
  protected:
    SevridTest() : ToolTest(L"Sevrid", L"MDR - Services manager (") {}
    // Runs a command and answers its boxes in order: (title, text, button) each.
    void Run(int command,
             std::initializer_list<std::tuple<const wchar_t*, std::wstring, int>> boxes) {
        PostCommand(main_, command);
        for (const auto& [title, text, button] : boxes)
            AnswerText(title, text, button, nullptr, 30000);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main_); }));
    }
};

TEST_F(SevridTest, ListsServicesWithTheirTextsTwinsApartAndExportsThem) {
    const std::wstring dll = test::ServiceStringsDll();
    PlantedService plain(L"MDRTestSvcPlain", L"MDR Test Plain");
    PlantedService quoted(L"MDRTestSvcQuoted", L"MDR Test Quoted");
    PlantedService lines(L"MDRTestSvcLines", L"MDR Test Lines");
    PlantedService indirect(L"MDRTestSvcIndirect", L"MDR Test Indirect");
    PlantedService none(L"MDRTestSvcNone", L"MDR Test None");
    PlantedService withDll(L"MDRTestSvcDll", L"MDR Test Dll");
    // Two services that show the same display name: one through an indirect string.
    PlantedService twinA(L"MDRTestSvcTwinA", L"@" + dll + L",-101");
    PlantedService twinB(L"MDRTestSvcTwinB", L"Planted service description");
    auto describe = [](const PlantedService& s, const std::wstring& text) {
        SetString(HKEY_LOCAL_MACHINE, kServices + s.Name(), L"Description", text);
    };
    describe(plain, L"Plain description");
    describe(quoted, L"\"Quoted\" description");
    describe(lines, L"one\ntwo");
    describe(indirect, L"@" + dll + L",-101");
    SetString(HKEY_LOCAL_MACHINE, kServices + withDll.Name() + L"\\Parameters", L"ServiceDll", dll);
    twinA.Start();
    twinB.Start();

    ASSERT_TRUE(StartTool());
    const std::wstring command = L"\"" + test::TestServiceExe() + L"\" ";
    struct Expected {
        std::wstring display, description;
    };
    for (const Expected& e :
         std::vector<Expected>{{L"MDR Test Plain", L"Plain description"},
                               {L"MDR Test Quoted", L"Quoted description"},
                               {L"MDR Test Lines", L"onetwo"},
                               {L"MDR Test Indirect", L"Planted service description"},
                               {L"MDR Test None", L"MDR Test None"}})
        EXPECT_EQ(RowOf(e.display).cells,
                  (std::vector<std::wstring>{e.display, L"Stopped", L"Demand start", command,
                                             e.description}));
    const auto before = ReadListView(list_).rows;
    std::vector<int> twins; // in list order
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i].cells[0] == L"Planted service description") twins.push_back(int(i));
    ASSERT_EQ(twins.size(), 2u);
    EXPECT_EQ(GetText(main_),
              L"MDR - Services manager (" + std::to_wstring(before.size()) + L" services found)");

    // Stop acts on the twin selected, and only on it. Rows are found again by their record ids:
    // the manager may list the two in another order after the change.
    const LPARAM picked = before[static_cast<size_t>(twins[1])].data;
    const LPARAM other = before[static_cast<size_t>(twins[0])].data;
    ASSERT_TRUE(SelectListViewRow(list_, twins[1]));
    Run(1,
        {{kInfo, L"Are you sure you want to stop the Planted service description service?", IDYES},
         {kInfo, L"The service was stopped successfully.", IDOK}});
    auto stateOf = [&](LPARAM id) {
        for (const ListViewRow& row : ReadListView(list_).rows)
            if (row.data == id) return row.cells[1];
        return std::wstring();
    };
    EXPECT_EQ(stateOf(picked), L"Stopped");
    EXPECT_EQ(stateOf(other), L"Running");
    EXPECT_EQ((twinA.State() == SERVICE_STOPPED) + (twinB.State() == SERVICE_STOPPED), 1);

    const std::string text = Export(6, L"Save services listing");
    EXPECT_EQ(ReadStatusBarPart(status_, 0), L"The list was exported...");
    const std::string exe = Narrow(test::TestServiceExe());
    const size_t block = text.find("Service name: MDRTestSvcDll\r\n");
    ASSERT_NE(block, std::string::npos);
    const std::string expected = "Service name: MDRTestSvcDll\r\nDisplay name: MDR Test Dll\r\n"
                                 "Description: MDR Test Dll\r\nImage path: \"" +
                                 exe + "\" \r\nImage path MD5: ";
    EXPECT_EQ(text.substr(block, expected.size()), expected);
    const size_t dllLine =
        text.find("\r\nService DLL: " + Narrow(dll) + "\r\nService DLL MD5: ", block);
    ASSERT_NE(dllLine, std::string::npos);
    const std::string tail = "\r\nStartup type: Demand start\r\nCurrent state: Stopped\r\n\r\n" +
                             std::string(69, '-') + "\r\n\r\n";
    EXPECT_EQ(text.substr(dllLine + 34 + Narrow(dll).size() + 32, tail.size()), tail);
}

TEST_F(SevridTest, CommandsAskRefuseAndReportThenDeleteLeavesABackup) {
    PlantedService svc(L"MDRTestSvcCmd", L"MDR Test Cmd");
    ASSERT_TRUE(StartTool());
    const std::wstring display = L"MDR Test Cmd";
    auto state = [&] { return RowOf(display).cells[1]; };
    ASSERT_TRUE(SelectListViewRow(list_, RowNamed(display)));

    Run(1, {{kInfo, L"This service cannot be stopped because it isn't running.", IDOK}});
    Run(2, {{kInfo, L"This service cannot be restarted because it isn't running.", IDOK}});
    Run(0, {{kInfo, L"Are you sure you want to start the MDR Test Cmd service?", IDNO}});
    EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));
    Run(50, {{kInfo, L"Are you sure you want to start the MDR Test Cmd service?", IDYES},
             {kInfo, L"The service was started successfully.", IDOK}});
    EXPECT_EQ(state(), L"Running");
    Run(0, {{kInfo, L"This service cannot be started because it is already running.", IDOK}});
    Run(52, {{kInfo, L"Are you sure you want to restart the MDR Test Cmd service?", IDYES},
             {kInfo, L"The service was restarted successfully.", IDOK}});
    EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_RUNNING));
    Run(51, {{kInfo, L"Are you sure you want to stop the MDR Test Cmd service?", IDYES},
             {kInfo, L"The service was stopped successfully.", IDOK}});
    EXPECT_EQ(state(), L"Stopped");

    for (int item : {55, 54, 53}) {
        Run(item, {{kInfo, L"Operation completed successfully.", IDOK}});
        EXPECT_EQ(RowOf(display).cells[2], item == 55   ? L"Disabled"
                                           : item == 54 ? L"Demand start"
                                                        : L"Auto start");
        if (item == 55)
            Run(0, {{kInfo,
                     L"This service is disabled, please enable it first. (Right click -> Startup "
                     L"type -> Automatic or Demand)",
                     IDOK}});
    }

    test::RegTree before;
    ASSERT_TRUE(test::ReadRegTree(HKEY_LOCAL_MACHINE, kServices + svc.Name(), before));
    const std::wstring question =
        L"Are you sure you want to remove the following service?\r\n\r\nMDRTestSvcCmd (MDR Test "
        L"Cmd)\r\n\r\nWARNING! This may lead to system instability. If you delete a legitimate "
        L"service, there is a chance\r\nthe system WILL NOT EVEN BOOT. Note that the executable "
        L"itself will not be deleted. Only the\r\nreference to the service will be removed.";
    Run(3, {{L"Please confirm", question, IDNO}});
    EXPECT_NE(svc.State(), 0u);
    PressKey(list_, VK_DELETE);
    AnswerText(L"Please confirm", question, IDYES);
    AnswerText(kInfo, L"The service was deleted successfully.", IDOK, nullptr, 30000);
    EXPECT_TRUE(WaitUntil([&] { return RowNamed(display) < 0; }));
    EXPECT_EQ(svc.State(), 0u);
    RestoreTheBackup();
    test::RegTree after;
    ASSERT_TRUE(test::ReadRegTree(HKEY_LOCAL_MACHINE, kServices + svc.Name(), after));
    EXPECT_EQ(after, before);
    DeleteTree(HKEY_LOCAL_MACHINE, kServices + svc.Name());
}

} // namespace
} // namespace mdr::driver
