// Sevrid's model: the texts, the Copy all padding, indirect strings read from a library loaded
// as data only, and the bounded waits against the real service control manager.
#include <map>
#include <tuple>
#include "tests/tools/sevrid/planted_service.h"
#include "common/text.h"
#include "common/late_bound.h"
#include "tools/frame/report_list.h"
#include "tools/sevrid/services.h"

namespace mdr {
namespace {
TEST(ServiceTexts, StatesStartTypesAndCopyAllPadding) {
    const std::vector<std::pair<DWORD, std::wstring>> states = {
        {0, L""},        {1, L"Stopped"},        {2, L"Starting"},      {3, L"Stopping"},
        {4, L"Running"}, {5, L"Resume pending"}, {6, L"Pause pending"}, {7, L"Paused"},
        {8, L""}};
    for (const auto& [value, text] : states)
        EXPECT_EQ(StateText(value), text) << value;
    const std::vector<std::pair<DWORD, std::wstring>> types = {
        {0, L"Boot start"},   {1, L"System start"}, {2, L"Auto start"},
        {3, L"Demand start"}, {4, L"Disabled"},     {5, L""}};
    for (const auto& [value, text] : types)
        EXPECT_EQ(StartTypeText(value), text) << value;
    EXPECT_EQ(StartTypeText(2, true), L"Automatic (Delayed Start)");
    EXPECT_EQ(StartTypeText(3, true), L"Demand start");

    const std::wstring longName(60, L'n');
    EXPECT_EQ(PaddedCopyLine({longName, L"Running", L"Auto start", L"C:\\a.exe", L"d"}),
              std::wstring(50, L'n') + L"     Running" + std::wstring(13, L' ') +
                  L"     Auto start" + std::wstring(10, L' ') + L"     C:\\a.exe     d\r\n");
    EXPECT_EQ(PaddedCopyLine({L"x", L"", L"", L"", L""}),
              L"x" + std::wstring(49, L' ') + L"     " + std::wstring(20, L' ') + L"     " +
                  std::wstring(20, L' ') + L"          \r\n");
}

TEST(ServiceTexts, SvchostGroupIsTheNameAfterK) {
    const std::pair<const wchar_t*, const wchar_t*> commands[] = {
        {L"C:\\Windows\\system32\\svchost.exe -k netsvcs", L"netsvcs"},
        {L"%SystemRoot%\\System32\\SVCHOST.EXE -k LocalServiceNoNetwork -p",
         L"LocalServiceNoNetwork"},
        {L"\"C:\\Windows\\System32\\svchost.exe\" -k \"DcomLaunch\"", L"DcomLaunch"},
        {L"svchost.exe  /K rpcss", L"rpcss"},
        {L"C:\\Windows\\system32\\svchost.exe -k", L""},
        {L"C:\\tools\\mysvchost.exe -k netsvcs", L""},
        {L"C:\\svchost.exe.old\\run.exe -k netsvcs", L""}};
    for (const auto& [command, group] : commands)
        EXPECT_EQ(SvchostGroup(command), group) << ToUtf8(command);
}

TEST(ServiceTexts, WindowsOwnIsInTheWindowsFolderWithTheMakersName) {
    const std::wstring windows = L"C:\\Windows\\";
    const std::tuple<const wchar_t*, const wchar_t*, bool> files[] = {
        {L"C:\\WINDOWS\\system32\\svc.exe", L"Microsoft Corporation", true},
        {L"C:\\Windows\\svc.exe", L"Other Vendor", false},
        {L"C:\\Program Files\\svc.exe", L"Microsoft Corporation", false},
        {L"C:\\WindowsApps\\svc.exe", L"Microsoft Corporation", false}};
    for (const auto& [file, company, own] : files)
        EXPECT_EQ(LooksLikeWindowsOwn(file, windows, company), own) << ToUtf8(file);
}

TEST(ServiceTexts, IndirectStringsAreParsedAndReadWithoutRunningTheLibrary) {
    // Each text with what is parsed from it as "file,id" ("" for none).
    for (const auto& [text, parsed] :
         {std::pair{L"@%SystemRoot%\\x.dll,-101", L"%SystemRoot%\\x.dll,-101"},
          {L"@x.dll,7", L"x.dll,7"},
          {L"@x.dll", L""},
          {L"x.dll,-1", L""},
          {L"", L""}}) {
        const auto got = ParseIndirectString(text);
        EXPECT_EQ(got ? got->file + L"," + std::to_wstring(got->id) : L"", parsed) << ToUtf8(text);
    }
    const std::wstring mark = L"C:\\mdr_service_strings_ran.txt";
    DeleteFileW(mark.c_str());
    const std::wstring dll = test::ServiceStringsDll();
    EXPECT_EQ(ResolveIndirectString(L"@" + dll + L",-101"), L"Planted service description");
    EXPECT_EQ(ResolveIndirectString(L"@" + dll + L",-999"), L"");
    EXPECT_EQ(ResolveIndirectString(L"@C:\\nowhere\\x.dll,-101"), L"@C:\\nowhere\\x.dll,-101");
    EXPECT_FALSE(test::FileExists(mark)) << "the library's start-up code ran";
}

TEST(ServiceControl, DependentsStopDeepestFirstEachOnce) {
    // Each graph as "<service><dependent>" letter pairs, r the service stopped; its stop order.
    const std::pair<const wchar_t*, const wchar_t*> graphs[] = {
        {L"ra ab bc", L"cba"},
        {L"ra rb ac bc", L"cab"}, // c depends on both: stopped once, first
        {L"ra ar ab bA", L"ba"},  // cycles end; names ignore case
        {L"ra rb ba xc", L"ab"},  // a depends on b too: it still stops first
    };
    for (const auto& [graph, expected] : graphs) {
        std::map<std::wstring, std::vector<std::wstring>> edges;
        for (const std::wstring& pair : Split(graph, L' '))
            edges[pair.substr(0, 1)].push_back(pair.substr(1));
        std::wstring order;
        for (const std::wstring& name :
             DependentsStopOrder(L"r", [&](const std::wstring& s) { return edges[ToLower(s)]; }))
            order += name;
        EXPECT_EQ(order, expected) << ToUtf8(graph);
    }
}

// A service whose program is missing is emphasised (drawn in colour); one whose file is there
// is not.
TEST(ServiceList, AMissingProgramIsEmphasised) {
    test::PlantedService gone(L"MDRTestSvcGone", L"MDR test gone", L"", L"C:\\nowhere\\x.exe -r");
    test::PlantedService here(L"MDRTestSvcHere", L"MDR test here");
    std::map<std::wstring, bool> emphasised;
    for (const RowContent& row : ServiceRows(CollectServices({})))
        emphasised[row.texts[0]] = row.emphasised;
    EXPECT_TRUE(emphasised.at(L"MDR test gone"));
    EXPECT_FALSE(emphasised.at(L"MDR test here"));
}

TEST(ServiceControl, WaitsEndWithinTheirBound) {
    const ServiceWait wait{nullptr, 2000, 5000};
    // One whose check point stands still, and one that moves it on but never arrives.
    for (const wchar_t* mode : {L"stuckstart", L"busystart"}) {
        test::PlantedService stuck(L"MDRTestSvcStuck", L"MDR test stuck", mode);
        const ULONGLONG start = TickCount64();
        const ServiceResult started = StartServiceByName(L"MDRTestSvcStuck", wait);
        EXPECT_FALSE(started.ok) << ToUtf8(mode);
        EXPECT_EQ(started.error, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
        EXPECT_LT(TickCount64() - start, 20000u) << "the wait has no bound: " << ToUtf8(mode);
    }
    test::PlantedService refusing(L"MDRTestSvcRefuse", L"MDR test refusing", L"refusestop");
    refusing.Start();
    EXPECT_FALSE(StopServiceByName(L"MDRTestSvcRefuse", wait));
    EXPECT_FALSE(DeleteServiceByName(L"MDRTestSvcRefuse", wait).ok);
    EXPECT_EQ(refusing.State(), static_cast<DWORD>(SERVICE_RUNNING));

    // The start type is read back after the change.
    EXPECT_TRUE(SetServiceStartType(L"MDRTestSvcRefuse", SERVICE_DISABLED));
    EXPECT_FALSE(SetServiceStartType(L"MDRTestSvcNoSuchService", SERVICE_DISABLED));
    EXPECT_EQ(StartServiceByName(L"MDRTestSvcNoSuchService", wait).error,
              static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}
} // namespace
} // namespace mdr
