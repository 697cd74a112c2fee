// A test service registered with the real service control manager of the test prefix, and
// removed again (stopped, its process ended, deleted) when the test is done.
#pragma once

#include "tests/support/driver.h"

namespace mdr::test {
inline std::wstring TestServiceExe() {
    return BuildDir() + L"tests\\mdr_test_service.exe";
}
inline std::wstring ServiceStringsDll() {
    return BuildDir() + L"tests\\service_strings.dll";
}

class PlantedService {
  public:
    // mode: "" runs until stopped, or one of the modes of test_service.cpp; command, when given,
    // is the service's command line instead of the test service; dependsOn: the service it
    // depends on, "" none.
    PlantedService(const std::wstring& name, const std::wstring& display,
                   const std::wstring& mode = L"", std::wstring command = L"",
                   const std::wstring& dependsOn = L"")
        : name_(name) {
        if (command.empty()) command = L"\"" + TestServiceExe() + L"\" " + mode;
        const std::wstring dependencies = dependsOn + L'\0'; // and c_str's NUL ends the list
        UniqueScHandle service(
            CreateServiceW(Manager().get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           command.c_str(), nullptr, nullptr,
                           dependsOn.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr));
        EXPECT_TRUE(service) << "CreateService failed: " << GetLastError();
    }
    ~PlantedService() { Remove(); }
    PlantedService(const PlantedService&) = delete;
    PlantedService& operator=(const PlantedService&) = delete;

    const std::wstring& Name() const { return name_; }

    // Starts it and waits until it runs (or stays pending, for stuckstart).
    void Start() const {
        EXPECT_TRUE(StartServiceW(Open(SERVICE_START).get(), 0, nullptr)) << GetLastError();
        EXPECT_TRUE(driver::WaitUntil([&] { return State() != SERVICE_STOPPED; }));
    }
    // The current state; 0 when the service cannot be queried (deleted).
    DWORD State() const {
        SERVICE_STATUS status{};
        return QueryServiceStatus(Open(SERVICE_QUERY_STATUS).get(), &status) ? status.dwCurrentState
                                                                             : 0;
    }
    void Remove() const {
        const UniqueScHandle service = Open(SERVICE_ALL_ACCESS);
        if (!service) return;
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof(status), &needed);
        SERVICE_STATUS stop{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &stop);
        // Only this service's own process, when it does not stop by itself.
        if (status.dwProcessId != 0 &&
            !driver::WaitUntil([&] { return State() == SERVICE_STOPPED; }, 3000)) {
            UniqueHandle process(
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId));
            if (process && TerminateProcess(process.get(), 1))
                WaitForSingleObject(process.get(), 5000);
        }
        DeleteService(service.get());
    }

  private:
    static UniqueScHandle Manager() {
        return UniqueScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    }
    UniqueScHandle Open(DWORD access) const {
        return UniqueScHandle(OpenServiceW(Manager().get(), name_.c_str(), access));
    }

    std::wstring name_;
};
} // namespace mdr::test
