// The notification gate: raises of the current source only, none after
// Close, Close and a source change waiting for a raise in progress but
// never for themselves, and failing handlers kept apart.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/engine_core/engine_thread.h"
#include "platform/engine_core/notification_gate.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

constexpr size_t kEvent = 0;

TEST(NotificationGate, RaisesOnlyTheCurrentSource_AndNothingOnceClosed) {
  NotificationGate gate(1);
  int heard = 0;
  gate.Subscribe(kEvent, [&] { return ++heard, kOk; });
  const SourceNumber first = gate.Advance();
  gate.Raise(kEvent, first);
  const SourceNumber second = gate.Advance();
  gate.Raise(kEvent, first);  // replaced
  gate.Raise(kEvent, second);
  EXPECT_EQ(heard, 2);
  EXPECT_TRUE(gate.Close());
  EXPECT_FALSE(gate.Close());
  gate.Raise(kEvent, second);
  gate.RaiseFailed({}, second);
  EXPECT_EQ(heard, 2);
}

TEST(NotificationGate, HandlersThatFail_DoNotStopTheOthers_AndSubscribingDuringARaiseWaitsForTheNext) {
  NotificationGate gate(1);
  int heard = 0;
  gate.Subscribe(kEvent, []() -> hresult { throw std::runtime_error("handler"); });
  gate.Subscribe(kEvent, [] { return kFail; });
  gate.Subscribe(kEvent, [&] {
    ++heard;
    if (heard == 1) gate.Subscribe(kEvent, [&] { return heard += 10, kOk; });
    return kOk;
  });
  const SourceNumber source = gate.Advance();
  gate.Raise(kEvent, source);
  EXPECT_EQ(heard, 1);
  gate.Raise(kEvent, source);
  EXPECT_EQ(heard, 12);
}

// A handler that blocks on the engine thread until released.
struct BlockingRaise {
  NotificationGate gate{1};
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> finished{false};
  EngineThread engine{"gate-test"};  // last: joined before what its task uses goes

  SourceNumber Start() {
    gate.Subscribe(kEvent, [this] {
      entered.set_value();
      released.wait();
      finished = true;
      return kOk;
    });
    const SourceNumber source = gate.Advance();
    engine.Post([this, source] { gate.Raise(kEvent, source); });
    entered.get_future().wait();
    return source;
  }
};

TEST(NotificationGate, CloseAndSourceChange_WaitForARaiseInProgress_Boundedly) {
  for (const bool close : {true, false}) {
    BlockingRaise raise;
    raise.Start();
    if (close) {
      raise.gate.Close();
    } else {
      raise.gate.Advance();
    }
    EXPECT_FALSE(raise.gate.AwaitRaisesEnded(50ms)) << "gives up after the limit";
    std::thread releaser([&] {
      std::this_thread::sleep_for(30ms);
      raise.release.set_value();
    });
    EXPECT_TRUE(raise.gate.AwaitRaisesEnded(10s));
    EXPECT_TRUE(raise.finished.load()) << "returned only once the handler had ended";
    releaser.join();
  }
}

TEST(NotificationGate, AHandlerClosingOrReplacingTheSource_DoesNotWaitForItself) {
  NotificationGate gate(1);
  std::promise<bool> awaited;
  gate.Subscribe(kEvent, [&] {
    gate.Advance();
    gate.Close();
    awaited.set_value(gate.AwaitRaisesEnded(10s));
    return kOk;
  });
  EngineThread engine("gate-test");
  const SourceNumber source = gate.Advance();
  const auto start = std::chrono::steady_clock::now();
  engine.Post([&gate, source] { gate.Raise(kEvent, source); });
  EXPECT_TRUE(awaited.get_future().get());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(NotificationGate, ARaiseOfTheCurrentSource_DoesNotHoldUpAnotherSource) {
  BlockingRaise raise;
  raise.Start();
  // A raise running for the source that is still current is no reason to
  // wait (the engine may be opening the next one from inside a handler).
  EXPECT_TRUE(raise.gate.AwaitRaisesEnded(0ms));
  raise.release.set_value();
}

}  // namespace
}  // namespace corvane::platform
