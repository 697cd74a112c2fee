#include "mdr/ui/ui_resources.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "common/resources.h"
#include "common/handles.h"
#include "common/trace.h"
#include "resource_ids.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

HICON TableIcon(int index) {
    return AppIcon(index);
}

namespace {

// A 32-bit copy of icon in grey with its opacity reduced; nullptr when it cannot be made.
HICON MakeGreyIcon(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return nullptr;
    UniqueGdi color(info.hbmColor);
    UniqueGdi mask(info.hbmMask);
    if (!color) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    DWORD pixels[16 * 16] = {};
    const WindowDc screenDc(nullptr);
    HDC screen = screenDc.get();
    const int rows =
        GetDIBits(screen, static_cast<HBITMAP>(color.get()), 0, 16, pixels, &bi, DIB_RGB_COLORS);
    bool hasAlpha = false;
    for (DWORD p : pixels)
        hasAlpha = hasAlpha || (p >> 24) != 0;
    for (DWORD& p : pixels) {
        const DWORD a = hasAlpha ? (p >> 24) : 255;
        const DWORD r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        const DWORD grey = (r * 30 + g * 59 + b * 11) / 100;
        const DWORD light = 128 + grey / 2; // washed out, like a disabled toolbar image
        p = ((a * 3 / 5) << 24) | (light << 16) | (light << 8) | light;
    }
    void* bits = nullptr;
    UniqueGdi grey(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (rows != 16 || !grey || !bits) return nullptr;
    std::copy(std::begin(pixels), std::end(pixels), static_cast<DWORD*>(bits));
    ICONINFO out{};
    out.fIcon = TRUE;
    out.hbmColor = static_cast<HBITMAP>(grey.get());
    out.hbmMask = static_cast<HBITMAP>(mask.get());
    return CreateIconIndirect(&out);
}

} // namespace

HICON DisabledTableIcon(int index) {
    static std::array<UniqueHicon, ICON_TABLE_COUNT> icons;
    if (index < 0 || index >= ICON_TABLE_COUNT) return nullptr;
    if (!icons[index]) icons[index].reset(MakeGreyIcon(TableIcon(index)));
    return icons[index].get();
}

HFONT GadgetFont() {
    return AppFont(0);
}

} // namespace mdr
