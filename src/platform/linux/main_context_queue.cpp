#include "platform/linux/main_context_queue.h"

#include <glib.h>

#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/linux/glib_handles.h"

namespace corvane::platform {
namespace {

// State shared by the queue and the sources it attached; a source that
// fires after the queue object is gone still finds it.
struct PendingSources {
  std::mutex mutex;
  bool shutDown = false;
  // Sources attached and not yet dispatched, each holding one reference.
  std::unordered_map<GSource*, SourcePtr> sources;
};

struct PostedTask {
  std::shared_ptr<PendingSources> pending;
  GSource* source = nullptr;  // not owned: `pending` holds the reference
  DispatcherTask task;
};

gboolean RunPostedTask(gpointer data) {
  auto* posted = static_cast<PostedTask*>(data);
  SourcePtr self;
  {
    std::lock_guard<std::mutex> lock(posted->pending->mutex);
    auto found = posted->pending->sources.find(posted->source);
    if (found == posted->pending->sources.end()) return G_SOURCE_REMOVE;  // dropped by Shutdown
    self = std::move(found->second);
    posted->pending->sources.erase(found);
  }
  // Nothing may unwind into GLib's C frames.
  ToHresult(posted->task);
  return G_SOURCE_REMOVE;
}

void DeletePostedTask(gpointer data) { delete static_cast<PostedTask*>(data); }

class MainContextQueue final : public DispatcherQueue {
 public:
  explicit MainContextQueue(MainContextPtr context)
      : context_(std::move(context)), pending_(std::make_shared<PendingSources>()) {}
  ~MainContextQueue() override { Shutdown(); }

  bool TryEnqueue(DispatcherTask&& task) override {
    std::lock_guard<std::mutex> lock(pending_->mutex);
    if (pending_->shutDown) return false;
    SourcePtr source(g_idle_source_new());  // Adopt
    g_source_set_priority(source.get(), G_PRIORITY_DEFAULT);
    // The allocations that may raise come first; the task is taken only
    // once nothing can fail.
    auto posted = std::make_unique<PostedTask>();
    posted->pending = pending_;
    posted->source = source.get();
    // Recorded before attaching: the platform thread may dispatch it at
    // once, and it looks itself up under the mutex we hold.
    GSource* key = source.get();
    pending_->sources.emplace(key, std::move(source));
    posted->task = std::move(task);
    g_source_set_callback(key, RunPostedTask, posted.release(), DeletePostedTask);
    g_source_attach(key, context_.get());
    return true;
  }

  void Shutdown() override {
    std::unordered_map<GSource*, SourcePtr> dropped;
    {
      std::lock_guard<std::mutex> lock(pending_->mutex);
      pending_->shutDown = true;
      dropped.swap(pending_->sources);
    }
    // Outside the lock: destroying a source frees its task, whose captures
    // may run code of their own.
    for (auto& entry : dropped) g_source_destroy(entry.first);
  }

 private:
  MainContextPtr context_;
  std::shared_ptr<PendingSources> pending_;
};

}  // namespace

std::shared_ptr<DispatcherQueue> CreateQueueForThreadDefaultContext() {
  return std::make_shared<MainContextQueue>(MainContextPtr(g_main_context_ref_thread_default()));  // Adopt
}

std::shared_ptr<DispatcherQueue> CreateMainContextQueue(GMainContext* context) {
  return std::make_shared<MainContextQueue>(RetainContext(context));
}

}  // namespace corvane::platform
