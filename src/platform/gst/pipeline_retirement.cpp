#include "platform/gst/pipeline_retirement.h"

#include <chrono>
#include <vector>

#include "platform/engine_core/engine_thread.h"
#include "platform/immortal.h"

namespace corvane::platform::gst {
namespace {

using Clock = std::chrono::steady_clock;

// Long enough for an HTTP answer on a slow network; a pipeline that has not
// settled by then is stopped anyway.
constexpr auto kSettleWait = std::chrono::seconds(5);
// How often the pipelines waiting here are looked at: each is stopped as
// soon as it has settled, whatever the others do.
constexpr auto kCheckInterval = std::chrono::milliseconds(10);

class Retirement {
 public:
  void Retire(std::shared_ptr<Pipeline> pipeline) {
    thread_.Post([this, pipeline = std::move(pipeline)]() mutable {
      waiting_.push_back(Waiting{std::move(pipeline), Clock::now() + kSettleWait});
      if (waiting_.size() == 1) Check();
    });
  }

 private:
  struct Waiting {
    std::shared_ptr<Pipeline> pipeline;
    Clock::time_point deadline;
  };

  void Check() {
    const auto now = Clock::now();
    std::vector<Waiting> stillWaiting;
    for (Waiting& waiting : waiting_) {
      if (waiting.pipeline->IsSettling() && now < waiting.deadline) {
        stillWaiting.push_back(std::move(waiting));
      } else {
        waiting.pipeline->Stop();
      }
    }
    waiting_.swap(stillWaiting);
    if (!waiting_.empty()) thread_.PostDelayed(kCheckInterval, [this] { Check(); });
  }

  std::vector<Waiting> waiting_;  // retirement thread only
  EngineThread thread_{"corvane-retire"};
};

}  // namespace

void RetirePipeline(std::shared_ptr<Pipeline> pipeline) {
  if (!pipeline) return;
  // One for the process, never destroyed: engine threads still tearing
  // down when the process exits may retire a pipeline then.
  static Immortal<Retirement> retirement;
  retirement->Retire(std::move(pipeline));
}

}  // namespace corvane::platform::gst
