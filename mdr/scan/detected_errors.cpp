#include "mdr/scan/detected_errors.h"

#include <atomic>

#include "mdr/core/fix_journal.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "mdr/core/skip_rules.h"
#include "common/trace.h"
#include "mdr/scan/scan_thread.h"
#include "mdr/scan/scan_view.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

namespace {

// Read by the status-bar thread while the scan thread counts: atomic so a 64-bit value is never
// seen half-written on a 32-bit system.
std::atomic<uint64_t> g_errorsFound{0};

constexpr UINT kSafeIcon = 7;
constexpr UINT kUnsafeIcon = 8;

void LogSkip(RootKey root, const std::wstring& keyPath, const wchar_t* reason) {
    Log(L"Skipped key: " + RootKeyName(root) + L"\\" + keyPath + L". Reason: " + reason);
}

// True (and logged) when the user's exceptions or the shipped skip map hold the key. The user's
// own exceptions win over the skip map, and are what the log names.
bool Skipped(RootKey root, const std::wstring& keyPath) {
    if (InExceptions(root, keyPath)) {
        LogSkip(root, keyPath, L"Key is on blacklist.");
        return true;
    }
    if (InSkipMap(root, keyPath)) {
        LogSkip(root, keyPath, L"Key is on default blacklist.");
        return true;
    }
    return false;
}

// Counts one more error, in all and in the area being scanned (item), whose label shows its
// count; returns the errors found so far.
uint64_t CountError(int item, ScanView* view) {
    const uint64_t errors = g_errorsFound.fetch_add(1) + 1;
    if (item < 1 || item > kAreaCount) return errors;
    AreaEntry& area = AreaTable()[item - 1];
    ++area.errorsFound;
    if (view) view->SetAreaText(item, area.name + L" (" + std::to_wstring(area.errorsFound) + L")");
    return errors;
}

// The row of a record as the list shows it.
ResultRow RowOf(const DetectedError& e) {
    ResultRow shown;
    shown.columns[0] = RootKeyName(e.root);
    shown.columns[1] = e.keyPath;
    shown.columns[2] = e.valueName.empty() ? std::wstring(L"(Default)") : e.valueName;
    shown.columns[3] = e.valueData.empty() ? LangText(Text::EmptyData) : e.valueData;
    shown.columns[4] = e.category;
    if (!e.fixedBefore.empty())
        shown.columns[5] =
            ReplacePlaceholder(LangText(Text::ReturnedCell), L"$DATE$", e.fixedBefore);
    shown.image = e.safety == 1 ? kSafeIcon : kUnsafeIcon;
    shown.id = e.id;
    return shown;
}

void LogError(const DetectedError& e, const ResultRow& shown) {
    Log(L"---> Error detected");
    Log(L"Main key: " + shown.columns[0]);
    Log(L"Subkey: " + e.keyPath);
    Log(L"Value: " + shown.columns[2]);
    Log(L"Value data: " + shown.columns[3]);
    Log(L"Category: " + e.category);
    Log(L"Safety: " + std::to_wstring(e.safety));
    Log(L"Entry type: " + LangText(e.entryType == 0 ? Text::Key : Text::Value));
}

// Every other row in the highlight colour, when the settings ask for it.
void ColourRow(ScanView& view, int row) {
    const AppSettings& settings = Settings();
    if (settings.HighlightEntry == 1 && row % 2 == 0)
        view.SetRowColor(row, static_cast<COLORREF>(settings.EntryColor));
}

// Ticks the row when the settings select errors of its safety: 0 the safe ones, 1 the unsafe
// ones, 2 all.
void TickAsSettingsSay(ScanView& view, int row, int safety) {
    switch (Settings().SelectItems) {
    case 0:
        if (safety == 1) {
            Log(L"Item is safe, selecting");
            view.CheckRow(row);
        }
        break;
    case 1:
        if (safety == 0) {
            Log(L"Item is unsafe, selecting");
            view.CheckRow(row);
        }
        break;
    case 2:
        Log(L"Selecting item");
        view.CheckRow(row);
        break;
    default:
        break;
    }
}

} // namespace

std::vector<DetectedError>& Records() {
    static std::vector<DetectedError> records;
    return records;
}

std::unordered_map<uint32_t, size_t> RecordPositions() {
    std::unordered_map<uint32_t, size_t> positions;
    const std::vector<DetectedError>& records = Records();
    for (size_t i = 0; i < records.size(); ++i)
        positions.emplace(records[i].id, i);
    return positions;
}

uint64_t ErrorsFound() {
    return g_errorsFound.load();
}
void SetErrorsFound(uint64_t n) {
    g_errorsFound.store(n);
}

int InExceptions(RootKey root, const std::wstring& keyPath) {
    for (const SkipMapEntry& rule : Exceptions())
        if (ExceptionMatches(rule, root, keyPath)) return 1;
    return 0;
}

int InSkipMap(RootKey root, const std::wstring& keyPath) {
    // Exact keys only: an entry never protects the keys below it.
    std::wstring path = WithoutTrailingBackslash(keyPath);
    for (const SkipMapEntry& entry : SkipMap())
        if (SameSkipEntry(entry, root, path)) return 1;
    return 0;
}

void ClearRecords() {
    for (const DetectedError& record : Records())
        ReleaseRecordId(record.id);
    Records().clear();
}

int ReportDetectedError(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                        const std::wstring& valueData, const std::wstring& category,
                        const std::wstring& description, int safety, int entryType) {
    MDR_HERE();
    if (Skipped(root, keyPath)) return 0;
    ScanView* view = GetScanView();
    const int item = CurrentArea();
    const uint64_t errors = CountError(item, view);
    const DetectedError record{.root = root,
                               .keyPath = keyPath,
                               .valueName = valueName,
                               .valueData = valueData,
                               .category = category,
                               .areaIndex = item - 1,
                               .description = description,
                               .safety = safety,
                               .entryType = entryType,
                               .id = NewRecordId(),
                               .fixedBefore =
                                   FixedBefore(root, keyPath, valueName, entryType == 1)};
    Records().push_back(record);
    const ResultRow shown = RowOf(record);
    LogError(record, shown);
    if (!view) return 1;

    const int row = view->RowCount();
    view->AddRow(shown);
    ColourRow(*view, row);
    if (errors == 1) {
        view->ShowDetails(record.description);
        view->SelectRow(row);
    }
    // An entry that came back after a fix is never ticked: a program re-creates it.
    if (record.fixedBefore.empty()) TickAsSettingsSay(*view, row, safety);
    return 1;
}

} // namespace mdr
