// Small window routines of the main program: the Close command of a window's system menu, the
// notification-area icon with its balloon, and bringing another program's window forward.
#pragma once

#include <windows.h>
#include <string>

namespace mdr {

// Greys (0) or enables (1) the Close item of window's system menu. Does nothing unless enable is
// 0 or 1 and window is valid. Returns 1.
int EnableCloseCommand(HWND window, int enable);

// The program's notification-area icon (icon-table entry 0, tooltip "Veltrane Mendora"),
// reporting mouse events to window with callbackMessage.
bool AddTrayIcon(HWND window, UINT iconId, UINT callbackMessage);
bool RemoveTrayIcon(HWND window, UINT iconId);

// Balloon notice from the icon: sets the icon's version to 4, then shows text (at most 256
// characters) under title (at most 64). Returns the result of the modify call.
int ShowBalloon(UINT iconId, HWND window, const std::wstring& title, const std::wstring& text,
                UINT timeout, DWORD infoFlags);

// Shows, restores and brings forward the first visible top-level window whose title contains
// title (ignoring case). 1 when one was found, 0 otherwise.
int ActivateWindowByTitle(const std::wstring& title);

} // namespace mdr
