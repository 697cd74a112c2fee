// Wall-clock stopwatch on the performance counter.
#pragma once

#include <windows.h>

namespace mdr::bench {

class Stopwatch {
  public:
    Stopwatch() { Restart(); }
    void Restart() { QueryPerformanceCounter(&start_); }
    double Seconds() const {
        LARGE_INTEGER now, freq;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&freq);
        return static_cast<double>(now.QuadPart - start_.QuadPart) / freq.QuadPart;
    }

  private:
    LARGE_INTEGER start_;
};

} // namespace mdr::bench
