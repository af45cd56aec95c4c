// Subscriptions to Windows Runtime events: the delegate object the event
// source calls, and the registration that removes it again.
//
// The source keeps the delegate and calls it on its own threads, possibly
// while a call of ours into the source is still running and possibly after
// our receiver is gone. So a delegate reaches its receiver only through a
// weak reference, taken for the length of one call, and turns whatever the
// receiver raises into the HRESULT it returns (see ToHresult): an exception
// must not unwind into the system's dispatch code.
//
// A registration removes its token once, when asked or when destroyed,
// so that the source stops calling. A call already under way in the
// source may still arrive; the receiver's own gate answers for that.
#ifndef CORVANE_PLATFORM_WINDOWS_EVENT_SUBSCRIPTION_H_
#define CORVANE_PLATFORM_WINDOWS_EVENT_SUBSCRIPTION_H_

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/hresult.h"
#include "platform/windows/com_delegate.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::platform::winrt {

// A TypedEventHandler<Sender, Args> that calls kMethod on the receiver while
// the receiver lives, and does nothing (S_OK) once it is gone. The method is
// part of the type: one class per event, nothing to store but the link.
template <typename Receiver, typename Sender, typename Args, const GUID& kIid, void (Receiver::*kMethod)(Sender, Args)>
class WeakEventDelegate final
    : public DelegateBase<WeakEventDelegate<Receiver, Sender, Args, kIid, kMethod>,
                          ITypedEventHandler<Sender, Args, kIid>> {
 public:
  explicit WeakEventDelegate(std::weak_ptr<Receiver> receiver) : receiver_(std::move(receiver)) {}

  HRESULT CORVANE_WINRT_CALL Invoke(Sender sender, Args args) noexcept override {
    const std::shared_ptr<Receiver> receiver = receiver_.lock();
    if (!receiver) return kOk;
    return ToHresult([&] { ((*receiver).*kMethod)(sender, args); });
  }

 private:
  const std::weak_ptr<Receiver> receiver_;
};

namespace event_detail {
template <typename Method>
struct MethodParts;
template <typename Receiver, typename Sender, typename Args>
struct MethodParts<void (Receiver::*)(Sender, Args)> {
  using ReceiverType = Receiver;
  using SenderType = Sender;
  using ArgsType = Args;
};
}  // namespace event_detail

// The delegate for handler interface `Handler` (an ITypedEventHandler
// instantiation) that calls `kMethod` of `receiver`:
//   MakeWeakEventDelegate<IMediaPlayerEventHandler, &Adapter::OnMediaOpened>(self)
template <typename Handler, auto kMethod>
ComRef<Handler> MakeWeakEventDelegate(
    const std::shared_ptr<typename event_detail::MethodParts<decltype(kMethod)>::ReceiverType>& receiver) {
  using Parts = event_detail::MethodParts<decltype(kMethod)>;
  using Delegate = WeakEventDelegate<typename Parts::ReceiverType, typename Parts::SenderType,
                                     typename Parts::ArgsType, Handler::kIid, kMethod>;
  static_assert(std::is_base_of_v<Handler, Delegate>, "the method's arguments are not the handler's");
  return ComRef<Handler>(MakeDelegate<Delegate>(receiver));
}

// One added handler. Move-only; removes its token at most once.
class EventRegistration {
 public:
  EventRegistration() = default;
  EventRegistration(EventRegistration&& other) noexcept : remove_(std::exchange(other.remove_, nullptr)) {}
  EventRegistration& operator=(EventRegistration&& other) noexcept {
    if (this != &other) {
      Remove();
      remove_ = std::exchange(other.remove_, nullptr);
    }
    return *this;
  }
  EventRegistration(const EventRegistration&) = delete;
  EventRegistration& operator=(const EventRegistration&) = delete;
  ~EventRegistration() { Remove(); }

  // Calls source->add(handler, &token); raises hresult_error when the
  // source refuses. `add` and `remove` are the event's add_X and remove_X.
  template <typename Source, typename AddMethod, typename RemoveMethod, typename Handler>
  static EventRegistration Add(const ComRef<Source>& source, AddMethod add, RemoveMethod remove,
                               const ComRef<Handler>& handler) {
    EventRegistrationToken token{};
    const HRESULT code = ((*source.get()).*add)(handler.get(), &token);
    if (code < 0) throw hresult_error(code, "adding an event handler failed");
    EventRegistration registration;
    registration.remove_ = [source, remove, token] { ((*source.get()).*remove)(token); };
    return registration;
  }

  // Removes the handler. A failing removal has nothing left to undo: the
  // source is going anyway when it refuses.
  void Remove() noexcept {
    if (auto remove = std::exchange(remove_, nullptr)) remove();
  }
  bool IsActive() const { return remove_ != nullptr; }

 private:
  std::function<void()> remove_;
};

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_EVENT_SUBSCRIPTION_H_
