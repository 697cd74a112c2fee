// The notification-area icon and its balloon.
#include "mdr/ui/tray_icon.h"

#include <shellapi.h>

#include <algorithm>

#include "mdr/core/os_version.h"
#include "common/trace.h"
#include "mdr/ui/ui_logic.h"
#include "mdr/ui/ui_resources.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kTrayTip[] = L"Veltrane Mendora";

// The structure is always the newest layout; cbSize tells the shell how much of it it may read.
NOTIFYICONDATAW IconData(HWND window, UINT iconId) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = std::min<unsigned>(NotifyIconDataSize(OperatingSystemCode()), sizeof(nid));
    nid.hWnd = window;
    nid.uID = iconId;
    return nid;
}

void CopyText(wchar_t* dest, size_t capacity, const std::wstring& text) {
    const size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.c_str(), n, dest);
    dest[n] = L'\0';
}

} // namespace

bool AddTrayIcon(HWND window, UINT iconId, UINT callbackMessage) {
    MDR_HERE();
    NOTIFYICONDATAW nid = IconData(window, iconId);
    nid.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    nid.uCallbackMessage = callbackMessage;
    nid.hIcon = TableIcon(0);
    CopyText(nid.szTip, std::size(nid.szTip), kTrayTip);
    return Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
}

bool RemoveTrayIcon(HWND window, UINT iconId) {
    NOTIFYICONDATAW nid = IconData(window, iconId);
    return Shell_NotifyIconW(NIM_DELETE, &nid) != FALSE;
}

int ShowBalloon(UINT iconId, HWND window, const std::wstring& title, const std::wstring& text,
                UINT timeout, DWORD infoFlags) {
    MDR_HERE();
    NOTIFYICONDATAW nid = IconData(window, iconId);
    // NOTIFYICON_VERSION_4, newer than the floor's headers: older shells refuse it and keep theirs.
    nid.uVersion = 4;
    Shell_NotifyIconW(NIM_SETVERSION, &nid);
    nid = IconData(window, iconId);
    nid.uFlags = NIF_INFO;
    CopyText(nid.szInfo, std::size(nid.szInfo), text);
    CopyText(nid.szInfoTitle, std::size(nid.szInfoTitle), title);
    nid.uTimeout = timeout;
    nid.dwInfoFlags = infoFlags;
    return Shell_NotifyIconW(NIM_MODIFY, &nid);
}

} // namespace mdr
