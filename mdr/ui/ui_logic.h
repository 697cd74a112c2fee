// Pure logic of the main window and scan control: duration texts, status-bar parts, splitter
// limits, the scan-area ticks of Config.ini, and the size the shell asks for.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// "1 hour 2 minutes 5 seconds" style text for elapsed seconds: hours (counted 0..59, as the
// status line always did), minutes only when not 0, seconds always; singular for exactly 1.
std::wstring FormatDuration(int64_t elapsed, std::wstring_view hour, std::wstring_view hours,
                            std::wstring_view minute, std::wstring_view minutes,
                            std::wstring_view second, std::wstring_view seconds);

// Right edges of the four status-bar fields for a window whose inner width is width.
std::array<int, 4> StatusPartEdges(int width);
// The fields' right edges as created: 300, 75, 75 and 75 pixels wide.
std::array<int, 4> InitialStatusPartEdges();

// ScanZonesState: field i (0..17) ticked when it is exactly "1"; missing fields are unticked.
std::array<bool, 18> ParseScanZones(std::wstring_view text);
std::wstring FormatScanZones(const std::array<bool, 18>& ticked);

// Menu caption with its shortcut text after a tab ("" shortcut: caption alone).
std::wstring MenuItemText(std::wstring_view caption, std::wstring_view shortcut);

// NOTIFYICONDATAW size the shell of an operating-system code expects.
unsigned NotifyIconDataSize(int osCode);

} // namespace mdr
