// The diagnostic log: each call opens the file, appends whole lines and closes it again, so the
// log survives a crash up to the last line written and two threads never hold it open for long.
#include "app/logging.h"

#include <windows.h>
#include <cstdio>

#include "app/settings.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Logging);

namespace mdr {
namespace {

constexpr char kLineEnd[] = "\r\n";

// Opens for appending; the share modes let the scan thread and the main thread append at the
// same time (each WriteFile of a whole line then lands at the end of the file by itself).
UniqueFile OpenForAppend(const std::wstring& path, DWORD disposition) {
    return UniqueFile(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        return false;
    }
    FlushFileBuffers(file);
    return written == bytes.size();
}

} // namespace

std::wstring FormatLogLine(std::wstring_view text, int day, int month, int year, int hour,
                           int minute, int second) {
    if (text.empty()) return std::wstring();
    wchar_t stamp[32];
    swprintf(stamp, 32, L"#%02d/%02d/%02d %02d:%02d:%02d      ", day, month, year % 100, hour,
             minute, second);
    std::wstring line(stamp);
    line.append(text);
    return line;
}

int BeginLogFile(const std::wstring& path, std::wstring_view header) {
    MDR_HERE();
    UniqueFile file = OpenForAppend(path, OPEN_ALWAYS);
    if (!file) return -1;
    std::wstring block = L"\r\n<<< ";
    block.append(header);
    block.append(L" >>>\r\n\r\n");
    WriteAll(file.get(), ToUtf8(block));
    return 1;
}

int WriteLog(const std::wstring& path, std::wstring_view text) {
    MDR_HERE();
    // OPEN_EXISTING: only BeginLogFile creates the log, so a log deleted while the program runs
    // stays deleted.
    UniqueFile file = OpenForAppend(path, OPEN_EXISTING);
    if (!file) return -1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = ToUtf8(
        FormatLogLine(text, now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond));
    line.append(kLineEnd);
    WriteAll(file.get(), line);
    return 1;
}

void Log(std::wstring_view text) {
    if (Settings().CreateLog == 1) WriteLog(Paths().logFile, text);
}

} // namespace mdr
