// What fixing one row will delete, told before the user presses Fix: the value, or the key with
// the subkeys and values below it (counted up to a bound, so a huge branch never stalls the
// window), and whether the backup can give it all back exactly.
#pragma once

#include <cstdint>
#include <string>

#include "mdr/scan/detected_errors.h"

namespace mdr {

inline constexpr uint64_t kMostPreviewKeys = 10000;

struct FixPreview {
    bool present = false; // the key or value is still there
    bool value = false;   // the fix deletes one value (else a key with what lies below it)
    uint64_t subkeys = 0;
    uint64_t values = 0;
    bool countStopped = false; // more than kMostPreviewKeys keys: the counts are a lower bound
    bool exact = true;         // every key name and value survives the backup exactly
};

// Reads the registry for the record's entry.
FixPreview PreviewFix(const DetectedError& e);

// The lines the details pane adds for the preview, from the language file.
std::wstring FixPreviewText(const FixPreview& preview, const std::wstring& valueName);

} // namespace mdr
