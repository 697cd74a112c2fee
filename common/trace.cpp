#include "common/trace.h"

namespace mdr::trace {

Point& Current() noexcept {
    static thread_local Point point{nullptr, 0};
    return point;
}

} // namespace mdr::trace
