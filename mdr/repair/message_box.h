// Message boxes of the repair subsystem. They go through one replaceable presenter so that tests
// can see what would be shown without a window.
#pragma once

#include <windows.h>
#include <functional>
#include <string_view>

namespace mdr {

// Shows text with title and MB_* flags; returns the pressed button (IDOK, IDYES, ...).
using MessagePresenter =
    std::function<int(std::wstring_view text, std::wstring_view title, UINT flags)>;

// Shows a message box owned by the active window of this thread (or by the presenter installed).
int ShowMessage(std::wstring_view text, std::wstring_view title, UINT flags);

// Installs a presenter (an empty one restores the real message box); returns the previous one.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

} // namespace mdr
