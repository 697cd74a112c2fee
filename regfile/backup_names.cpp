#include "regfile/backup_names.h"

#include <cwchar>

#include "common/handles.h"

namespace mdr {
namespace {
constexpr int kMaxBackupAttempts = 9999;
} // namespace

std::wstring DatedName(std::wstring_view program, const SYSTEMTIME& t) {
    wchar_t date[40];
    swprintf(date, 40, L"_%02u_%02u_%02u_(%02u%02u%02u)", t.wDay, t.wMonth, t.wYear % 100u, t.wHour,
             t.wMinute, t.wSecond);
    return std::wstring(program) + date;
}

std::wstring BackupFileName(std::wstring_view program, const SYSTEMTIME& localTime, int attempt) {
    std::wstring name = DatedName(program, localTime);
    if (attempt > 1) name += L"_" + std::to_wstring(attempt);
    return name + L".reg";
}

std::wstring FreeBackupFilePath(const std::wstring& folder, std::wstring_view program,
                                const SYSTEMTIME& localTime,
                                const std::function<bool(const std::wstring&)>& taken) {
    for (int attempt = 1; attempt <= kMaxBackupAttempts; ++attempt) {
        std::wstring path = folder + BackupFileName(program, localTime, attempt);
        if (!taken(path)) return path;
    }
    return L"";
}

std::wstring ReserveBackupFile(const std::wstring& folder, std::wstring_view program,
                               const SYSTEMTIME& localTime) {
    std::wstring reserved;
    FreeBackupFilePath(folder, program, localTime, [&](const std::wstring& path) {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            reserved = path;
            return false;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return true;
        // Something else in the way (a folder of that name, a file being deleted): next name.
        // Nothing there at all means the folder takes no files; stop.
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    return reserved;
}

} // namespace mdr
