#include "platform/windows/message_window_queue.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/hresult.h"

namespace corvane::platform::windows {
namespace {

// Our own window class: message numbers from WM_APP are ours to give.
constexpr UINT kRunOldestTask = WM_APP + 1;
constexpr UINT kDestroyWindow = WM_APP + 2;

// Shared by the queue object and its window, which may outlive each other:
// the window is destroyed on its own thread, possibly after the last
// reference to the queue went on an engine thread.
struct QueueState {
  std::mutex mutex;
  // Guarded by `mutex`; written from any thread.
  bool shutDown = false;
  // Accepted and not yet run, oldest first; one kRunOldestTask message is
  // on its way for each.
  std::deque<DispatcherTask> tasks;
  // Null once Shutdown has started its destruction.
  HWND window = nullptr;
};

using StateRef = std::shared_ptr<QueueState>;

// Class registration against window creation, and window destruction
// against unregistration, for queues on several threads.
std::mutex& ClassMutex() {
  static std::mutex mutex;
  return mutex;
}

// The module this code is linked into (the plugin DLL, or a test program),
// found from the address of one of its own objects.
HMODULE ThisModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// Platform thread, under ClassMutex. Fails harmlessly while another
// thread's queue still has a window of the class.
void UnregisterWindowClass() { UnregisterClassW(kMessageWindowClassName, ThisModule()); }

void DestroyQueueWindow(HWND window) {
  std::lock_guard<std::mutex> lock(ClassMutex());
  DestroyWindow(window);
  UnregisterWindowClass();
}

// The window's own reference to the state, in its GWLP_USERDATA from
// WM_NCCREATE to WM_NCDESTROY.
StateRef* WindowState(HWND window) { return reinterpret_cast<StateRef*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void RunOldestTask(HWND window) {
  StateRef* held = WindowState(window);
  if (held == nullptr) return;
  // A task may drop the last reference to the queue and with it destroy
  // this very window; this copy keeps the state alive until we are done.
  const StateRef state = *held;
  DispatcherTask task;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->shutDown || state->tasks.empty()) return;
    task = std::move(state->tasks.front());
    state->tasks.pop_front();
  }
  // Nothing may unwind through the system's message dispatch. A failure
  // goes unreported, as it does with the system's DispatcherQueue, which
  // only receives the handler's code.
  ToHresult(task);
}

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      const auto* state = static_cast<const StateRef*>(create->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(std::make_unique<StateRef>(*state).release()));
      break;
    }
    case WM_NCDESTROY:
      std::unique_ptr<StateRef>(WindowState(window)).reset();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    case kRunOldestTask:
      RunOldestTask(window);
      return 0;
    case kDestroyWindow:
      DestroyQueueWindow(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class MessageWindowQueue final : public DispatcherQueue {
 public:
  MessageWindowQueue(StateRef state, DWORD windowThread) : state_(std::move(state)), windowThread_(windowThread) {}
  ~MessageWindowQueue() override { Shutdown(); }
  MessageWindowQueue(const MessageWindowQueue&) = delete;
  MessageWindowQueue& operator=(const MessageWindowQueue&) = delete;

  // Any thread.
  bool TryEnqueue(DispatcherTask&& task) override {
    DWORD error = 0;
    {
      // Held across the post: Shutdown cannot destroy the window between
      // the check and the post, and the task list and the messages stay
      // in the same order.
      std::lock_guard<std::mutex> lock(state_->mutex);
      if (state_->shutDown) return false;
      // A push that raises leaves the task where it was.
      state_->tasks.push_back(std::move(task));
      if (PostMessageW(state_->window, kRunOldestTask, 0, 0)) return true;
      error = GetLastError();
      // The message queue is full (or the thread gone): the task goes back
      // to the caller unrun, and the caller decides what becomes of it.
      task = std::move(state_->tasks.back());
      state_->tasks.pop_back();
    }
    throw hresult_error(error != 0 ? static_cast<hresult>(HRESULT_FROM_WIN32(error)) : kFail,
                        "PostMessageW to the dispatcher window failed");
  }

  // Any thread; the platform thread in the plugin.
  void Shutdown() override {
    std::deque<DispatcherTask> dropped;
    HWND window = nullptr;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->shutDown = true;
      dropped.swap(state_->tasks);
      window = std::exchange(state_->window, nullptr);
    }
    if (window == nullptr) return;
    if (GetCurrentThreadId() == windowThread_) {
      DestroyQueueWindow(window);
    } else {
      // A window can only be destroyed by its own thread. If that thread
      // has ended, the system has destroyed the window with it and the
      // post fails harmlessly.
      PostMessageW(window, kDestroyWindow, 0, 0);
    }
    // `dropped` frees the unrun tasks here, outside the lock.
  }

 private:
  const StateRef state_;
  const DWORD windowThread_;
};

}  // namespace

std::shared_ptr<DispatcherQueue> CreateMessageWindowQueue() {
  auto state = std::make_shared<QueueState>();
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(ClassMutex());
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = QueueWindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = kMessageWindowClassName;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    window = CreateWindowExW(0, kMessageWindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(),
                             &state);
    if (window == nullptr) {
      UnregisterWindowClass();
      return nullptr;
    }
  }
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->window = window;
  }
  return std::make_shared<MessageWindowQueue>(std::move(state), GetCurrentThreadId());
}

}  // namespace corvane::platform::windows
