#include "tests/support/wine_drive.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

#include "common/handles.h"

namespace mdr::test {

namespace {

struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

} // namespace

bool DefineWineDrive(wchar_t letter, UINT type, const std::string& unixPath) {
    UniqueFile manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    if (!manager) return false;
    std::vector<char> buffer(sizeof(WineUnixDrive) + unixPath.size() + 1, 0);
    auto* drive = reinterpret_cast<WineUnixDrive*>(buffer.data());
    drive->letter = static_cast<WCHAR>(towlower(letter));
    drive->type = type;
    if (!unixPath.empty()) {
        drive->mountPointOffset = sizeof(WineUnixDrive);
        std::memcpy(buffer.data() + sizeof(WineUnixDrive), unixPath.c_str(), unixPath.size());
    } else {
        buffer.resize(sizeof(WineUnixDrive));
    }
    drive->size = static_cast<ULONG>(buffer.size());
    DWORD got = 0;
    return DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &got, nullptr) != 0;
}

std::string UnixPathOf(const std::wstring& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return "";
    char* unix = convert(path.c_str());
    if (!unix) return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

} // namespace mdr::test
