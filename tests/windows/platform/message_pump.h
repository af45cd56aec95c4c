// The test's main thread as the platform thread: it pumps its messages the
// way the host's message loop does, for a bounded time.
#ifndef CORVANE_TESTS_WINDOWS_PLATFORM_MESSAGE_PUMP_H_
#define CORVANE_TESTS_WINDOWS_PLATFORM_MESSAGE_PUMP_H_

#include <windows.h>

#include <chrono>
#include <functional>

namespace corvane::test {

// Dispatches this thread's messages until `done` answers true (true) or
// `limit` has passed (false). `done` is asked between messages.
inline bool PumpMessagesUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      if (done()) return true;
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

// Dispatches whatever arrives during `duration`.
inline void PumpMessagesFor(std::chrono::milliseconds duration) {
  PumpMessagesUntil([] { return false; }, duration);
}

}  // namespace corvane::test

#endif  // CORVANE_TESTS_WINDOWS_PLATFORM_MESSAGE_PUMP_H_
