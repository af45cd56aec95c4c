#include "platform/gst/pipeline_retirement.h"

#include "platform/gst/task_thread.h"

namespace corvane::platform::gst {
namespace {

// Long enough for an HTTP answer on a slow network; a pipeline that has not
// settled by then is stopped anyway.
constexpr auto kSettleWait = std::chrono::seconds(5);

}  // namespace

void RetirePipeline(std::shared_ptr<Pipeline> pipeline) {
  if (!pipeline) return;
  // One for the process, kept to its end; at exit its destructor stops what
  // is still queued.
  static TaskThread retirement("corvane-retire");
  retirement.Post([pipeline = std::move(pipeline)]() mutable {
    pipeline->WaitSettled(kSettleWait);
    pipeline->Stop();
    pipeline.reset();
  });
}

}  // namespace corvane::platform::gst
