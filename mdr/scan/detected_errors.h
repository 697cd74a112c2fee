// Detected errors: the record list, ReportDetectedError with the skip rules, record identifiers.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/record_ids.h"
#include "mdr/scan/engine_state.h"

namespace mdr {

struct DetectedError {
    RootKey root = 0;
    std::wstring keyPath;
    std::wstring valueName;
    std::wstring valueData;
    std::wstring category;
    int areaIndex = 0; // 0..17
    std::wstring description;
    int safety = 0;    // 1 safe, 0 unsafe
    int entryType = 0; // 0 remove the key, 1 remove the value
    uint32_t id = 0;
    std::wstring fixedBefore; // the date of an earlier fix of this entry, "" for none
};

std::vector<DetectedError>& Records();
// Each record's place in the record list (the order the scan found them), by identifier.
std::unordered_map<uint32_t, size_t> RecordPositions();
// 64-bit errors-found counter (single writer).
uint64_t ErrorsFound();
void SetErrorsFound(uint64_t n);

// 1 stored, 0 skipped. The engine's error-report callback.
int ReportDetectedError(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                        const std::wstring& valueData, const std::wstring& category,
                        const std::wstring& description, int safety, int entryType);
int InExceptions(RootKey root, const std::wstring& keyPath);
int InSkipMap(RootKey root, const std::wstring& keyPath);

// Releases every identifier and empties the record list (before a scan).
void ClearRecords();

} // namespace mdr
