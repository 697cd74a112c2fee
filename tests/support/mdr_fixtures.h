// Shared set-up of the end-to-end tests of MDR.exe: its settings folder and Config.ini kept as
// they were, Config.ini written for a run, the main window's gadgets, and the scan states read
// from its toolbar and status bar (registry entries are planted with the registry helpers).
#pragma once

#include <initializer_list>
#include "common/ini.h"
#include "mdr/core/texts.h"
#include "tests/support/driver.h"
#include "tests/support/registry_snapshot.h"

namespace mdr::driver {
using mdr::Text; // texts are named as the program names them

// Creates the settings folder chain, as MDR makes it.
void CreateSettingsDir();
// SettingsDir() + "Config.ini" / "MDRLog.log"; the log as text.
std::wstring ConfigPath();
std::wstring LogPath();
std::wstring LogText();
IniFile LoadIni(const std::wstring& path);

// The text in the language loaded by MdrTest (the shipped English file).
const std::wstring& T(Text text);
std::string Narrow(const std::wstring& s);

// Entry n with placeholder replaced by value (written here, not taken from the program).
std::wstring Fill(const std::wstring& text, const std::wstring& placeholder,
                  const std::wstring& value);

// ScanZonesState with the given tree items (1..18) ticked.
std::wstring Zones(std::initializer_list<int> items);

// The values of a Config.ini written for a run. The [MDRWindow] group holds the window place,
// optionally the column widths and splitter, and the ticked areas; windowGroup false leaves out
// everything of it but ScanZonesState.
struct ConfigValues {
    int scanMode = 0, selectItems = 0, beforeFixing = 0, deleteBackups = 1, createLog = 1;
    int skipRemovable = 1, highlight = 0;
    COLORREF color = RGB(237, 242, 248);
    std::wstring language = L"Localization\\English.ini";
    bool windowGroup = true;
    int windowX = 40, windowY = 30;
    bool columns = true; // ColumnWidth0..4 and SplitterWidth
    int splitterWidth = 200;
    std::wstring zones;
    std::vector<std::wstring> exceptions; // "HKEY_...\subkey"
};
std::wstring ConfigText(const ConfigValues& v);
// The default values with the given areas ticked.
ConfigValues Ticking(std::initializer_list<int> areas);
void WriteConfig(const ConfigValues& v);

// The results list's row with this key and value column (and root column unless "" is given),
// -1 when there is none.
int RowOf(const ListViewContent& list, const std::wstring& key, const std::wstring& value,
          const std::wstring& root = L"");

struct Gadgets {
    HWND main = nullptr, list = nullptr, tree = nullptr, status = nullptr, toolbar = nullptr,
         progress = nullptr, details = nullptr, treeSplitter = nullptr;
};
Gadgets FindGadgets(HWND main);

bool ButtonEnabled(const Gadgets& g, int id);
bool Scanning(const Gadgets& g);
// Not scanning, and the status line says the scan ended (ScanFinishedStatus) or was stopped.
bool ScanFinished(const Gadgets& g);
bool ScanCancelled(const Gadgets& g);

// Base fixture: loads the English language file, keeps Config.ini as it was and removes the log
// before and after each test; CleanUp runs after the started processes have ended, before the
// copies of the install folder are removed and Config.ini is put back.
class MdrTest : public DriverTest {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    virtual void CleanUp() {}

    // Starts MDR as it is configured now and waits for its main window (visible unless
    // visible is false) and every gadget in it.
    Gadgets StartMain(const std::wstring& arguments, const std::wstring& distDir = L"",
                      bool visible = true);
    Gadgets Start(const std::wstring& arguments, const ConfigValues& config, bool visible = true);
    // Waits for MDR's next message box, checks its title and text (language texts), presses
    // button and waits for the box to go.
    void Answer(Text title, Text text, int button);
    // The same with the texts written out ("" unchecked); when owner is given, the box must
    // belong to it and keep it disabled.
    void AnswerText(const std::wstring& title, const std::wstring& text, int button,
                    HWND owner = nullptr, DWORD timeoutMs = kDefaultTimeout);
    void Exit(const Gadgets& g);
    // Waits (a minute at most) for the scan started by "-scan" to end.
    bool WaitForScanEnd(const Gadgets& g);
    // A copy of the install folder ("...\") that the test may change; removed at tear-down.
    std::wstring CopyOfInstall();

    DWORD pid_ = 0;
    Process* process_ = nullptr;

  private:
    bool hadConfig_ = false;
    std::string savedConfig_;
    std::vector<std::wstring> copies_;
};
} // namespace mdr::driver
