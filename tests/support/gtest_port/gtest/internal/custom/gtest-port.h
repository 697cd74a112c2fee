// GoogleTest's platform hook: its Notification (a start signal for a thread) on a Win32 event, as
// the win32 thread model has no std::mutex.
#pragma once
#include <windows.h>
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing::internal {
class Notification {
  public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};
} // namespace testing::internal
