// Registry-editor runs.
#include "mdr/repair/registry_editor.h"

#include <shlobj.h>

#include "common/trace.h"

MDR_TRACE_MODULE(Regedit);

namespace mdr {

std::wstring RegistryEditorPath() {
    MDR_HERE();
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_WINDOWS, FALSE) || !folder[0]) return {};
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    return path + L"regedit.exe";
}

bool RegistryEditorRun::Start(const std::wstring& editorPath, const std::wstring& arguments) {
    MDR_HERE();
    Release();
    if (editorPath.empty()) return false;

    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                               nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    if (nul) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    }
    std::wstring commandLine = L"\"" + editorPath + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(editorPath.c_str(), commandLine.data(), nullptr, nullptr,
                        nul ? TRUE : FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    return true;
}

void RegistryEditorRun::Release() {
    if (!process_) return;
    // Ends a run that is given up; an editor that has ended is not affected.
    if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000); // its file is closed before the caller looks
    }
    process_.reset();
}

} // namespace mdr
