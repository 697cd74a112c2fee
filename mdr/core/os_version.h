// Operating-system codes 5..100 (the start-up test, the crash report, the balloon notice).
#pragma once

namespace mdr {

constexpr int kOsWindows2000 = 50;
constexpr int kOsUnknown = 100;

// The code for a version as GetVersionExA reports it: platformId 1 = 9x, 2 = NT; productType 1 =
// workstation (0 when the extended information was not available). Pure.
int OsCodeFromVersion(unsigned platformId, unsigned major, unsigned minor, unsigned productType);

// The running system's code; 100 when the version cannot be read.
int OperatingSystemCode();

} // namespace mdr
