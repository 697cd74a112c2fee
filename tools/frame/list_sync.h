// Keeping a list's rows in step with a fresh scan, by identity rather than by position: rows
// that still match a record keep their place, vanished rows go, new records are inserted where
// the scan puts them, and records with the same identity show as one row. Afterwards the rows
// are exactly the distinct records in scan order, so the selection and scroll position survive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

struct ListSyncStep {
    enum Kind { Remove, Keep, Insert } kind;
    int row;    // Remove: the row to delete (in descending order); Keep/Insert: its final index
    int record; // Keep/Insert: the record the row shows from now on; Remove: -1
};

// The steps, in the order to apply them: every Remove first (last row first), then one Keep or
// Insert per distinct record, by ascending final row index. Keys are compared as given.
std::vector<ListSyncStep> PlanListSync(const std::vector<std::wstring>& rowKeys,
                                       const std::vector<std::wstring>& recordKeys);

// An identity key of texts compared without regard to case and surrounding blanks.
std::wstring IdentityKey(std::initializer_list<std::wstring_view> texts);

} // namespace mdr
