// The main program's notification-area icon with its balloon.
#pragma once

#include <windows.h>
#include <string>

namespace mdr {

// The program's notification-area icon (icon-table entry 0, tooltip "Veltrane Mendora"),
// reporting mouse events to window with callbackMessage.
bool AddTrayIcon(HWND window, UINT iconId, UINT callbackMessage);
bool RemoveTrayIcon(HWND window, UINT iconId);

// Balloon notice from the icon: sets the icon's version to 4, then shows text (at most 256
// characters) under title (at most 64). Returns the result of the modify call.
int ShowBalloon(UINT iconId, HWND window, const std::wstring& title, const std::wstring& text,
                UINT timeout, DWORD infoFlags);

} // namespace mdr
