// Shared set-up of the scan engine tests: the shipped English texts, a captured program log, and
// the Wine check for tests that use Wine's own drive manager.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/localization.h"
#include "core/settings.h"
#include "common/text.h"

namespace mdr::test {

inline bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The install folder the build produced, as a Windows path ending in "\".
inline std::wstring DistFolder() {
    const char* dist = std::getenv("MDR_DIST_DIR");
    if (!dist) return L"";
    std::wstring path = FromUtf8(dist);
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

// Loads the shipped English language file, as start-up does.
inline void LoadEnglishTexts() {
    ASSERT_EQ(LoadLanguage(DistFolder(), L"Localization\\English.ini"), 1)
        << "English.ini not found under " << ToUtf8(DistFolder());
    ASSERT_FALSE(LangText(1).empty());
}

// Turns the program log on into a fresh empty file (the log is never created by a write) and
// reads back its lines without their date stamps. Restores the settings afterwards.
class LogCapture {
  public:
    LogCapture() {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path_ =
            std::wstring(temp) + L"MDRScanTest_" + std::to_wstring(GetCurrentProcessId()) + L".log";
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        savedLog_ = Settings().CreateLog;
        savedPath_ = Paths().logFile;
        Settings().CreateLog = 1;
        Paths().logFile = path_;
    }
    ~LogCapture() {
        Settings().CreateLog = savedLog_;
        Paths().logFile = savedPath_;
        DeleteFileW(path_.c_str());
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The texts of the dated lines, in order ("#dd/mm/yy hh:mm:ss      " removed).
    std::vector<std::wstring> Lines() const {
        std::ifstream in(path_.c_str(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        std::vector<std::wstring> lines;
        for (const std::wstring& raw : Split(FromUtf8(all.str()), L'\n')) {
            std::wstring line = raw;
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            if (line.empty()) continue;
            if (line[0] == L'#' && line.size() >= 24) line = line.substr(24);
            lines.push_back(line);
        }
        return lines;
    }
    void Clear() {
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }

  private:
    std::wstring path_;
    std::wstring savedPath_;
    int savedLog_ = 0;
};

// Position of `line` in `lines` at or after `from`, or -1.
inline int FindLine(const std::vector<std::wstring>& lines, const std::wstring& line,
                    int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<size_t>(i)] == line) return i;
    return -1;
}

} // namespace mdr::test
