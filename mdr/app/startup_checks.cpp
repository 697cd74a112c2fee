#include "mdr/app/startup_checks.h"

#include "mdr/core/product.h"
#include "common/text.h"
#include "common/trace.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

RefusalMessage MessageFor(Refusal refusal, std::wstring_view languagePath) {
    switch (refusal) {
    case Refusal::OldWindows:
        return {L"We are sorry, Veltrane Mendora was designed "
                L"for " MDR_WINDOWS_FLOOR L" and later operating systems.",
                L"Compatibility problem", MB_ICONINFORMATION};
    case Refusal::SkipMapMissing:
        return {L"'MDRSkipMap.dat' is empty/missing.", L"Error", MB_ICONERROR};
    case Refusal::SkipMapUnreadable:
        return {L"Error reading skip map file 'MDRSkipMap.dat'.", L"Error", MB_ICONERROR};
    case Refusal::SixtyFourBit:
        return {std::wstring(L"We are sorry but the 32 bit version of MDR cannot run on 64 bit "
                             L"versions of Windows. A special edition for x64 systems can be "
                             L"downloaded from ") +
                    kMakerWebAddress + L".",
                L"Information", MB_ICONINFORMATION};
    case Refusal::NotAdministrator:
        return {L"You need to run this program under an Administrator account!", L"Information",
                MB_ICONINFORMATION};
    case Refusal::NoDebugPrivilege:
        return {L"Error increasing priviledges! Are you sure you are running the program under an "
                L"Administrator account?",
                L"Information", MB_ICONINFORMATION};
    case Refusal::SecondInstance:
        return {L"Another instance of the program is already running.", L"Information",
                MB_ICONINFORMATION};
    case Refusal::LanguagesFolder:
        return {L"Error querying the languages directory!", L"Error", 0};
    case Refusal::LanguageFile:
        return {L"Error loading localization file: " + std::wstring(languagePath) + L".", L"Error",
                MB_ICONERROR};
    }
    return {};
}

bool IsOlderThanFloor(DWORD version, DWORD floor) {
    return version != 0 && version < floor;
}

bool IsSixtyFourBitSystem(bool haveNativeSystemInfo, WORD processorArchitecture) {
    return haveNativeSystemInfo && processorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

bool IsSecondInstance(DWORD lastErrorAfterCreate) {
    // Access denied: the mutex exists but belongs to an instance started under another account.
    return lastErrorAfterCreate == ERROR_ALREADY_EXISTS ||
           lastErrorAfterCreate == ERROR_ACCESS_DENIED;
}

CommandLineFlags ParseParameters(const std::vector<std::wstring>& arguments) {
    MDR_HERE();
    CommandLineFlags flags;
    for (const std::wstring& argument : arguments) {
        std::wstring parameter = Trim(ToLower(argument));
        if (parameter == L"-scan")
            flags.scan = true;
        else if (parameter == L"-minimized")
            flags.minimized = true;
        else if (parameter == L"-warnordie")
            flags.warnOrDie = true;
        flags.parameters.push_back(std::move(parameter));
    }
    return flags;
}

} // namespace mdr
