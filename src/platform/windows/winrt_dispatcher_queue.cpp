#include "platform/windows/winrt_dispatcher_queue.h"

#include <roapi.h>

#include <atomic>
#include <utility>

#include "platform/hresult.h"
#include "platform/windows/com_delegate.h"
#include "platform/windows/hstring.h"

namespace corvane::platform::windows {

using winrt::AdoptCom;
using winrt::ComRef;
using winrt::IDispatcherQueue;
using winrt::IDispatcherQueueController;
using winrt::IDispatcherQueueStatics;

ThreadQueueAnswer FindThreadDispatcherQueue(ComRef<IDispatcherQueue>* queue) {
  queue->Reset();
  // The statics are fetched at each call, not kept: this runs once per
  // plugin registration, and a reference kept for the process would be
  // released at unload, after the apartment that produced it has gone.
  const hresult outcome = ToHresult([&] {
    const winrt::HString name = winrt::CopyHString(winrt::kRuntimeClassDispatcherQueue);
    void* factory = nullptr;
    HRESULT code = RoGetActivationFactory(name.get(), IDispatcherQueueStatics::kIid, &factory);
    if (FAILED(code)) throw hresult_error(code, "DispatcherQueue cannot be activated");
    const ComRef<IDispatcherQueueStatics> statics = AdoptCom(static_cast<IDispatcherQueueStatics*>(factory));
    code = statics->GetForCurrentThread(queue->Receive());
    if (FAILED(code)) throw hresult_error(code, "DispatcherQueue.GetForCurrentThread failed");
  });
  if (Failed(outcome)) {
    queue->Reset();
    return ThreadQueueAnswer::Failed;
  }
  return *queue ? ThreadQueueAnswer::Found : ThreadQueueAnswer::None;
}

ControllerAnswer CreateDispatcherQueueControllerForThread(ComRef<IDispatcherQueueController>* controller,
                                                          ComRef<IDispatcherQueue>* queue) {
  controller->Reset();
  queue->Reset();
  // Loaded here only to tell a missing DLL from a missing export; the
  // lookup below keeps its own load for as long as the process runs, which
  // the controller's code needs.
  HMODULE coreMessaging = LoadLibraryExW(L"CoreMessaging.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (coreMessaging == nullptr) return ControllerAnswer::NoCoreMessaging;
  const winrt::CreateDispatcherQueueControllerFunction create = winrt::FindCreateDispatcherQueueController();
  FreeLibrary(coreMessaging);
  if (create == nullptr) return ControllerAnswer::NoCreateFunction;

  const winrt::DispatcherQueueOptions options = {
      sizeof(winrt::DispatcherQueueOptions),
      winrt::DispatcherQueueThreadType::Current,
      winrt::DispatcherQueueThreadApartmentType::ComNone,
  };
  if (FAILED(create(options, controller->Receive())) || !*controller) {
    controller->Reset();
    return ControllerAnswer::CreateFailed;
  }
  if (FAILED((*controller)->get_DispatcherQueue(queue->Receive()))) {
    controller->Reset();
    queue->Reset();
    return ControllerAnswer::QueueReadFailed;
  }
  if (!*queue) {
    controller->Reset();
    return ControllerAnswer::NoQueue;
  }
  return ControllerAnswer::Created;
}

namespace {

// One posted task as the system's handler runs it. The system queue cannot
// take back what it holds, so the task checks the shared flag when it runs;
// one that finds it set is dropped unrun and freed when the system releases
// the handler.
struct PostedTask {
  std::shared_ptr<std::atomic<bool>> shutDown;
  DispatcherTask task;

  void operator()() const {
    if (!shutDown->load() && task) task();
  }
};
using PostedTaskHandler = winrt::DispatcherQueueWork<PostedTask>;

class WinrtDispatcherQueue final : public DispatcherQueue {
 public:
  WinrtDispatcherQueue(ComRef<IDispatcherQueue> queue, ComRef<IDispatcherQueueController> controller)
      : queue_(std::move(queue)), controller_(std::move(controller)) {}

  // Any thread: DispatcherQueue and our handlers are agile.
  bool TryEnqueue(DispatcherTask&& task) override {
    if (shutDown_->load()) return false;
    // Made before the task is taken: an allocation that raises leaves it
    // with the caller.
    const winrt::ComRef<PostedTaskHandler> handler = winrt::MakeDelegate<PostedTaskHandler>(PostedTask{shutDown_, {}});
    handler->Callable().task = std::move(task);
    winrt::boolean queued = 0;
    const HRESULT code = queue_->TryEnqueue(handler.get(), &queued);
    // Not accepted (failed, or refused while the system queue shuts down):
    // the system never runs the handler, and the task goes back.
    if (FAILED(code) || queued == 0) task = std::move(handler->Callable().task);
    if (FAILED(code)) throw hresult_error(code, "DispatcherQueue.TryEnqueue failed");
    return queued != 0;
  }

  // Platform thread: handlers run there too, so none runs half-way through.
  void Shutdown() override { shutDown_->store(true); }

 private:
  // Set once at construction.
  const ComRef<IDispatcherQueue> queue_;
  const ComRef<IDispatcherQueueController> controller_;
  // Shared with every handler posted; set by Shutdown, read on any thread.
  const std::shared_ptr<std::atomic<bool>> shutDown_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace

std::shared_ptr<DispatcherQueue> WrapDispatcherQueue(ComRef<IDispatcherQueue> queue,
                                                     ComRef<IDispatcherQueueController> controller) {
  return std::make_shared<WinrtDispatcherQueue>(std::move(queue), std::move(controller));
}

}  // namespace corvane::platform::windows
