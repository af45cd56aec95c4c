// The two dispatcher-queue tiers that use Windows.System.DispatcherQueue:
// the queue the platform thread already has, and one of our own made with
// CreateDispatcherQueueController. Neither exists under Wine 8, where these
// calls fail as on Windows before the dispatcher queue; they are checked on
// real Windows only.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_DISPATCHER_QUEUE_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_DISPATCHER_QUEUE_H_

#include <memory>

#include "platform/dispatcher_queue.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/queue_tier.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::platform::windows {

// DispatcherQueue.GetForCurrentThread, through the class's statics. The
// calling thread must be in an apartment. Fills `queue` when Found.
ThreadQueueAnswer FindThreadDispatcherQueue(winrt::ComRef<winrt::IDispatcherQueue>* queue);

// A controller whose queue runs on the calling thread (which must pump
// messages), with no apartment of its own. Fills both when Created, neither
// otherwise. CreateDispatcherQueueController is looked up at run time: the
// plugin must load where CoreMessaging.dll is missing.
ControllerAnswer CreateDispatcherQueueControllerForThread(winrt::ComRef<winrt::IDispatcherQueueController>* controller,
                                                          winrt::ComRef<winrt::IDispatcherQueue>* queue);

// Our DispatcherQueue over a system one. `controller` is null for the
// thread's own queue; when set it is kept as long as the queue, and
// released without shutting its queue down, since the queue serves the
// platform thread, which outlives the plugin.
std::shared_ptr<DispatcherQueue> WrapDispatcherQueue(winrt::ComRef<winrt::IDispatcherQueue> queue,
                                                     winrt::ComRef<winrt::IDispatcherQueueController> controller);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_DISPATCHER_QUEUE_H_
