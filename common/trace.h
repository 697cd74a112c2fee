// Records the source module and line last executed on this thread, for the crash report.
// Cheap enough to sprinkle: two stores to thread-local storage.
//
// Usage: in a .cpp file, `MDR_TRACE_MODULE(ScanEngine)` once at file scope, then `MDR_HERE();`
// at statements worth naming in a report.
#pragma once

namespace mdr::trace {

struct Point {
    const wchar_t* module;
    int line;
};

// Last recorded point of the calling thread ({nullptr, 0} when none).
Point& Current() noexcept;

inline void Mark(const wchar_t* module, int line) noexcept {
    Point& p = Current();
    p.module = module;
    p.line = line;
}

} // namespace mdr::trace

#define MDR_TRACE_MODULE(name) static constexpr const wchar_t* kMdrTraceModule = L## #name
#define MDR_HERE() ::mdr::trace::Mark(kMdrTraceModule, __LINE__)
