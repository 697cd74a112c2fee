// The version text and the Windows floor of the edition under test, written out for both.
#pragma once

namespace mdr::test {
inline constexpr const wchar_t* kVersionText =
    sizeof(void*) == 8 ? L"1.0 BETA (64 bit edition)" : L"1.0 BETA (32 bit edition)";
inline constexpr const char* kVersionTextUtf8 =
    sizeof(void*) == 8 ? "1.0 BETA (64 bit edition)" : "1.0 BETA (32 bit edition)";
// This edition's Windows floor: its name, and Wine's name of it.
inline constexpr const wchar_t* kFloorName =
    sizeof(void*) == 8 ? L"Windows XP x64 / Server 2003 SP1" : L"Windows XP SP3";
inline constexpr const wchar_t* kWineFloor = sizeof(void*) == 8 ? L"winxp64" : L"winxp";
} // namespace mdr::test
