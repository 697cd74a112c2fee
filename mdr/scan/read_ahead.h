// Reading the keys of a walk ahead of the scan. Where every registry call is a round trip to a
// server (Wine's registry lives in the wine server), a scan thread that reads item after item
// spends most of its time waiting for answers. While it checks one class or interface, a second
// thread opens the next keys of the same walk and reads what their checks will ask for; the scan
// thread takes those answers, and reads an item itself when the reader has not got to it yet, so
// the two share the reading. The scan still examines, reports and pauses item by item, in its own
// order, and its answers are the ones its own reads would give.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "common/registry.h"

namespace mdr {

struct ItemAnswers;

// What the checks of a walk ask of each item's key (see ItemKey).
struct ItemPlan {
    bool count = false;                      // its own values counted, its subkeys listed
    bool holdsValues = false;                // HoldsValues, with the walk below it
    std::span<const wchar_t* const> subkeys; // default values of these subkeys
    std::span<const wchar_t* const> values;  // these values of the key itself
};

class ReadAhead;

// Reads the subkeys of root\containerPath ahead of this thread's walk of them, for the scope's
// lifetime. The walk's check makes one ItemKey for every key it is handed, before anything else
// that makes one: the n-th ItemKey made is matched with the n-th key read (and its path checked).
// Does nothing without a plan, or when the user chose a gentler scan (a scan delay above 0), which
// should keep to one thread.
class ReadAheadScope {
  public:
    ReadAheadScope(RootKey root, const std::wstring& containerPath, const ItemPlan* plan);
    // Stops the reader and waits for it.
    ~ReadAheadScope();
    ReadAheadScope(const ReadAheadScope&) = delete;
    ReadAheadScope& operator=(const ReadAheadScope&) = delete;

  private:
    std::unique_ptr<ReadAhead> ahead_;
    ReadAhead* outer_;
};

// The answers read ahead for root\keyPath on this thread's walk, moved into `answers`; false
// when there are none (the caller then reads the key itself).
bool TakeReadAhead(RootKey root, const std::wstring& keyPath, ItemAnswers& answers);

// For tests: how many items the readers of this process answered, and how many they read.
struct ReadAheadCounts {
    long taken = 0;
    long read = 0;
};
ReadAheadCounts ReadAheadTotals();

} // namespace mdr
