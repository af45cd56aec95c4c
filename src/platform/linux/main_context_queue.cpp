#include "platform/linux/main_context_queue.h"

#include <glib.h>

#include <deque>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/linux/glib_handles.h"

namespace corvane::platform {
namespace {

// The tasks posted and not yet run, shared by the queue and its source; a
// source dispatched after the queue object is gone still finds them.
struct Mailbox {
  std::mutex mutex;
  std::deque<DispatcherTask> tasks;  // guarded by mutex
  bool shutDown = false;             // guarded by mutex
};

// A source driven by its ready time alone: a post makes it ready, and its
// dispatch runs every task posted so far.
gboolean DispatchByReadyTime(GSource*, GSourceFunc callback, gpointer data) { return callback(data); }

GSourceFuncs kMailboxFuncs = {nullptr, nullptr, DispatchByReadyTime, nullptr, nullptr, nullptr};

gboolean RunPostedTasks(gpointer data) {
  // Held for the whole dispatch: a task may shut the queue down.
  const std::shared_ptr<Mailbox> mailbox = *static_cast<std::shared_ptr<Mailbox>*>(data);
  std::deque<DispatcherTask> due;
  {
    std::lock_guard<std::mutex> lock(mailbox->mutex);
    due.swap(mailbox->tasks);
    // Asleep until the next post; set under the lock, so a post that comes
    // after the swap always wakes it again.
    g_source_set_ready_time(g_main_current_source(), -1);
  }
  for (DispatcherTask& task : due) {
    {
      std::lock_guard<std::mutex> lock(mailbox->mutex);
      if (mailbox->shutDown) break;  // a task shut the queue down: the rest is dropped
    }
    // Nothing may unwind into GLib's C frames.
    ToHresult(task);
  }
  return G_SOURCE_CONTINUE;
}

void ReleaseMailbox(gpointer data) {
  const std::unique_ptr<std::shared_ptr<Mailbox>> owned(static_cast<std::shared_ptr<Mailbox>*>(data));  // Adopt
}

class MainContextQueue final : public DispatcherQueue {
 public:
  explicit MainContextQueue(MainContextPtr context)
      : context_(std::move(context)),
        mailbox_(std::make_shared<Mailbox>()),
        source_(g_source_new(&kMailboxFuncs, sizeof(GSource))) {  // Adopt
    g_source_set_priority(source_.get(), G_PRIORITY_DEFAULT);
    g_source_set_ready_time(source_.get(), -1);
    g_source_set_callback(source_.get(), RunPostedTasks,
                          std::make_unique<std::shared_ptr<Mailbox>>(mailbox_).release(),  // freed by ReleaseMailbox
                          ReleaseMailbox);
    g_source_attach(source_.get(), context_.get());
  }
  ~MainContextQueue() override { Shutdown(); }

  bool TryEnqueue(DispatcherTask&& task) override {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    if (mailbox_->shutDown) return false;
    // Moves from the task only once the element is allocated.
    mailbox_->tasks.push_back(std::move(task));
    if (mailbox_->tasks.size() == 1) g_source_set_ready_time(source_.get(), 0);
    return true;
  }

  void Shutdown() override {
    std::deque<DispatcherTask> dropped;
    {
      std::lock_guard<std::mutex> lock(mailbox_->mutex);
      if (mailbox_->shutDown) return;
      mailbox_->shutDown = true;
      dropped.swap(mailbox_->tasks);
    }
    g_source_destroy(source_.get());
    // `dropped` goes outside the lock: a task's captures may run code of
    // their own.
  }

 private:
  MainContextPtr context_;
  const std::shared_ptr<Mailbox> mailbox_;
  SourcePtr source_;
};

}  // namespace

std::shared_ptr<DispatcherQueue> CreateQueueForThreadDefaultContext() {
  return std::make_shared<MainContextQueue>(MainContextPtr(g_main_context_ref_thread_default()));  // Adopt
}

std::shared_ptr<DispatcherQueue> CreateMainContextQueue(GMainContext* context) {
  return std::make_shared<MainContextQueue>(RetainContext(context));
}

}  // namespace corvane::platform
