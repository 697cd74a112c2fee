#include "mdr/core/os_version.h"

#include <windows.h>

#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr {

int OsCodeFromVersion(unsigned platformId, unsigned major, unsigned minor, unsigned productType) {
    const bool workstation = productType == VER_NT_WORKSTATION;
    if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (major != 4) return kOsUnknown;
        switch (minor) {
        case 0:
            return 10;
        case 10:
            return 30;
        case 90:
            return 40;
        default:
            return kOsUnknown;
        }
    }
    if (platformId != VER_PLATFORM_WIN32_NT) return kOsUnknown;
    if (major == 3) return 5;
    if (major == 4) return 20;
    if (major == 5) {
        if (minor == 0) return 50;
        if (minor == 1) return 60;
        if (minor == 2) return workstation ? 60 : 65;
        return kOsUnknown;
    }
    if (major == 6) {
        if (minor == 0) return workstation ? 70 : 75;
        if (minor == 1) return workstation ? 80 : 75;
    }
    return kOsUnknown;
}

int OperatingSystemCode() {
    MDR_HERE();
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        // Systems before NT 4 SP6 know only the short record (and no product type).
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return kOsUnknown;
    }
    return OsCodeFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                             info.wProductType);
}

} // namespace mdr
