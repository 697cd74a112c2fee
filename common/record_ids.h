// Record identifiers: random numbers 0..99999999 that tie a list row (its item data) to its
// record; no two live records of a program hold the same one. Thread-safe.
#pragma once

#include <cstdint>

namespace mdr {

// Draws until it finds an identifier no live record holds, and remembers it.
uint32_t NewRecordId();
// Forgets an identifier; an unknown one is ignored.
void ReleaseRecordId(uint32_t id);

} // namespace mdr
