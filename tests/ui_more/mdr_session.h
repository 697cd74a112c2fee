// The real MDR.exe started over a prefix with planted broken registry entries: Config.ini for
// the run, planting and removal of the entries, the main window's gadgets, waiting for a scan.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/driver/driver.h"

namespace mdr::uitest {

using namespace mdr::driver;

// Areas of the scan-area tree used here (tree items 1..18).
constexpr int kDriversArea = 3;
constexpr int kIeToolbarsArea = 10;
constexpr int kSoundsArea = 16;

// Every planted file reference points into this folder, which does not exist.
constexpr wchar_t kMissingFolder[] = L"C:\\MdrKMissing\\";

// Language entry n of the shipped English file (loaded by the fixture).
const std::wstring& T(int n);
std::string Narrow(const std::wstring& s);

// Registry writes of the tests; each asserts success.
void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data);
void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name);
void DeleteTree(HKEY root, const std::wstring& key);

struct Gadgets {
    HWND main = nullptr;
    HWND list = nullptr;
    HWND status = nullptr;
    HWND toolbar = nullptr;
};

// Base fixture: keeps Config.ini and the log as they were, starts MDR with a Config.ini that
// ticks the given areas, and waits for scans.
class MdrSession : public DriverTest {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Starts MDR ticking areas and waits for its main window (nullptr members on failure).
    Gadgets Start(const std::wstring& arguments, std::initializer_list<int> areas);
    // Waits for the scan started by "-scan" to end; false after a minute.
    bool WaitForScanEnd(const Gadgets& g);
    // Asks MDR to exit through its menu and waits for it.
    void Exit(const Gadgets& g);

    DWORD pid_ = 0;
    Process* process_ = nullptr;

  private:
    bool hadConfig_ = false;
    std::string savedConfig_;
};

} // namespace mdr::uitest
