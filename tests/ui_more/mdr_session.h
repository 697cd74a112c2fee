// The real MDR.exe started over a prefix with planted broken registry entries: a Config.ini that
// ticks the areas a test plants into, and the exit through the menu. The shared set-up (settings
// kept, registry writes, gadgets, scan states) is in tests/driver/mdr_fixtures.h.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "tests/driver/mdr_fixtures.h"

namespace mdr::uitest {

using namespace mdr::driver;

// Areas of the scan-area tree used here (tree items 1..18).
constexpr int kDriversArea = 3;
constexpr int kIeToolbarsArea = 10;
constexpr int kSoundsArea = 16;

// Every planted file reference points into this folder, which does not exist.
constexpr wchar_t kMissingFolder[] = L"C:\\MdrKMissing\\";

class MdrSession : public MdrTest {
  protected:
    // Starts MDR ticking areas and waits for its main window (nullptr members on failure).
    Gadgets Start(const std::wstring& arguments, std::initializer_list<int> areas);
    // Waits for the scan started by "-scan" to end; false after a minute.
    bool WaitForScanEnd(const Gadgets& g);
    // Asks MDR to exit through its menu and waits for it.
    void Exit(const Gadgets& g);
};

} // namespace mdr::uitest
