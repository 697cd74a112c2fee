// Shared set-up of the scan engine and area tests: English texts, a captured log, the area fixture.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/text.h"
#include "mdr/core/localization.h"
#include "mdr/core/settings.h"
#include "mdr/core/skip_rules.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/headless_view.h"
#include "mdr/scan/scan_thread.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

namespace mdr::test {

// The shipped English texts, and the scan areas named by them.
inline void LoadEnglishTexts() {
    ASSERT_EQ(LoadLanguage(DistDir(), L"Localization\\English.ini"), 1)
        << "English.ini not found under " << ToUtf8(DistDir());
    for (int item = 1; item <= kAreaCount; ++item)
        AreaTable()[item - 1].name = LangText(kAreaNames[item - 1]);
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
// than g_stopAfter items were seen (-1: never) or from an item ending in g_stopAt on, and from
// then on.
inline std::vector<std::wstring> g_items;
inline int g_stopAfter = -1;
inline std::wstring g_stopAt;
inline bool g_stopped = false;

inline int AreaProgress(const std::wstring& item) {
    g_items.push_back(item);
    if ((g_stopAfter >= 0 && static_cast<int>(g_items.size()) > g_stopAfter) ||
        (!g_stopAt.empty() && EndsWithNoCase(item, g_stopAt)))
        g_stopped = true;
    return g_stopped ? 0 : 1;
}

// No exceptions, skip map, records or error counts left from an earlier test.
inline void ResetScanRecords() {
    Exceptions().clear();
    SkipMap().clear();
    ClearRecords();
    SetErrorsFound(0);
    for (int i = 0; i < kAreaCount; ++i)
        AreaTable()[i].errorsFound = 0;
}

// The real engine against a registry sandbox named after the suite, with English texts, no scan
// delay, no removable drives and empty skip lists; reports are stored as a scan stores them, and
// the settings and path lists are put back afterwards.
class AreaTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LoadEnglishTexts();
        InitScanEnginePaths();
    }

    void SetUp() override {
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
        ResetScanRecords();
        box_.reset();
        Settings() = settings_;
        InitScanEnginePaths(); // from the real registry again, after the sandbox
        SetSkipRemovable(1);
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

    // The record of keyPath / valueName as the current area stores it; its description quotes
    // `shown` (the data when none is given) with no placeholder left.
    void ExpectRecord(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                      const std::wstring& valueData, const std::wstring& category, int safety,
                      int entryType, const std::optional<std::wstring>& shown = {}) {
        SCOPED_TRACE(ToUtf8(keyPath) + " / " + ToUtf8(valueName));
        const DetectedError* r = Find(keyPath, valueName);
        ASSERT_NE(r, nullptr) << "not reported";
        EXPECT_EQ(r->root, root);
        EXPECT_EQ(r->valueData, valueData);
        EXPECT_EQ(r->category, category);
        EXPECT_EQ(r->safety, safety);
        EXPECT_EQ(r->entryType, entryType);
        EXPECT_EQ(r->areaIndex, CurrentArea() - 1);
        const std::wstring quoted = L"\"" + shown.value_or(valueData) + L"\"";
        EXPECT_NE(r->description.find(quoted), std::wstring::npos) << ToUtf8(r->description);
        EXPECT_EQ(r->description.find(L'$'), std::wstring::npos) << ToUtf8(r->description);
    }

    AppSettings settings_ = Settings();
    std::unique_ptr<RegistrySandbox> box_;
    std::wstring dir_;
    HeadlessScanView view_;
};

} // namespace mdr::test
