// A test service registered with the real service control manager of the test prefix, and
// removed again (stopped, its process ended, deleted) when the test is done.
#pragma once

#include <windows.h>

#include <string>

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
    // mode: "" runs until stopped, or one of the modes of test_service.cpp.
    PlantedService(const std::wstring& name, const std::wstring& display,
                   const std::wstring& mode = L"")
        : name_(name) {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        const std::wstring command = L"\"" + TestServiceExe() + L"\" " + mode;
        SC_HANDLE service =
            CreateServiceW(manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(service) << "CreateService failed: " << GetLastError();
        if (service) CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    ~PlantedService() { Remove(); }
    PlantedService(const PlantedService&) = delete;
    PlantedService& operator=(const PlantedService&) = delete;

    const std::wstring& Name() const { return name_; }

    // Starts it and waits until it runs (or stays pending, for stuckstart).
    void Start() const {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, name_.c_str(), SERVICE_ALL_ACCESS);
        EXPECT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
        EXPECT_TRUE(driver::WaitUntil([&] { return State() != SERVICE_STOPPED; }));
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    // The current state; 0 when the service cannot be queried (deleted).
    DWORD State() const {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, name_.c_str(), SERVICE_QUERY_STATUS);
        SERVICE_STATUS status{};
        const bool got = service && QueryServiceStatus(service, &status);
        if (service) CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return got ? status.dwCurrentState : 0;
    }
    void Remove() const {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = OpenServiceW(manager, name_.c_str(), SERVICE_ALL_ACCESS);
        if (service) {
            SERVICE_STATUS_PROCESS status{};
            DWORD needed = 0;
            QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                 sizeof(status), &needed);
            SERVICE_STATUS stop{};
            ControlService(service, SERVICE_CONTROL_STOP, &stop);
            // Only this service's own process, when it does not stop by itself.
            if (status.dwProcessId != 0 &&
                !driver::WaitUntil([&] { return State() == SERVICE_STOPPED; }, 3000)) {
                HANDLE process =
                    OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId);
                if (process) {
                    TerminateProcess(process, 1);
                    WaitForSingleObject(process, 5000);
                    CloseHandle(process);
                }
            }
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }

  private:
    std::wstring name_;
};

} // namespace mdr::test
