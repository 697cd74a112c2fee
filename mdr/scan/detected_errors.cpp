#include "mdr/scan/detected_errors.h"

#include <atomic>

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

} // namespace

std::vector<DetectedError>& Records() {
    static std::vector<DetectedError> records;
    return records;
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
    // The user's own exceptions win over the shipped skip map (and are what the log names).
    if (InExceptions(root, keyPath)) {
        LogSkip(root, keyPath, L"Key is on blacklist.");
        return 0;
    }
    if (InSkipMap(root, keyPath)) {
        LogSkip(root, keyPath, L"Key is on default blacklist.");
        return 0;
    }

    ScanView* view = GetScanView();
    const int item = CurrentArea();
    const int areaIndex = item - 1;
    const bool areaKnown = areaIndex >= 0 && areaIndex < kAreaCount;
    const uint64_t errors = g_errorsFound.fetch_add(1) + 1;
    if (areaKnown) {
        AreaEntry& area = AreaTable()[areaIndex];
        ++area.errorsFound;
        if (view)
            view->SetAreaText(item, area.name + L" (" + std::to_wstring(area.errorsFound) + L")");
    }

    DetectedError record;
    record.root = root;
    record.keyPath = keyPath;
    record.valueName = valueName;
    record.valueData = valueData;
    record.category = category;
    record.areaIndex = areaIndex;
    record.description = description;
    record.safety = safety;
    record.entryType = entryType;
    record.id = NewRecordId();
    Records().push_back(record);

    const std::wstring rootName = RootKeyName(root);
    const std::wstring shownValue = valueName.empty() ? std::wstring(L"(Default)") : valueName;
    const std::wstring shownData = valueData.empty() ? LangText(Text::EmptyData) : valueData;
    const std::wstring typeText = LangText(entryType == 0 ? Text::Key : Text::Value);
    const int row = view ? view->RowCount() : 0;

    Log(L"---> Error detected");
    Log(L"Main key: " + rootName);
    Log(L"Subkey: " + keyPath);
    Log(L"Value: " + shownValue);
    Log(L"Value data: " + shownData);
    Log(L"Category: " + category);
    Log(L"Safety: " + std::to_wstring(safety));
    Log(L"Entry type: " + typeText);

    if (!view) return 1;
    ResultRow shown;
    shown.columns[0] = rootName;
    shown.columns[1] = keyPath;
    shown.columns[2] = shownValue;
    shown.columns[3] = shownData;
    shown.columns[4] = category;
    shown.image = safety == 1 ? kSafeIcon : kUnsafeIcon;
    shown.id = record.id;
    view->AddRow(shown);

    const AppSettings& settings = Settings();
    if (settings.HighlightEntry == 1 && row % 2 == 0)
        view->SetRowColor(row, static_cast<COLORREF>(settings.EntryColor));

    if (errors == 1) {
        for (const DetectedError& r : Records()) {
            if (r.id == shown.id) {
                view->ShowDetails(r.description);
                break;
            }
        }
        view->SelectRow(row);
    }

    switch (settings.SelectItems) {
    case 0:
        if (safety == 1) {
            Log(L"Item is safe, selecting");
            view->CheckRow(row);
        }
        break;
    case 1:
        if (safety == 0) {
            Log(L"Item is unsafe, selecting");
            view->CheckRow(row);
        }
        break;
    case 2:
        Log(L"Selecting item");
        view->CheckRow(row);
        break;
    default:
        break;
    }
    return 1;
}

} // namespace mdr
