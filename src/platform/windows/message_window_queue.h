// The dispatcher queue where the system offers none: a message-only window
// (HWND_MESSAGE) of our own on the platform thread.
//
// A message-only window needs no display and receives posted messages
// only. Any thread posts to it (PostMessageW never blocks), and the
// platform thread's message loop, which the host pumps, runs the window
// procedure. The tasks wait in the queue's own list, and each post sends one
// message that runs the oldest; so tasks run in the order the queue
// accepted them, and a message left behind by Shutdown finds nothing to run.
// Tasks are owned by the list, never by a message: a message that the
// system discards with its window frees nothing and leaks nothing.
#ifndef CORVANE_PLATFORM_WINDOWS_MESSAGE_WINDOW_QUEUE_H_
#define CORVANE_PLATFORM_WINDOWS_MESSAGE_WINDOW_QUEUE_H_

#include <memory>

#include "platform/dispatcher_queue.h"

namespace corvane::platform::windows {

// The window class, registered by this module while any of its queue
// windows exists (a class that a DLL leaves registered would outlive its
// window procedure when the DLL is unloaded).
inline constexpr wchar_t kMessageWindowClassName[] = L"CorvanePluginDispatcherQueue";

// A queue whose tasks run on the calling thread, which must pump messages.
// Null when the window cannot be created. Shutdown (and the destruction
// that implies it) may come from any thread: the window is destroyed on the
// thread that made it, at once or when that thread next pumps.
std::shared_ptr<DispatcherQueue> CreateMessageWindowQueue();

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_MESSAGE_WINDOW_QUEUE_H_
