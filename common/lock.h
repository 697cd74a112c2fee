// A lock between the threads of one process: a critical section, usable with std::lock_guard and
// std::unique_lock. The programs are built with the toolchain's win32 thread model, which has no
// std::mutex: its posix model links a thread library that imports what older Windows lacks.
#pragma once

#include <windows.h>

namespace mdr {

class Mutex {
  public:
    Mutex() noexcept { InitializeCriticalSection(&section_); }
    ~Mutex() { DeleteCriticalSection(&section_); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() noexcept { EnterCriticalSection(&section_); }
    void unlock() noexcept { LeaveCriticalSection(&section_); }
    bool try_lock() noexcept { return TryEnterCriticalSection(&section_) != FALSE; }

  private:
    CRITICAL_SECTION section_;
};

} // namespace mdr
