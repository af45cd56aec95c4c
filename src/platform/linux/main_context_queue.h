// The dispatcher queue on Linux: a GLib main context that the host iterates
// on its platform thread.
//
// A task becomes an idle source of default priority attached to the
// context, so posting never runs the task inside the call (unlike
// g_main_context_invoke, which runs it at once when the caller owns the
// context) and never blocks. The queue keeps a reference to each source it
// has attached and not yet run, so Shutdown can destroy them: a task posted
// before shutdown and not yet run is dropped unrun.
//
// One source per task, not one long-lived source draining a list: GLib
// dispatches ready sources of equal priority in the order they were
// attached, so a source attached per post keeps our tasks in order with
// the host's own (the method calls it delivers). A long-lived source runs
// ahead of every source attached after it: an engine notification posted
// after a method call arrived was then handled before that call.
#ifndef CORVANE_PLATFORM_LINUX_MAIN_CONTEXT_QUEUE_H_
#define CORVANE_PLATFORM_LINUX_MAIN_CONTEXT_QUEUE_H_

#include <memory>

#include "platform/dispatcher_queue.h"

typedef struct _GMainContext GMainContext;

namespace corvane::platform {

// A queue on the context that is thread-default on the calling thread
// (g_main_context_ref_thread_default: the global default context when the
// thread has pushed none).
std::shared_ptr<DispatcherQueue> CreateQueueForThreadDefaultContext();

// A queue on the given context (a new reference is taken).
std::shared_ptr<DispatcherQueue> CreateMainContextQueue(GMainContext* context);

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_MAIN_CONTEXT_QUEUE_H_
