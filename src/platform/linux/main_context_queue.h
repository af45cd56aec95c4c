// The dispatcher queue on Linux: a GLib main context that the host iterates
// on its platform thread.
//
// Tasks go into a mailbox that one source of default priority, attached to
// the context for the queue's life, empties when the platform thread runs
// it: posting never runs the task inside the call (unlike
// g_main_context_invoke, which runs it at once when the caller owns the
// context), never blocks, and costs a lock and, for the first task of a
// batch, a wake-up of the context; no source is made per task. A task
// posted before shutdown and not yet run is dropped unrun.
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
