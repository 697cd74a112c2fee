// A stand-in for the System Restore client library, built as srclient.dll and put beside a test
// program. SRSetRestorePointW answers the begin call as MDR_FAKE_SR says ("result,status,sequence")
// and every end call with TRUE and status 0; each call is recorded as a line
// "event type sequence description" in the file named by MDR_FAKE_SR_RECORD.
// Built with MDR_FAKE_SR_NO_EXPORT, the library lacks the function altogether.
#include <windows.h>
#include <srrestoreptapi.h>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef MDR_FAKE_SR_NO_EXPORT
namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

void Record(const RESTOREPOINTINFOW& info) {
    const std::wstring path = Env(L"MDR_FAKE_SR_RECORD");
    if (path.empty()) return;
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::app)
        << info.dwEventType << ' ' << info.dwRestorePtType << ' ' << info.llSequenceNumber << ' '
        << std::filesystem::path(info.szDescription).string() << "\r\n";
}

} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    SRSetRestorePointW(PRESTOREPOINTINFOW info, PSTATEMGRSTATUS status) {
    Record(*info);
    if (info->dwEventType != BEGIN_SYSTEM_CHANGE) {
        status->nStatus = ERROR_SUCCESS;
        status->llSequenceNumber = info->llSequenceNumber;
        return TRUE;
    }
    std::wstring wanted = Env(L"MDR_FAKE_SR");
    wchar_t* end = nullptr;
    unsigned long result = wcstoul(wanted.c_str(), &end, 0);
    unsigned long code = *end == L',' ? wcstoul(end + 1, &end, 0) : 0;
    long long sequence = *end == L',' ? static_cast<long long>(wcstoull(end + 1, &end, 0)) : 0;
    status->nStatus = code;
    status->llSequenceNumber = sequence;
    return result != 0;
}
#else
extern "C" __declspec(dllexport) DWORD WINAPI SRRemoveRestorePoint(DWORD) {
    return 0;
}
#endif
