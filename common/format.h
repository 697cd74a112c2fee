// Sizes as text for people ("1.50 KB"), shared by the main program and the tools.
#pragma once

#include <cstdint>
#include <string>

namespace mdr {

// size in the largest unit of "B,KB,MB,GB,TB,PB,EB" (powers of 1024) that is not above it,
// with `decimals` decimals (0 to 20; bytes always without any), rounded to nearest with ties
// to even on the exact binary value (as a correctly rounding printf): 0 -> "0 B", 1023 ->
// "1023 B", 1536 with 2 -> "1.50 KB", 1048575 with 2 -> "1024.00 KB". A negative size (an
// error marker some callers pass on) is shown as "-" and the text of its magnitude.
std::wstring FormatByteSize(int64_t size, int decimals);

} // namespace mdr
