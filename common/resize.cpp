// Gadget anchoring: the arithmetic is pure; the records and the moving are a thin layer over it.
#include "common/resize.h"

#include <algorithm>
#include <vector>

#include "common/trace.h"

MDR_TRACE_MODULE(AutoResize);

namespace mdr {

ResizeRule MakeResizeRule(int width, int height, const GadgetBox& box, int topFixed,
                          int heightFixed, int leftFixed, int widthFixed) {
    ResizeRule r;
    r.topFixed = topFixed;
    r.heightFixed = heightFixed;
    r.leftFixed = leftFixed;
    r.widthFixed = widthFixed;
    if (topFixed == 0) r.a = height - box.y;
    if (heightFixed == 0) r.b = height - box.y - box.h;
    if (leftFixed == 0) r.c = width - box.x;
    if (widthFixed == 0) r.d = width - box.x - box.w;
    return r;
}

GadgetBox ApplyResizeRule(const ResizeRule& rule, int width, int height, const GadgetBox& box) {
    GadgetBox out = box;
    if (rule.topFixed == 0) out.y = height - rule.a;
    if (rule.heightFixed == 0) out.h = std::max(0, height - out.y - rule.b);
    if (rule.leftFixed == 0) out.x = width - rule.c;
    if (rule.widthFixed == 0) out.w = std::max(0, width - out.x - rule.d);
    return out;
}

namespace {

struct ResizeRecord {
    HWND window;
    HWND gadget;
    ResizeRule rule;
};

std::vector<ResizeRecord>& Records() {
    static std::vector<ResizeRecord> records;
    return records;
}

SIZE InnerSize(HWND window) {
    RECT rc{};
    GetClientRect(window, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// The gadget's box in its parent's client coordinates (what MoveWindow takes).
GadgetBox BoxOf(HWND gadget) {
    RECT rc{};
    GetWindowRect(gadget, &rc);
    HWND parent = GetParent(gadget);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
    return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

} // namespace

int RegisterResize(HWND window, HWND gadget, int topFixed, int heightFixed, int leftFixed,
                   int widthFixed) {
    MDR_HERE();
    const SIZE inner = InnerSize(window);
    Records().push_back({window, gadget,
                         MakeResizeRule(inner.cx, inner.cy, BoxOf(gadget), topFixed, heightFixed,
                                        leftFixed, widthFixed)});
    return static_cast<int>(Records().size()) - 1;
}

int ResizeLayout(HWND window) {
    MDR_HERE();
    bool any = false;
    const SIZE inner = InnerSize(window);
    for (const ResizeRecord& r : Records()) {
        if (r.window != window) continue;
        any = true;
        if (!IsWindow(r.window) || !IsWindow(r.gadget)) continue;
        const GadgetBox box = ApplyResizeRule(r.rule, inner.cx, inner.cy, BoxOf(r.gadget));
        MoveWindow(r.gadget, box.x, box.y, box.w, box.h, TRUE);
    }
    return any ? 1 : -1;
}

} // namespace mdr
