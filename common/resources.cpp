#include "common/resources.h"

#include <array>

#include "common/handles.h"
#include "common/trace.h"
#include "resource_ids.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {
namespace {

struct Resources {
    std::array<UniqueHfont, 2> fonts;
    std::array<UniqueHicon, ICON_TABLE_COUNT> icons;
    UniqueHimagelist list;
};

Resources& Res() {
    static Resources resources;
    return resources;
}

HFONT MakeArial(int points) {
    const WindowDc screen(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Arial");
}

} // namespace

HFONT AppFont(int number) {
    if (number < 0 || number >= static_cast<int>(Res().fonts.size())) return nullptr;
    return Res().fonts[number].get();
}

HICON AppIcon(int index) {
    if (index < 0 || index >= ICON_TABLE_COUNT) return nullptr;
    return Res().icons[index].get();
}

HIMAGELIST AppIconList() {
    return Res().list.get();
}

bool CreateAppResources() {
    MDR_HERE();
    Resources& r = Res();
    r.fonts[0].reset(MakeArial(9));
    r.fonts[1].reset(MakeArial(8));
    bool ok = r.fonts[0] && r.fonts[1];

    HINSTANCE instance = GetModuleHandleW(nullptr);
    r.list.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, ICON_TABLE_COUNT, 0));
    // Sized first so that every icon keeps its index even if one failed to load.
    if (r.list) ImageList_SetImageCount(r.list.get(), ICON_TABLE_COUNT);
    ok = ok && static_cast<bool>(r.list);
    for (int i = 0; i < ICON_TABLE_COUNT; ++i) {
        MDR_HERE();
        r.icons[i].reset(static_cast<HICON>(LoadImageW(
            instance, MAKEINTRESOURCEW(IDI_TABLE_BASE + i), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
        if (!r.icons[i]) {
            ok = false;
            continue;
        }
        if (r.list) ImageList_ReplaceIcon(r.list.get(), i, r.icons[i].get());
    }
    return ok;
}

void ReleaseAppResources() {
    Resources& r = Res();
    r.list.reset();
    for (auto& icon : r.icons)
        icon.reset();
    for (auto& font : r.fonts)
        font.reset();
}

} // namespace mdr
