// Sevrid driven from outside on real services of the test prefix: the listing with its texts
// and twins, the export, and every command with its questions, refusals and messages, the
// delete with its backup brought back by the registry editor.
#include <cstring>
#include <memory>
#include "tests/support/tool_fixture.h"
#include "tests/tools/sevrid/planted_service.h"

namespace mdr::driver {
namespace {
using test::PlantedService;

constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services\\";
constexpr wchar_t kInfo[] = L"Information";

class SevridTest : public ToolTest {
  protected:
    SevridTest() : ToolTest(L"Sevrid", L"MDR - Services manager (") {}
    static std::wstring DeleteQuestion(const std::wstring& service) {
        return L"Are you sure you want to remove the following service?\r\n\r\n" + service +
               L"\r\n\r\nWARNING! This may lead to system instability. If you delete a "
               L"legitimate service, there is a chance\r\nthe system WILL NOT EVEN BOOT. Note that "
               L"the executable itself will not be deleted. Only the\r\nreference to the service "
               L"will be removed.";
    }
};

TEST_F(SevridTest, ListsServicesWithTheirTextsTwinsApartAndExportsThem) {
    const std::wstring dll = test::ServiceStringsDll();
    // Each service's name, display name, description as planted ("" none) and as shown.
    const struct {
        const wchar_t *name, *display;
        std::wstring planted, shown;
    } planted[] = {
        {L"MDRTestSvcPlain", L"MDR Test Plain", L"Plain description", L"Plain description"},
        {L"MDRTestSvcQuoted", L"MDR Test Quoted", L"\"Quoted\" description", L"Quoted description"},
        {L"MDRTestSvcLines", L"MDR Test Lines", L"one\ntwo", L"onetwo"},
        {L"MDRTestSvcIndirect", L"MDR Test Indirect", L"@" + dll + L",-101",
         L"Planted service description"},
        {L"MDRTestSvcNone", L"MDR Test None", L"", L"MDR Test None"},
        {L"MDRTestSvcDll", L"MDR Test Dll", L"", L"MDR Test Dll"}};
    std::vector<std::unique_ptr<PlantedService>> services;
    for (const auto& p : planted) {
        services.push_back(std::make_unique<PlantedService>(p.name, p.display));
        if (!p.planted.empty())
            SetString(HKEY_LOCAL_MACHINE, kServices + std::wstring(p.name), L"Description",
                      p.planted);
    }
    SetString(HKEY_LOCAL_MACHINE, kServices + std::wstring(L"MDRTestSvcDll\\Parameters"),
              L"ServiceDll", dll);
    // Two services that show the same display name: one through an indirect string.
    PlantedService twinA(L"MDRTestSvcTwinA", L"@" + dll + L",-101");
    PlantedService twinB(L"MDRTestSvcTwinB", L"Planted service description");
    twinA.Start();
    twinB.Start();

    ASSERT_TRUE(StartTool());
    for (const auto& p : planted)
        EXPECT_EQ(RowOf(p.display).cells,
                  (std::vector<std::wstring>{p.display, L"Stopped", L"Demand start",
                                             L"\"" + test::TestServiceExe() + L"\" ", p.shown,
                                             L"LocalSystem", L"", L"", L"Service"}));
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
    Command(1, {{kInfo, L"Are you sure you want to stop the Planted service description service?",
                 IDYES},
                {kInfo, L"The service was stopped successfully.", IDOK}});
    auto stateOf = [&](LPARAM id) {
        for (const ListViewRow& row : ReadListView(list_).rows)
            if (row.data == id) return row.cells[1];
        return std::wstring();
    };
    EXPECT_EQ(stateOf(picked), L"Stopped");
    EXPECT_EQ(stateOf(other), L"Running");
    EXPECT_EQ((twinA.State() == SERVICE_STOPPED) + (twinB.State() == SERVICE_STOPPED), 1);

    const std::string text = Export(6, L"Save services listing", true);
    // One record, its digests standing for any 32 hex digits.
    const size_t block = text.find("\r\nService name: MDRTestSvcDll\r\n");
    ASSERT_NE(block, std::string::npos);
    std::string record = text.substr(block, text.find("\r\n\r\n", block + 2) - block);
    for (const char* label : {"Image path MD5: ", "Service DLL MD5: "})
        if (const size_t at = record.find(label); at != std::string::npos)
            record.replace(at + strlen(label), 32, "<md5>");
    EXPECT_EQ(record, "\r\nService name: MDRTestSvcDll\r\nDisplay name: MDR Test Dll\r\n"
                      "Description: MDR Test Dll\r\nImage path: \"" +
                          Narrow(test::TestServiceExe()) +
                          "\" \r\nImage path MD5: <md5>\r\nService DLL: " + Narrow(dll) +
                          "\r\nService DLL MD5: <md5>\r\nStartup type: Demand start\r\nCurrent "
                          "state: Stopped");
}

// A service whose command names an icon file with a lying directory (22 bytes that crashed the
// system's icon reader): the tool opens and lists it with the default icon.
TEST_F(SevridTest, AServiceNamingALyingIconFileIsListedAndNeverStopsTheTool) {
    const std::wstring lying = temp_ / L"lying.ico";
    ASSERT_TRUE(test::WriteFileBytes(lying, test::IconFile(65535, 40, 22)));
    PlantedService service(L"MDRTestSvcLying", L"MDR Test Lying", L"", lying);
    ASSERT_TRUE(StartTool()) << "the tool did not open";
    const ListViewRow row = RowOf(L"MDR Test Lying");
    ASSERT_FALSE(row.cells.empty());
    EXPECT_EQ(row.image, 0);
}

TEST_F(SevridTest, CommandsAskRefuseAndReportAndEveryChangeLeavesABackup) {
    PlantedService svc(L"MDRTestSvcCmd", L"MDR Test Cmd");
    ASSERT_TRUE(StartTool());
    const std::wstring display = L"MDR Test Cmd";
    auto state = [&] { return RowOf(display).cells[1]; };
    ASSERT_TRUE(SelectListViewRow(list_, RowNamed(display)));

    Command(1, {{kInfo, L"This service cannot be stopped because it isn't running.", IDOK}});
    Command(2, {{kInfo, L"This service cannot be restarted because it isn't running.", IDOK}});
    Command(0, {{kInfo, L"Are you sure you want to start the MDR Test Cmd service?", IDNO}});
    EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));
    Command(50, {{kInfo, L"Are you sure you want to start the MDR Test Cmd service?", IDYES},
                 {kInfo, L"The service was started successfully.", IDOK}});
    EXPECT_EQ(state(), L"Running");
    Command(0, {{kInfo, L"This service cannot be started because it is already running.", IDOK}});
    Command(51, {{kInfo, L"Are you sure you want to stop the MDR Test Cmd service?", IDYES},
                 {kInfo, L"The service was stopped successfully.", IDOK}});
    EXPECT_EQ(state(), L"Stopped");

    for (const auto& [item, type] :
         {std::pair{55, L"Disabled"}, {54, L"Demand start"}, {53, L"Auto start"}}) {
        Command(item, {{kInfo, L"Operation completed successfully.", IDOK}});
        EXPECT_EQ(RowOf(display).cells[2], type);
        if (item == 55)
            Command(0, {{kInfo,
                         L"This service is disabled, please enable it first. (Right click "
                         L"-> Startup type -> Automatic or Demand)",
                         IDOK}});
    }
    // Each change is backed up first; the first backup gives back the type before Disabled.
    const auto backups = test::FilesIn(temp_ / L"Backup\\");
    ASSERT_EQ(backups.size(), 3u);
    test::ImportWithRegedit(temp_ / L"Backup\\" + backups[0]);
    test::RegTree undone;
    ASSERT_TRUE(test::ReadRegTree(HKEY_LOCAL_MACHINE, kServices + svc.Name(), undone));
    EXPECT_EQ(undone.values[L"Start"].data, test::Dword(SERVICE_DEMAND_START));
    EXPECT_EQ(undone.values.count(L"DelayedAutostart"), 0u);
    // Wine can neither tell nor set a delayed start: refused, the reason in the status bar.
    Command(70, {});
    EXPECT_TRUE(WaitUntil([&] {
        return ReadStatusBarPart(status_, 0) ==
               L"This system cannot delay the start of this service.";
    }));
    EXPECT_EQ(test::FilesIn(temp_ / L"Backup\\").size(), 3u);
    test::RegTree before;
    ASSERT_TRUE(test::ReadRegTree(HKEY_LOCAL_MACHINE, kServices + svc.Name(), before));
    const std::wstring question = DeleteQuestion(L"MDRTestSvcCmd (MDR Test Cmd)");
    Command(3, {{L"Please confirm", question, IDNO}});
    EXPECT_NE(svc.State(), 0u);
    PressKey(list_, VK_DELETE);
    AnswerText(L"Please confirm", question, IDYES);
    AnswerText(kInfo, L"The service was deleted successfully.", IDOK, nullptr, 30000);
    EXPECT_TRUE(WaitUntil([&] { return RowNamed(display) < 0; }));
    EXPECT_EQ(svc.State(), 0u);
    test::ImportWithRegedit(temp_ / L"Backup\\" + test::FilesIn(temp_ / L"Backup\\").back());
    test::RegTree after;
    ASSERT_TRUE(test::ReadRegTree(HKEY_LOCAL_MACHINE, kServices + svc.Name(), after));
    EXPECT_EQ(after, before);
    DeleteTree(HKEY_LOCAL_MACHINE, kServices + svc.Name());
}
// Stop and Restart take the running dependents along: named in the question, stopped first,
// started again after the service. A stop that never arrives ends within its bound.
TEST_F(SevridTest, StopAndRestartTakeTheRunningDependentsAlongAndWaitsEnd) {
    const std::wstring log = temp_ / L"stops.txt";
    PlantedService base(L"MDRTestSvcBase", L"MDR Test Base", L"log:" + log);
    PlantedService dependent(L"MDRTestSvcDep", L"MDR Test Dep", L"log:" + log, L"",
                             L"MDRTestSvcBase");
    PlantedService stuck(L"MDRTestSvcStuckStop", L"MDR Test Stuck", L"stuckstop");
    PlantedService never(L"MDRTestSvcNever", L"MDR Test Never", L"stuckstart");
    for (const PlantedService* s : {&base, &dependent, &stuck})
        s->Start();
    ASSERT_TRUE(StartTool());

    ASSERT_TRUE(Select(L"MDR Test Base"));
    Command(52, {{kInfo,
                  L"Are you sure you want to restart the MDR Test Base service?\r\n\r\n"
                  L"Restarting MDR Test Base also restarts: MDR Test Dep.",
                  IDYES},
                 {kInfo, L"The service was restarted successfully.", IDOK}});
    for (const PlantedService* s : {&base, &dependent})
        EXPECT_EQ(s->State(), DWORD{SERVICE_RUNNING});
    EXPECT_NE(RowOf(L"MDR Test Dep").cells[6], L""); // the PID while it runs
    Command(51, {{kInfo,
                  L"Are you sure you want to stop the MDR Test Base service?\r\n\r\n"
                  L"Stopping MDR Test Base also stops: MDR Test Dep.",
                  IDYES},
                 {kInfo, L"The service was stopped successfully.", IDOK}});
    for (const PlantedService* s : {&base, &dependent})
        EXPECT_EQ(s->State(), DWORD{SERVICE_STOPPED});
    EXPECT_EQ(test::ReadLines(log), // dependent first, both times
              (std::vector<std::wstring>{L"MDRTestSvcDep", L"MDRTestSvcBase", L"MDRTestSvcDep",
                                         L"MDRTestSvcBase"}));

    ASSERT_TRUE(Select(L"MDR Test Stuck"));
    Command(1, {{kInfo, L"Are you sure you want to stop the MDR Test Stuck service?", IDYES},
                {L"Warning", L"The service could not be stopped.", IDOK}});
    // Still usable: a start that never arrives gives up with its error code.
    ASSERT_TRUE(Select(L"MDR Test Never"));
    Command(0, {{kInfo, L"Are you sure you want to start the MDR Test Never service?", IDYES},
                {L"Warning", L"The service could not be started. Error code: 1053", IDOK}});
}
// Several services selected through the filter and Select all go in one command with one
// question and one report, for Start, Stop and Delete; one refused is named, the rest go on. Stop
// names and takes along a running dependent that is not chosen.
TEST_F(SevridTest, SeveralSelectedServicesGoInOneCommandEach) {
    PlantedService a(L"MDRTestSvcMultiA", L"MDR Multi A"), b(L"MDRTestSvcMultiB", L"MDR Multi B"),
        c(L"MDRTestSvcMultiC", L"MDR Multi C");
    PlantedService follower(L"MDRTestSvcFollow", L"MDR Follower", L"", L"", L"MDRTestSvcMultiA");
    c.Start();
    ASSERT_TRUE(StartTool());
    PostCommand(main_, 80);
    SetItemText(main_, 902, L"MDR Multi");
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) == 3; }));
    PostCommand(main_, 81);
    ASSERT_TRUE(WaitUntil([&] { return ReadListView(list_).rows[2].selected; }));
    const std::wstring names = L"3 services?\r\n\r\nMDR Multi A\r\nMDR Multi B\r\nMDR Multi C";
    Command(0, {{kConfirm, L"Start these " + names, IDYES},
                {L"Warning",
                 L"Started 2 of 3 services.\r\n\r\nFailed:\r\nMDR Multi C: it is already running",
                 IDOK}});
    follower.Start();
    Command(1, {{kConfirm, L"Stop these " + names + L"\r\n\r\nThis also stops:\r\n\r\nMDR Follower",
                 IDYES},
                {kInfo, L"Stopped 3 of 3 services.", IDOK}});
    for (const PlantedService* s : {&a, &b, &c, &follower})
        EXPECT_EQ(s->State(), static_cast<DWORD>(SERVICE_STOPPED));
    Command(3, {{kConfirm,
                 L"Delete these " + names +
                     L"\r\n\r\nWARNING! This may lead to system instability. Only the "
                     L"references to the services are removed, not their executables.",
                 IDYES},
                {kInfo, L"Deleted 3 of 3 services.", IDOK}});
    for (const PlantedService* s : {&a, &b, &c})
        EXPECT_EQ(s->State(), 0u);
}

// Hide Windows services leaves out Wine's own services, counted in the status bar, and not the
// test service; turned off, they are back. Show drivers lists the prefix's drivers. A service
// that another handle keeps marked for deletion is not deleted twice, and no backup stays.
TEST_F(SevridTest, ViewSwitchesShowAndHideAndAMarkedServiceSaysSo) {
    PlantedService svc(L"MDRTestSvcOwn", L"MDR Test Own");
    ASSERT_TRUE(StartTool());
    const int all = ListViewCount(list_);
    Command(71, {});
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list_) < all; }));
    const int shown = ListViewCount(list_);
    EXPECT_GE(RowNamed(L"MDR Test Own"), 0);
    EXPECT_TRUE(ReadStatusBarPart(status_, 0)
                    .ends_with(L", Windows services hidden: " + std::to_wstring(all - shown)));
    Command(71, {});
    EXPECT_TRUE(WaitUntil([&] { return ListViewCount(list_) == all; }));
    Command(72, {});
    EXPECT_TRUE(WaitUntil([&] { return RowNamed(L"Driver", nullptr, 8) >= 0; }));

    ASSERT_TRUE(Select(L"MDR Test Own"));
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle held(OpenServiceW(manager.get(), svc.Name().c_str(), DELETE));
    ASSERT_TRUE(DeleteService(held.get())) << GetLastError();
    Command(56, {{kConfirm, DeleteQuestion(L"MDRTestSvcOwn (MDR Test Own)"), IDYES},
                 {kInfo, L"The service is already marked for deletion.", IDOK}});
    EXPECT_TRUE(test::FilesIn(temp_ / L"Backup\\").empty());
}
} // namespace
} // namespace mdr::driver
