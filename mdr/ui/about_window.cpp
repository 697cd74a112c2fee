// The About window, its banner and its themed text box.
#include "mdr/ui/about_window.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/os_version.h"
#include "mdr/core/product.h"
#include "common/resources.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/trace.h"
#include "common/window.h"
#include "resource_ids.h"
#include "mdr/ui/main_window.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kAboutClass[] = L"VeltraneMendoraAbout";
constexpr wchar_t kFrameClass[] = L"VeltraneMendoraBoxFrame";
constexpr wchar_t kProductName[] = L"Veltrane Mendora";
constexpr wchar_t kMakerLine[] = L"A Veltrane product";

constexpr int kAboutWidth = 467;
constexpr int kAboutHeight = 238;
constexpr int kBannerWidth = 467;
constexpr int kBannerHeight = 37;
constexpr int kBannerId = 50;
constexpr int kTextBoxId = 51;
constexpr int kWebButtonId = 52;
constexpr int kCloseButtonId = 53;

// Banner gradient: deep blue on the left to teal on the right.
constexpr COLORREF kBannerLeft = RGB(16, 42, 92);
constexpr COLORREF kBannerRight = RGB(40, 146, 168);

HFONT FontOr(int number) {
    if (HFONT f = AppFont(number)) return f;
    return reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// ---- Frame of the themed text box ---------------------------------------------------------------

// The frame holds the text box as its child; what the box tells its parent goes on to the
// frame's parent, so the box behaves as if it sat there directly.
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (HWND parent = GetParent(window)) return SendMessageW(parent, message, wp, lp);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wp, lp);
}

bool RegisterFrameClass() {
    return RegisterWindowClass(
        {kFrameClass, FrameProc, 0, IDC_ARROW,
         reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNSHADOW + 1))});
}

// ---- About window ----------------------------------------------------------------------------

struct AboutState {
    bool done = false;
};

void OpenWebSite(HWND owner) {
    MDR_HERE();
    ShellExecuteW(owner, L"open", kMakerWebAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK AboutProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    AboutState* state = WindowContext<AboutState>(window, message, lp);
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kWebButtonId:
            OpenWebSite(window);
            return 0;
        case kCloseButtonId:
        case IDOK:
        case IDCANCEL:
            if (state) state->done = true;
            return 0;
        default:
            break;
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(kCloseButtonId, DC_HASDEFID);
    case WM_CLOSE:
        // The window is destroyed by AboutWindow once its loop ends.
        if (state) state->done = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wp, lp);
}

uint64_t TotalPhysicalMemory() {
    // The extended query: the old one stops at 2 or 4 GB and would understate today's machines.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) return status.ullTotalPhys;
    MEMORYSTATUS old{};
    old.dwLength = sizeof(old);
    GlobalMemoryStatus(&old);
    return old.dwTotalPhys;
}

bool CreateAboutControls(HWND window, HBITMAP banner, const std::wstring& text) {
    MDR_HERE();
    HWND picture = AddControl(window, L"STATIC", L"", SS_BITMAP, {0, 0, 470, 35}, kBannerId);
    if (picture && banner)
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner));
    HWND box = ThemedTextBox(window, kTextBoxId, 5, 45, 457, 154, 0);
    HWND web = AddButton(window, kWebButtonId, LangText(Text::WebSiteButton), {222, 207, 118, 26});
    HWND close = AddButton(window, kCloseButtonId, LangText(Text::CloseButton), {344, 207, 118, 26},
                           BS_DEFPUSHBUTTON);
    if (!picture || !box || !web || !close) return false;
    SetWindowTextW(box, text.c_str());
    return true;
}

} // namespace

// ---- Text box ----------------------------------------------------------------------------------

bool UseThemedFrame(int osCode, int themeActive, int appThemed) {
    return osCode >= 60 && themeActive == 1 && appThemed == 1;
}

bool ThemedFrameWanted() {
    MDR_HERE();
    const int osCode = OperatingSystemCode();
    if (osCode < 60) return false;
    // Loaded from the system folder by full path: a uxtheme.dll beside the program or in the
    // current folder must never be picked up by a program that runs as administrator.
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::wstring path = std::wstring(system) + L"\\uxtheme.dll";
    UniqueHmodule uxtheme(LoadLibraryW(path.c_str()));
    if (!uxtheme) return false;
    using Query = BOOL(WINAPI*)();
    // Through void*: FARPROC has no parameters, so a direct cast draws a warning.
    auto isThemeActive = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme.get(), "IsThemeActive")));
    auto isAppThemed = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme.get(), "IsAppThemed")));
    if (!isThemeActive || !isAppThemed) return false;
    return UseThemedFrame(osCode, isThemeActive() ? 1 : 0, isAppThemed() ? 1 : 0);
}

HWND ThemedTextBox(HWND parent, int number, int x, int y, int width, int height, DWORD flags) {
    MDR_HERE();
    const DWORD style = ES_MULTILINE | ES_READONLY | flags;
    if (ThemedFrameWanted() && RegisterFrameClass()) {
        HWND frame =
            AddControl(parent, kFrameClass, L"", 0, {x - 1, y - 1, width + 2, height + 2}, 0);
        if (!frame) return nullptr;
        HWND box =
            AddControl(frame, L"EDIT", L"", style, {1, 1, width, height}, number, 0, FontOr(1));
        if (!box) DestroyWindow(frame);
        return box;
    }
    return AddControl(parent, L"EDIT", L"", style, {x, y, width, height}, number, WS_EX_CLIENTEDGE,
                      FontOr(1));
}

// ---- Banner ------------------------------------------------------------------------------------

COLORREF BannerGradientColor(int x, int width) {
    if (width <= 1) return kBannerLeft;
    x = std::clamp(x, 0, width - 1);
    auto mix = [&](int a, int b) { return a + (b - a) * x / (width - 1); };
    return RGB(mix(GetRValue(kBannerLeft), GetRValue(kBannerRight)),
               mix(GetGValue(kBannerLeft), GetGValue(kBannerRight)),
               mix(GetBValue(kBannerLeft), GetBValue(kBannerRight)));
}

HBITMAP CreateBannerBitmap(int width, int height) {
    MDR_HERE();
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bitmap;

    // Rows of 24-bit pixels are padded to four bytes; pixels are stored blue, green, red.
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    auto* row0 = static_cast<unsigned char*>(bits);
    for (int x = 0; x < width; ++x) {
        const COLORREF c = BannerGradientColor(x, width);
        row0[x * 3 + 0] = GetBValue(c);
        row0[x * 3 + 1] = GetGValue(c);
        row0[x * 3 + 2] = GetRValue(c);
    }
    for (int y = 1; y < height; ++y)
        std::memcpy(row0 + y * stride, row0, stride);

    UniqueHdc dc;
    {
        const WindowDc screen(nullptr);
        dc.reset(CreateCompatibleDC(screen.get()));
    }
    if (dc) {
        const SelectedObject selectedBitmap(dc.get(), bitmap);
        UniqueHfont font(CreateFontW(-(height * 3) / 5, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                     ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
        // Declared after the font, so the font is deselected before it is deleted.
        const SelectedObject selectedFont(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(255, 255, 255));
        RECT text{12, 0, width - 12, height};
        DrawTextW(dc.get(), kProductName, -1, &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    GdiFlush();
    return bitmap;
}

// ---- About -------------------------------------------------------------------------------------

std::wstring AboutText(std::wstring_view versionLabel, std::wstring_view version,
                       std::wstring_view memoryLabel, uint64_t totalPhysicalBytes) {
    std::wstring text = kProductName;
    text += L"\r\n";
    text += kMakerLine;
    text += L"\r\n";
    text += std::wstring(versionLabel) + L" " + std::wstring(version) + L"\r\n";
    text += L"\r\n";
    text += std::wstring(memoryLabel) + L" " + std::to_wstring(totalPhysicalBytes / 1024 / 1024) +
            L" MB";
    return text;
}

int AboutWindow() {
    MDR_HERE();
    Log(L"AboutWindow()");
    const uint64_t memory = TotalPhysicalMemory();
    UniqueGdi banner(CreateBannerBitmap(kBannerWidth, kBannerHeight));

    HWND main = MainWindowHandle();
    AboutState state;
    HWND window = nullptr;
    const WindowClassSpec aboutClass{
        kAboutClass,
        AboutProc,
        0,
        IDC_ARROW,
        GetSysColorBrush(COLOR_BTNFACE),
        LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP))};
    if (RegisterWindowClass(aboutClass)) {
        window = CreateModalWindow({kAboutClass, LangText(Text::AboutTitle) + L" " + kProductName,
                                    kAboutWidth, kAboutHeight, kModalStyle, 0},
                                   main, &state);
    } else if (main) {
        EnableWindow(main, FALSE);
    }
    if (!window) {
        MessageBoxW(main, LangText(Text::WindowOpenFailed).c_str(),
                    LangText(Text::ErrorTitle).c_str(), MB_OK | MB_ICONERROR);
        EndProgram(1);
    }
    {
        // The main window comes back however the loop ends.
        ScopeExit close([&] { CloseModal(window, main); });
        const std::wstring text = AboutText(LangText(Text::VersionLabel), MDR_VERSION_TEXT,
                                            LangText(Text::MemoryLabel), memory);
        if (CreateAboutControls(window, static_cast<HBITMAP>(banner.get()), text)) {
            ShowModalWindow(window, GetDlgItem(window, kCloseButtonId));
            RunModalLoop(window, [&] { return state.done; });
        } else {
            Log(L"The About window's controls could not be made");
        }
    }
    banner.reset(); // only now that the picture that showed it is gone
    Log(L"AboutWindow() -> retn");
    return 1;
}

} // namespace mdr
