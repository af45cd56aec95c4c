// Which road carries tasks from engine threads to the platform thread, in
// order of preference:
//   ThreadQueue    the Windows.System.DispatcherQueue the platform thread
//                  already has;
//   OwnController  a DispatcherQueue of our own on the platform thread,
//                  from CreateDispatcherQueueController (CoreMessaging.dll);
//   MessageWindow  a message-only window of our own on the platform thread
//                  (every Windows has one; Wine 8 and Windows before
//                  the dispatcher queue have neither of the above);
//   Inline         none: tasks run on the engine thread that posts them.
// Only Inline sends events off the platform thread, so it is the last
// resort, taken when not even a window can be created.
//
// The choice is kept apart from the system calls so that it and its log
// lines are tested everywhere; the Windows side only answers each attempt.
// Portable: no system header.
#ifndef CORVANE_PLATFORM_WINDOWS_QUEUE_TIER_H_
#define CORVANE_PLATFORM_WINDOWS_QUEUE_TIER_H_

#include <functional>

namespace corvane::platform::windows {

enum class QueueTier { ThreadQueue, OwnController, MessageWindow, Inline };

// DispatcherQueue.GetForCurrentThread: the thread's queue, no queue, or the
// call failed (the class cannot be activated, as under Wine).
enum class ThreadQueueAnswer { Found, None, Failed };

// CreateDispatcherQueueController for the current thread.
enum class ControllerAnswer {
  Created,           // a controller and its queue
  NoCoreMessaging,   // CoreMessaging.dll cannot be loaded
  NoCreateFunction,  // it does not export CreateDispatcherQueueController
  CreateFailed,      // the call failed or gave no controller
  NoQueue,           // the controller gave no queue
  QueueReadFailed,   // reading the controller's queue failed
};

// The system's side: each attempt is made at most once, in tier order, and
// only while no earlier tier has been found. An attempt that succeeds keeps
// what it made for the caller to pick up.
class QueueTierAttempts {
 public:
  virtual ThreadQueueAnswer FindThreadQueue() = 0;
  virtual ControllerAnswer CreateOwnController() = 0;
  virtual bool CreateMessageWindow() = 0;

 protected:
  ~QueueTierAttempts() = default;
};

// Runs the attempts and writes one line per finding. `modern` is the
// capability probe's answer: without it the two DispatcherQueue tiers are
// not tried (their APIs are missing), and the caller has already said so.
// With no window either, the caller logs that it runs without a queue.
inline QueueTier ChooseQueueTier(bool modern, QueueTierAttempts& attempts,
                                 const std::function<void(const char* line)>& log) {
  if (modern) {
    switch (attempts.FindThreadQueue()) {
      case ThreadQueueAnswer::Found:
        log("CorvanePlugin: Using existing DispatcherQueue for current thread\n");
        return QueueTier::ThreadQueue;
      case ThreadQueueAnswer::Failed:
        log("CorvanePlugin: DispatcherQueue::GetForCurrentThread() failed or not available\n");
        break;
      case ThreadQueueAnswer::None:
        break;
    }
    log("CorvanePlugin: Attempting to create DispatcherQueueController\n");
    switch (attempts.CreateOwnController()) {
      case ControllerAnswer::Created:
        log("CorvanePlugin: DispatcherQueueController created successfully\n");
        return QueueTier::OwnController;
      case ControllerAnswer::NoCoreMessaging:
        log("CorvanePlugin: CoreMessaging.dll not found - running on older Windows version\n");
        break;
      case ControllerAnswer::NoCreateFunction:
        log("CorvanePlugin: CreateDispatcherQueueController function not available\n");
        break;
      case ControllerAnswer::CreateFailed:
      case ControllerAnswer::NoQueue:
        log("CorvanePlugin: Failed to create DispatcherQueueController\n");
        break;
      case ControllerAnswer::QueueReadFailed:
        log("CorvanePlugin: Exception while getting DispatcherQueue from controller\n");
        break;
    }
  }
  if (attempts.CreateMessageWindow()) {
    // Said here only when a window follows: with none, the caller says it.
    if (modern) log("CorvanePlugin: Running without DispatcherQueueController\n");
    log("CorvanePlugin: Using a message window for the dispatcher queue\n");
    return QueueTier::MessageWindow;
  }
  log("CorvanePlugin: Failed to create a message window for the dispatcher queue\n");
  return QueueTier::Inline;
}

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_QUEUE_TIER_H_
