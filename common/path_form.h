// Paths as the registry holds them come in many spellings of one place ("C:\.", "c:\\windows",
// "\\?\C:\Windows\", short names); compare them only in the one form made here.
#pragma once

#include <string>
#include <string_view>

namespace mdr {

// A UNC path ("\\host\share\...", "\\?\UNC\...") or a path on a network drive: touching it can
// stall for as long as the network takes to answer that the host does not exist.
bool IsNetworkPath(std::wstring_view path);

// The form in which two spellings of one place compare equal: a "\\?\" prefix removed, the full
// path (".", ".." and doubled backslashes resolved), the long form of what exists, one trailing
// backslash for a folder (or a path written with one) and lower case. Network paths are only
// rewritten as text, never looked up. "" for "".
std::wstring CanonicalPath(std::wstring_view path);

// Pure text steps of CanonicalPath, for tests: the prefix removal ("\\?\UNC\h\s" becomes
// "\\h\s") and whether the text names a network place.
std::wstring WithoutLongPrefix(std::wstring_view path);
bool IsUncText(std::wstring_view path);

} // namespace mdr
