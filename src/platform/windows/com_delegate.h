// Hand-written COM objects for Windows Runtime delegates (event handlers and
// dispatcher work items) that the system calls back.
//
// mingw-w64 ships no WRL implementation helpers, so delegates are built on
// DelegateBase: it answers QueryInterface for the delegate's own IID,
// IUnknown and IAgileObject, and keeps an atomic reference count. Being
// agile tells the runtime the object may be called from any thread without
// marshaling, which every delegate here must make true: it only translates
// and posts, and guards what it shares.
//
// The system may hold, call and release a delegate on its own threads, in any
// order with our teardown. A delegate therefore owns what it touches, or
// reaches the rest through a weak reference that it checks on every call.
#ifndef CORVANE_PLATFORM_WINDOWS_COM_DELEGATE_H_
#define CORVANE_PLATFORM_WINDOWS_COM_DELEGATE_H_

#include <atomic>
#include <type_traits>
#include <utility>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/winrt_abi.h"
#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

// Base of a delegate object implementing `Interface` (which names its IID as
// Interface::kIid). Derived is the final class that implements Invoke;
// objects are made with MakeDelegate and destroyed by their last Release.
template <typename Derived, typename Interface>
class DelegateBase : public Interface {
 public:
  DelegateBase(const DelegateBase&) = delete;
  DelegateBase& operator=(const DelegateBase&) = delete;

  HRESULT CORVANE_WINRT_CALL QueryInterface(const GUID& iid, void** object) override {
    if (!object) return kNullPointer;
    if (SameGuid(iid, Interface::kIid) || SameGuid(iid, IidOfUnknown()) || SameGuid(iid, IidOfAgileObject())) {
      // The delegate interface derives directly from IUnknown, so one
      // pointer serves all three; IAgileObject is a marker with no methods.
      *object = static_cast<Interface*>(this);
      AddRef();
      return kOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  ULONG CORVANE_WINRT_CALL AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG CORVANE_WINRT_CALL Release() override {
    // acq_rel: whichever thread drops the last reference sees every write
    // the other holders made before releasing theirs.
    const ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) {
      static_assert(std::is_final_v<Derived>, "a delegate class must be final: it is deleted as Derived");
      delete static_cast<Derived*>(this);
    }
    return remaining;
  }

 protected:
  DelegateBase() = default;
  // Not virtual: only Release deletes, and it deletes the final class.
  ~DelegateBase() = default;

 private:
  // Starts at one: the reference MakeDelegate hands out.
  std::atomic<ULONG> references_{1};
};

// Creates a delegate object and returns its only reference.
template <typename Derived, typename... Args>
ComRef<Derived> MakeDelegate(Args&&... args) {
  // The object deletes itself on its last Release, so it is allocated with a
  // plain `new` and its first reference goes straight into the ComRef.
  return AdoptCom(new Derived(std::forward<Args>(args)...));
}

// A DispatcherQueueHandler that runs `work`, a callable taking no arguments.
// Invoke runs on the queue's thread; the last reference may be released on
// any thread, so `work` must be safe to destroy there.
template <typename Work>
class DispatcherQueueWork final : public DelegateBase<DispatcherQueueWork<Work>, IDispatcherQueueHandler> {
 public:
  explicit DispatcherQueueWork(Work work) : work_(std::move(work)) {}

  // An exception must not unwind into the queue's dispatch loop; it becomes
  // the handler's result code instead (see ToHresult).
  HRESULT CORVANE_WINRT_CALL Invoke() noexcept override { return ToHresult(work_); }

  // For the maker only, while it still holds the sole reference (before the
  // handler is handed to the system) or once the system has refused it.
  Work& Callable() noexcept { return work_; }

 private:
  Work work_;
};

template <typename Work>
ComRef<IDispatcherQueueHandler> MakeDispatcherQueueHandler(Work&& work) {
  return MakeDelegate<DispatcherQueueWork<std::decay_t<Work>>>(std::forward<Work>(work));
}

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_COM_DELEGATE_H_
