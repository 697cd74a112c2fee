// The stand-in uninstaller's late copy ("/late", "/latelong") works until a test sets this
// manual-reset event, a minute at most; the test resets it for the next copy.
#pragma once

inline constexpr wchar_t kProbeRelease[] = L"MdrUninstallProbeRelease";
