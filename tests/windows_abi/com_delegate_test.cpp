// Reference counting and interface answers of ComRef and the hand-written
// delegate objects: a leak keeps a player's callbacks alive after teardown,
// a double release crashes the system's dispatcher thread, and a delegate
// has to say it is agile to be called on the system's threads as it is.
#include "platform/windows/com_delegate.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/event_subscription.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::test {
namespace {

using namespace platform::winrt;

// Counts how many times the work item it is captured in has been destroyed.
struct DestroyCounter {
  explicit DestroyCounter(int* count) : count(count) {}
  DestroyCounter(DestroyCounter&& other) noexcept : count(std::exchange(other.count, nullptr)) {}
  DestroyCounter(const DestroyCounter&) = delete;
  ~DestroyCounter() {
    if (count) ++*count;
  }
  int* count;
};

ComRef<IDispatcherQueueHandler> MakeCountedHandler(int* destroyed) {
  return MakeDispatcherQueueHandler([counter = DestroyCounter(destroyed)] {});
}

// The count after AddRef, minus the reference the probe itself takes.
ULONG References(IUnknown* object) {
  const ULONG count = object->AddRef() - 1;
  object->Release();
  return count;
}

TEST(ComRef, CopiesAndRetainsAddReferences_MovesAndAdoptDoNot_LastReleaseDestroys) {
  int destroyed = 0;
  ComRef<IDispatcherQueueHandler> first = MakeCountedHandler(&destroyed);
  EXPECT_EQ(1u, References(first.get()));
  {
    ComRef<IDispatcherQueueHandler> copy = first;
    ComRef<IUnknown> upcast = copy;
    ComRef<IDispatcherQueueHandler> retained = RetainCom(first.get());
    ComRef<IDispatcherQueueHandler> moved = std::move(copy);
    EXPECT_EQ(4u, References(first.get()));
  }
  ComRef<IDispatcherQueueHandler> adopted = AdoptCom(first.Detach());
  EXPECT_EQ(1u, References(adopted.get()));
  adopted = nullptr;
  EXPECT_EQ(1, destroyed);
}

TEST(ComRef, Receive_ReleasesWhatWasHeldBeforeTheCalleeWrites) {
  int first_destroyed = 0, second_destroyed = 0;
  ComRef<IDispatcherQueueHandler> slot = MakeCountedHandler(&first_destroyed);
  IDispatcherQueueHandler** out = slot.Receive();
  EXPECT_EQ(1, first_destroyed);
  *out = MakeCountedHandler(&second_destroyed).Detach();  // as a callee hands back a new reference
  EXPECT_EQ(1u, References(slot.get()));
  slot.Reset();
  EXPECT_EQ(1, second_destroyed);
}

TEST(DelegateBase, AnswersItsIidUnknownAndAgileObject_RefusesOthersWithANullOutPointer) {
  ComRef<IDispatcherQueueHandler> handler = MakeDispatcherQueueHandler([] {});
  for (const GUID* iid : {&IDispatcherQueueHandler::kIid, &IidOfUnknown(), &IidOfAgileObject()}) {
    ComRef<IUnknown> answer;
    EXPECT_EQ(platform::kOk, handler.As(*iid, &answer));
    EXPECT_EQ(static_cast<IUnknown*>(handler.get()), answer.get());
    EXPECT_EQ(2u, References(handler.get()));
  }

  void* raw = &raw;
  EXPECT_EQ(platform::kNoInterface, handler->QueryInterface(IDispatcherQueue::kIid, &raw));
  EXPECT_EQ(nullptr, raw);
  EXPECT_EQ(kNullPointer, handler->QueryInterface(IDispatcherQueueHandler::kIid, nullptr));
  EXPECT_EQ(1u, References(handler.get()));
}

TEST(DelegateBase, ConcurrentAddRefAndRelease_LeaveTheCountExact) {
  int destroyed = 0;
  ComRef<IDispatcherQueueHandler> handler = MakeCountedHandler(&destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([raw = handler.get()] {
      for (int i = 0; i < 20000; ++i) {
        raw->AddRef();
        raw->Release();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(1u, References(handler.get()));
  EXPECT_EQ(0, destroyed);
}

TEST(DispatcherQueueHandler, Invoke_RunsTheWork_AndTurnsExceptionsIntoResultCodes) {
  int runs = 0;
  ComRef<IDispatcherQueueHandler> counting = MakeDispatcherQueueHandler([&runs] { ++runs; });
  EXPECT_EQ(platform::kOk, counting->Invoke());
  EXPECT_EQ(platform::kOk, counting->Invoke());
  EXPECT_EQ(2, runs);

  ComRef<IDispatcherQueueHandler> closed =
      MakeDispatcherQueueHandler([] { throw platform::hresult_error(platform::kObjectClosed); });
  EXPECT_EQ(platform::kObjectClosed, closed->Invoke());
  ComRef<IDispatcherQueueHandler> failing = MakeDispatcherQueueHandler([] { throw std::logic_error("bug"); });
  EXPECT_EQ(platform::kFail, failing->Invoke());
}

// An event source as the system's objects are one: it keeps the handler it
// is given and calls it until the token is removed.
struct FakeEventSource final : IUnknown {
  using Handler = ITypedEventHandler<IInspectable*, IInspectable*, pinterface::kTypedEventHandler_IInspectable_IInspectable>;
  HRESULT CORVANE_WINRT_CALL QueryInterface(const GUID&, void** object) override {
    *object = nullptr;
    return platform::kNoInterface;
  }
  ULONG CORVANE_WINRT_CALL AddRef() override { return ++references; }
  ULONG CORVANE_WINRT_CALL Release() override { return --references; }  // lives on the test's stack

  HRESULT CORVANE_WINRT_CALL add_Raised(Handler* added, EventRegistrationToken* token) {
    if (refuse) return platform::kFail;
    handler = RetainCom(added);
    token->value = 42;
    return platform::kOk;
  }
  HRESULT CORVANE_WINRT_CALL remove_Raised(EventRegistrationToken token) {
    removed.push_back(token.value);
    handler.Reset();
    return platform::kOk;
  }

  ULONG references = 1;
  bool refuse = false;
  ComRef<Handler> handler;
  std::vector<int64_t> removed;
};

struct Receiver {
  void OnRaised(IInspectable*, IInspectable*) {
    ++calls;
    if (fail) throw std::out_of_range("index");
  }
  int calls = 0;
  bool fail = false;
};

TEST(EventSubscription, ReachesALiveReceiverOnly_TurnsItsExceptionsIntoCodes_AndRemovesItsTokenOnce) {
  FakeEventSource source;
  auto receiver = std::make_shared<Receiver>();
  {
    EventRegistration registration = EventRegistration::Add(
        RetainCom(&source), &FakeEventSource::add_Raised, &FakeEventSource::remove_Raised,
        MakeWeakEventDelegate<FakeEventSource::Handler, &Receiver::OnRaised>(receiver));
    ASSERT_TRUE(source.handler);
    EXPECT_EQ(platform::kOk, source.handler->Invoke(nullptr, nullptr));
    receiver->fail = true;
    EXPECT_EQ(platform::kBoundsError, source.handler->Invoke(nullptr, nullptr));
    EXPECT_EQ(2, receiver->calls);

    // A call that the source had under way when the receiver went.
    // What the runtime asks a delegate: its own IID, IUnknown, IAgileObject
    // (so it calls it from any thread); nothing else.
    for (const GUID* iid : {&FakeEventSource::Handler::kIid, &IidOfUnknown(), &IidOfAgileObject()}) {
      ComRef<IUnknown> answer;
      EXPECT_EQ(platform::kOk, source.handler.As(*iid, &answer));
    }
    ComRef<IUnknown> refused;
    EXPECT_EQ(platform::kNoInterface, source.handler.As(IDispatcherQueueHandler::kIid, &refused));

    ComRef<FakeEventSource::Handler> late = source.handler;
    receiver.reset();
    EXPECT_EQ(platform::kOk, late->Invoke(nullptr, nullptr));

    EventRegistration moved = std::move(registration);
    EXPECT_FALSE(registration.IsActive());
    moved.Remove();
    moved.Remove();
  }
  EXPECT_EQ(std::vector<int64_t>{42}, source.removed);
  EXPECT_EQ(1u, source.references) << "the registration kept the source";

  source.refuse = true;
  try {
    EventRegistration::Add(RetainCom(&source), &FakeEventSource::add_Raised, &FakeEventSource::remove_Raised,
                           MakeWeakEventDelegate<FakeEventSource::Handler, &Receiver::OnRaised>(
                               std::make_shared<Receiver>()));
    ADD_FAILURE() << "a refused handler was registered";
  } catch (const platform::hresult_error& error) {
    EXPECT_EQ(platform::kFail, error.code());
  }
  EXPECT_EQ(1u, source.removed.size());
}

}  // namespace
}  // namespace corvane::test
