// Record identifiers: random numbers 1..99999999 that tie a list row (its item data) to its
// record; no two live records of a program hold the same one, and 0 is never one (callers use
// it for "no record"). Thread-safe.
#pragma once

#include <cstdint>

namespace mdr {

// Draws until it finds an identifier no live record holds, and remembers it.
uint32_t NewRecordId();
// Forgets an identifier; an unknown one is ignored.
void ReleaseRecordId(uint32_t id);

} // namespace mdr
