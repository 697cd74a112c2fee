// The contract every area procedure and check procedure follows, in one place.
#pragma once

#include <string>

#include "mdr/core/texts.h"
#include "mdr/scan/engine_state.h"

namespace mdr {

struct ItemPlan;

// Steps 1 and 2 of a check procedure. Returns 1 to go on with the area's tests, 0 when the
// procedure should return 0 (empty key path or value name), -1 when the user cancelled.
int BeginSubkeyCheck(RootKey root, const std::wstring& keyPath);
int BeginValueCheck(RootKey root, const std::wstring& keyPath, const std::wstring& valueName);

// A failing test: hands the error to the error-report callback (when set) and raises the area
// error count.
void ReportAreaError(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                     const std::wstring& valueData, const std::wstring& category,
                     const std::wstring& description, int safety, int entryType);

// Walks the key with the check, then, in the 64-bit edition, the key's 32-bit twin (when it is
// split) in the 32-bit view. -1 as soon as the user stopped one walk.
// With a plan (of what the checks read of each key), each walk reads its keys ahead
// (read_ahead.h).
int EnumerateSubkeysInViews(RootKey root, const std::wstring& keyPath, bool recursive,
                            SubkeyCheck check, const ItemPlan* plan = nullptr);
int EnumerateValuesInViews(RootKey root, const std::wstring& keyPath, ValueCheck check);
// Joins a key path and a child name ("" parent gives the child alone).
std::wstring JoinKey(const std::wstring& parent, const std::wstring& child);

// The language text with its placeholder replaced by text in double quotes: the description
// every area stores with a report.
std::wstring Describe(Text entry, const wchar_t* placeholder, const std::wstring& text);

// The last component of a key path (the whole path when it has no "\").
std::wstring LastComponent(const std::wstring& keyPath);

} // namespace mdr
