#include "mdr/scan/area_support.h"

#include "mdr/core/localization.h"
#include "mdr/scan/read_ahead.h"
#include "common/trace.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

namespace {

// Hands the item to the progress callback; false when the user has stopped the scan.
bool KeepGoing(const std::wstring& itemText) {
    ProgressCallback progress = GetProgressCallback();
    return !progress || progress(itemText) != 0;
}

} // namespace

int EnumerateSubkeysInViews(RootKey root, const std::wstring& keyPath, bool recursive,
                            SubkeyCheck check, const ItemPlan* plan) {
    // Only the keys of one level are read ahead.
    if (recursive) plan = nullptr;
    int native;
    {
        const ReadAheadScope ahead(root, keyPath, plan);
        native = EnumerateSubkeys(root, keyPath, recursive, check);
    }
    if (native == -1) return -1;
    const std::wstring twin = kScansBothViews ? Wow32Twin(root, keyPath) : L"";
    if (twin.empty()) return native;
    const Wow32ViewScope view;
    const ReadAheadScope ahead(root, twin, plan);
    return EnumerateSubkeys(root, twin, recursive, check);
}

int EnumerateValuesInViews(RootKey root, const std::wstring& keyPath, ValueCheck check) {
    const int native = EnumerateValues(root, keyPath, check);
    if (native == -1) return -1;
    const std::wstring twin = kScansBothViews ? Wow32Twin(root, keyPath) : L"";
    if (twin.empty()) return native;
    const Wow32ViewScope view;
    return EnumerateValues(root, twin, check);
}

int BeginSubkeyCheck(RootKey root, const std::wstring& keyPath) {
    if (keyPath.empty()) return 0;
    return KeepGoing(L" " + RootKeyName(root) + L"\\" + keyPath) ? 1 : -1;
}

int BeginValueCheck(RootKey root, const std::wstring& keyPath, const std::wstring& valueName) {
    if (valueName.empty()) return 0;
    return KeepGoing(L" " + RootKeyName(root) + L"\\" + keyPath + L"\\" + valueName) ? 1 : -1;
}

void ReportAreaError(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                     const std::wstring& valueData, const std::wstring& category,
                     const std::wstring& description, int safety, int entryType) {
    MDR_HERE();
    if (ErrorReportCallback report = GetErrorReportCallback())
        report(root, keyPath, valueName, valueData, category, description, safety, entryType);
    // Counted whether the report was stored or skipped by the user's rules.
    ++AreaErrorCount();
}

std::wstring JoinKey(const std::wstring& parent, const std::wstring& child) {
    if (parent.empty()) return child;
    return parent + L"\\" + child;
}

std::wstring Describe(Text entry, const wchar_t* placeholder, const std::wstring& text) {
    return ReplacePlaceholder(LangText(entry), placeholder, L"\"" + text + L"\"");
}

std::wstring LastComponent(const std::wstring& keyPath) {
    size_t slash = keyPath.rfind(L'\\');
    return slash == std::wstring::npos ? keyPath : keyPath.substr(slash + 1);
}

} // namespace mdr
