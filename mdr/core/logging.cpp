// The diagnostic log: each call opens the file, appends whole lines and closes it again, so the
// log survives a crash up to the last line written. The scan thread and the main thread both
// log; one lock keeps their lines whole (an append is not atomic everywhere, Wine tears lines).
#include "mdr/core/logging.h"

#include <windows.h>
#include <cstdio>
#include <mutex>

#include "mdr/core/settings.h"
#include "common/lock.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Logging);

namespace mdr {
namespace {

constexpr char kLineEnd[] = "\r\n";

Mutex& LogLock() {
    static Mutex lock;
    return lock;
}

// Opens for appending; other programs may read or delete the log meanwhile.
UniqueFile OpenForAppend(const std::wstring& path, DWORD disposition) {
    return UniqueFile(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Once WriteFile returns the text belongs to the system and survives a crash of the program;
// forcing it to disk for every line would slow a logged scan down for nothing.
bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        return false;
    }
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
    std::lock_guard<Mutex> hold(LogLock());
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
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = ToUtf8(
        FormatLogLine(text, now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond));
    line.append(kLineEnd);
    std::lock_guard<Mutex> hold(LogLock());
    // OPEN_EXISTING: only BeginLogFile creates the log, so a log deleted while the program runs
    // stays deleted.
    UniqueFile file = OpenForAppend(path, OPEN_EXISTING);
    if (!file) return -1;
    WriteAll(file.get(), line);
    return 1;
}

void Log(std::wstring_view text) {
    if (Settings().CreateLog == 1) WriteLog(Paths().logFile, text);
}

} // namespace mdr
