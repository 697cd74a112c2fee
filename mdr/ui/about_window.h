// The About window: a banner drawn at run time, product, maker, version and physical memory in a
// themed text box, and buttons for the web site and for closing.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>
#include <string_view>

namespace mdr {

// The modal About window; returns 1 once it is closed.
int AboutWindow();

// The text of the About box, lines separated by CR LF.
std::wstring AboutText(std::wstring_view versionLabel, std::wstring_view version,
                       std::wstring_view memoryLabel, uint64_t totalPhysicalBytes);

// Whether text boxes get the thin themed frame instead of their sunken edge: operating-system
// code 60 or more and both uxtheme answers 1.
bool UseThemedFrame(int osCode, int themeActive, int appThemed);
// The same for the running system (uxtheme.dll looked up at run time; missing means no).
bool ThemedFrameWanted();

// A read-only multi-line text box with font 1, given control id number: inside a one-pixel
// frame of COLOR_BTNSHADOW and without its own edge when ThemedFrameWanted(), otherwise with
// its usual sunken edge. flags are further edit styles. Returns the text box, nullptr on
// failure.
HWND ThemedTextBox(HWND parent, int number, int x, int y, int width, int height, DWORD flags);

// The banner: a 24-bit picture with a colour gradient and the product's name. Caller frees it.
HBITMAP CreateBannerBitmap(int width, int height);
// Colour of the gradient at column x of width columns.
COLORREF BannerGradientColor(int x, int width);

} // namespace mdr
