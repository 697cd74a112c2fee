#include "mdr/scan/scan_view.h"

#include <atomic>

#include "common/trace.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

namespace {
// Set on the main thread before the scan thread starts, read by the scan thread.
std::atomic<ScanView*> g_view{nullptr};
} // namespace

void SetScanView(ScanView* view) {
    g_view = view;
}
ScanView* GetScanView() {
    return g_view;
}

} // namespace mdr
