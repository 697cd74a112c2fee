// Shared set-up of the scan engine and area tests: English texts, a captured log, the area fixture.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/text.h"
#include "core/localization.h"
#include "core/settings.h"
#include "core/skip_rules.h"
#include "scan/detected_errors.h"
#include "scan/engine_state.h"
#include "scan/headless_view.h"
#include "scan/scan_thread.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

namespace mdr::test {

// The shipped English texts, and the scan areas named by them.
inline void LoadEnglishTexts() {
    ASSERT_EQ(LoadLanguage(DistDir(), L"Localization\\English.ini"), 1)
        << "English.ini not found under " << ToUtf8(DistDir());
    for (int item = 1; item <= kAreaCount; ++item)
        AreaTable()[item - 1].name = LangText(item);
}

// The program log into a fresh empty file (a write never creates it), read back without the date
// stamps; the settings are put back after.
class LogCapture {
  public:
    LogCapture() : savedLog_(Settings().CreateLog), savedPath_(Paths().logFile) {
        WriteFileBytes(path_, "");
        Settings().CreateLog = 1;
        Paths().logFile = path_;
    }
    ~LogCapture() {
        Settings().CreateLog = savedLog_;
        Paths().logFile = savedPath_;
    }

    std::vector<std::wstring> Lines() const { return LoggedMessages(path_); }

  private:
    TempFolder dir_;
    std::wstring path_ = dir_ / L"MDR.log";
    int savedLog_;
    std::wstring savedPath_;
};

// Position of `line` in `lines` at or after `from`, or -1.
inline int FindLine(const std::vector<std::wstring>& lines, const std::wstring& line,
                    int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<size_t>(i)] == line) return i;
    return -1;
}

// The items the areas examined (progress calls), in order; the progress answers "stop" once more
// than g_stopAfter items were seen (-1: never) or from the item g_stopAt on, and from then on.
inline std::vector<std::wstring> g_items;
inline int g_stopAfter = -1;
inline std::wstring g_stopAt;
inline bool g_stopped = false;

inline int AreaProgress(const std::wstring& item) {
    g_items.push_back(item);
    if ((g_stopAfter >= 0 && static_cast<int>(g_items.size()) > g_stopAfter) || item == g_stopAt)
        g_stopped = true;
    return g_stopped ? 0 : 1;
}

// The real areas against a registry sandbox named after the suite, with English texts, no scan
// delay, no removable drives and empty skip lists; reports are stored as a scan stores them.
// No exceptions, skip map, records or error counts left from an earlier test.
inline void ResetScanRecords() {
    Exceptions().clear();
    SkipMap().clear();
    ClearRecords();
    SetErrorsFound(0);
    for (int i = 0; i < kAreaCount; ++i)
        AreaTable()[i].errorsFound = 0;
}

class AreaTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LoadEnglishTexts();
        InitScanEnginePaths();
    }

    void SetUp() override {
        saved_ = Settings();
        box_ = std::make_unique<RegistrySandbox>(
            FromUtf8(::testing::UnitTest::GetInstance()->current_test_suite()->name()));
        dir_ = box_->Folder();
        SetRemovableRoots({});
        SetSkipRemovable(1);
        SetScanDelay(0);
        Settings().CreateLog = 0;
        Settings().HighlightEntry = 0;
        ResetScanRecords();
        SetScanView(&view_);
        SetErrorReportCallback(ReportDetectedError);
        SetProgressCallback(AreaProgress);
        g_items.clear();
        g_stopAfter = -1;
        g_stopAt.clear();
        g_stopped = false;
    }

    void TearDown() override {
        SetScanView(nullptr);
        SetErrorReportCallback(nullptr);
        SetProgressCallback(nullptr);
        SetCurrentArea(0);
        ClearRecords();
        SetErrorsFound(0);
        box_.reset();
        Settings() = saved_;
    }

    void Str(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& data,
             DWORD type = REG_SZ) {
        box_->SetString(root, key, name, data, type);
    }
    std::wstring Gone(const std::wstring& name) const { return dir_ + L"gone\\" + name; }

    // Runs one area as the scan thread would, with its tree item as the current area.
    int Run(int item, int (*area)()) {
        SetCurrentArea(item);
        AreaErrorCount() = 12345; // the area must count from 0
        return area();
    }

    const DetectedError* Find(const std::wstring& keyPath, const std::wstring& valueName = L"") {
        for (const DetectedError& r : Records()) {
            if (r.keyPath == keyPath && r.valueName == valueName) return &r;
        }
        return nullptr;
    }

    AppSettings saved_;
    std::unique_ptr<RegistrySandbox> box_;
    std::wstring dir_;
    HeadlessScanView view_;
};

} // namespace mdr::test
