// The messenger handle: reference counting, the engine lock, availability
// after shutdown, and what the host does with calls made on the wrong
// thread or at the wrong moment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "engine_fixture.h"
#include "host/flutter_desktop.h"

namespace corvane::embedder::testing {
namespace {

using ::testing::HasSubstr;

class MessengerTest : public EngineTest {
 protected:
  FlutterDesktopMessengerRef Messenger() {
    FlutterDesktopMessengerRef messenger = nullptr;
    engine_->RunOnPlatformThread(
        [&] { messenger = FlutterDesktopPluginRegistrarGetMessenger(engine_->Registrar()); });
    return messenger;
  }
};

TEST_F(MessengerTest, Messenger_OutlivesItsEngineWhileReferenced_AndIsThenUnavailable) {
  FlutterDesktopMessengerRef messenger = FlutterDesktopMessengerAddRef(Messenger());
  ASSERT_NE(messenger, nullptr);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));

  engine_->Shutdown();
  engine_.reset();

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  // Everything a late reply does stays harmless.
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(FlutterDesktopMessengerLock(messenger), messenger);
  const uint8_t reply[] = {0, 0};
  FlutterDesktopMessengerSendResponse(messenger, nullptr, reply, sizeof(reply));
  FlutterDesktopMessengerUnlock(messenger);
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger, "late", reply, sizeof(reply)));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  FlutterDesktopMessengerRelease(messenger);
}

TEST_F(MessengerTest, HeldLock_KeepsTheEngineAvailable_UntilUnlocked) {
  FlutterDesktopMessengerRef messenger = FlutterDesktopMessengerAddRef(Messenger());
  ASSERT_EQ(FlutterDesktopMessengerLock(messenger), messenger);

  std::future<bool> shutdown = std::async(std::launch::async, [&] { return engine_->Shutdown(); });
  EXPECT_EQ(shutdown.wait_for(100ms), std::future_status::timeout);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));

  FlutterDesktopMessengerUnlock(messenger);
  ASSERT_EQ(shutdown.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(shutdown.get());
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerRelease(messenger);
}

TEST_F(MessengerTest, MessageCallback_RunsWithoutTheMessengerLockHeld) {
  // A plugin's reply thread takes the lock while the platform thread is
  // inside a message callback: were the lock held during dispatch, it
  // would wait until the callback returned.
  std::promise<bool> lockedDuringCallback;
  engine_->RunOnPlatformThread([&] {
    FlutterDesktopMessengerSetCallback(
        FlutterDesktopPluginRegistrarGetMessenger(engine_->Registrar()), "probe",
        [](FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage*, void* userData) {
          std::future<void> other = std::async(std::launch::async, [messenger] {
            FlutterDesktopMessengerUnlock(FlutterDesktopMessengerLock(messenger));
          });
          static_cast<std::promise<bool>*>(userData)->set_value(other.wait_for(2s) == std::future_status::ready);
        },
        &lockedDuringCallback);
  });
  engine_->SendToPlugin("probe", {1}, [](const PluginReply&) {});
  auto result = lockedDuringCallback.get_future();
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(result.get());
}

TEST_F(MessengerTest, PlatformThreadCalls_FromAnotherThread_AreReported) {
  FlutterDesktopMessengerRef messenger = Messenger();
  ::testing::internal::CaptureStderr();
  const uint8_t bytes[] = {1};
  FlutterDesktopMessengerSend(messenger, "somewhere", bytes, sizeof(bytes));
  FlutterDesktopMessengerSetCallback(messenger, "somewhere", nullptr, nullptr);
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_THAT(diagnostics, HasSubstr("FlutterDesktopMessengerSendWithReply must be called on the platform thread"));
  EXPECT_THAT(diagnostics, HasSubstr("FlutterDesktopMessengerSetCallback must be called on the platform thread"));
}

TEST_F(MessengerTest, PluginMessage_ReachesDartOnItsOwnThread_AndTheReplyComesOnThePlatformThread) {
  std::promise<std::thread::id> dartThread;
  engine_->SetDartHandler("to/dart", [&](const std::vector<uint8_t>& message) {
    dartThread.set_value(std::this_thread::get_id());
    std::vector<uint8_t> reply = message;
    reply.push_back(9);
    return reply;
  });

  struct Reply {
    std::promise<std::pair<std::vector<uint8_t>, std::thread::id>> promise;
  } reply;
  FlutterDesktopMessengerRef messenger = Messenger();
  bool sent = false;
  engine_->RunOnPlatformThread([&] {
    const uint8_t bytes[] = {7, 8};
    sent = FlutterDesktopMessengerSendWithReply(
        messenger, "to/dart", bytes, sizeof(bytes),
        [](const uint8_t* data, size_t size, void* userData) {
          static_cast<Reply*>(userData)->promise.set_value({{data, data + size}, std::this_thread::get_id()});
        },
        &reply);
  });
  ASSERT_TRUE(sent);
  auto answer = reply.promise.get_future();
  ASSERT_EQ(answer.wait_for(5s), std::future_status::ready);
  auto [bytes, thread] = answer.get();
  EXPECT_EQ(bytes, (std::vector<uint8_t>{7, 8, 9}));
  EXPECT_EQ(thread, PlatformThreadId());
  EXPECT_NE(dartThread.get_future().get(), thread);
}

TEST_F(MessengerTest, ResponseHandle_OfAnotherEngine_IsRefused) {
  std::unique_ptr<Engine> other = Engine::Start();
  FlutterDesktopMessengerRef otherMessenger = nullptr;
  other->RunOnPlatformThread([&] { otherMessenger = FlutterDesktopPluginRegistrarGetMessenger(other->Registrar()); });
  std::promise<const FlutterDesktopMessageResponseHandle*> handle;
  engine_->RunOnPlatformThread([&] {
    FlutterDesktopMessengerSetCallback(
        FlutterDesktopPluginRegistrarGetMessenger(engine_->Registrar()), "keep",
        [](FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* userData) {
          static_cast<std::promise<const FlutterDesktopMessageResponseHandle*>*>(userData)->set_value(
              message->response_handle);
        },
        &handle);
  });
  std::atomic<int> replies{0};
  engine_->SendToPlugin("keep", {1}, [&](const PluginReply& reply) {
    if (reply.answered) ++replies;
  });
  auto kept = handle.get_future();
  ASSERT_EQ(kept.wait_for(5s), std::future_status::ready);
  const FlutterDesktopMessageResponseHandle* responseHandle = kept.get();

  ::testing::internal::CaptureStderr();
  const uint8_t reply[] = {0, 0};
  FlutterDesktopMessengerSendResponse(otherMessenger, responseHandle, reply, sizeof(reply));
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(diagnostics, HasSubstr("ignoring this response"));

  // The right messenger still answers it, from this thread.
  FlutterDesktopMessengerSendResponse(Messenger(), responseHandle, reply, sizeof(reply));
  InvokeMethod(*engine_, "nobody/listens", "barrier");
  EXPECT_EQ(replies.load(), 1);
  other->Shutdown();
}

}  // namespace
}  // namespace corvane::embedder::testing
