#include "common/debug_privilege.h"

#include <windows.h>

#include "common/handles.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr {

int EnableDebugPrivilege() {
    MDR_HERE();
    constexpr DWORD kAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    UniqueHandle token;
    if (!OpenThreadToken(GetCurrentThread(), kAccess, TRUE, token.put())) {
        if (GetLastError() != ERROR_NO_TOKEN) return 0;
        if (!OpenProcessToken(GetCurrentProcess(), kAccess, token.put())) return 0;
    }

    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &wanted.Privileges[0].Luid)) {
        DWORD error = GetLastError();
        token.reset();
        SetLastError(error);
        return 0;
    }

    TOKEN_PRIVILEGES previous{}; // one entry: 16 bytes
    DWORD previousSize = sizeof(previous);
    if (!AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof(previous), &previous,
                               &previousSize)) {
        DWORD error = GetLastError();
        token.reset();
        SetLastError(error);
        return 0;
    }
    // AdjustTokenPrivileges succeeds even when the token lacks the privilege; only this tells.
    if (GetLastError() == ERROR_NOT_ALL_ASSIGNED) {
        token.reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return 1;
}

} // namespace mdr
