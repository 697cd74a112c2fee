// A plain top-level window that stands in for the main window: it opens at the saved position
// and size with the main window's title, ends the program when closed, and stores its state in
// Settings() as a MainWindowRunner must.
#pragma once

namespace mdr {

constexpr wchar_t kPlainWindowClass[] = L"MDRPlainWindow";

// A MainWindowRunner: 1 after the loop ended, 0 when the window could not be made.
int RunPlainWindow();

} // namespace mdr
