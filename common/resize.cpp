// Gadget anchoring: the arithmetic is pure; the records and the moving are a thin layer over it.
#include "common/resize.h"

#include <algorithm>
#include <vector>

#include "common/trace.h"

MDR_TRACE_MODULE(AutoResize);

namespace mdr {

ResizeRule MakeResizeRule(int width, int height, const GadgetBox& box, ResizeFollow follow) {
    ResizeRule r;
    r.follow = follow;
    if (follow.moveDown) r.topToBottom = height - box.y;
    if (follow.growHeight) r.bottomToBottom = height - box.y - box.h;
    if (follow.moveRight) r.leftToRight = width - box.x;
    if (follow.growWidth) r.rightToRight = width - box.x - box.w;
    return r;
}

GadgetBox ApplyResizeRule(const ResizeRule& rule, int width, int height, const GadgetBox& box) {
    GadgetBox out = box;
    if (rule.follow.moveDown) out.y = height - rule.topToBottom;
    if (rule.follow.growHeight) out.h = std::max(0, height - out.y - rule.bottomToBottom);
    if (rule.follow.moveRight) out.x = width - rule.leftToRight;
    if (rule.follow.growWidth) out.w = std::max(0, width - out.x - rule.rightToRight);
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

int RegisterResize(HWND window, HWND gadget, ResizeFollow follow) {
    MDR_HERE();
    const SIZE inner = InnerSize(window);
    Records().push_back(
        {window, gadget, MakeResizeRule(inner.cx, inner.cy, BoxOf(gadget), follow)});
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
