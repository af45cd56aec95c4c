// What the real host library cannot show about method channels: the
// messenger references and engine lock the binding takes and gives back,
// handlers that outlive or remove their channel, and a reply shared between
// a result and its creator. The call protocol itself is covered end to end
// by tests/embedder.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "channel_test_support.h"
#include "host/engine_method_result.h"
#include "host/method_channel.h"

namespace {

using corvane_test::Bytes;
using corvane_test::ChannelTest;
using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;

const char kChannel[] = "CorvanePlugin";

class MethodChannelTest : public ChannelTest {
 protected:
  flutter::MethodChannel<> channel_{&messenger_, kChannel, &Codec()};
};

TEST_F(MethodChannelTest, AnswerFromAnotherThread_ReleasesTheMessengerAndTheLock) {
  std::unique_ptr<MethodResult<>> kept;
  channel_.SetMethodCallHandler(
      [&](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) { kept = std::move(result); });
  const auto handle = fake_embedding::Deliver(kChannel, Call("seekTo"));
  EXPECT_TRUE(fake_embedding::ResponsesTo(handle).empty());
  std::thread answerer([&] {
    kept->Success(EncodableValue(true));
    kept.reset();
  });
  answerer.join();
  EXPECT_EQ(OnlyAnswer(handle), Bytes({0, 1}));
  // The reply's messenger reference is gone with the reply.
  EXPECT_EQ(fake_embedding::state().messengerRefs, 0);
  EXPECT_EQ(fake_embedding::state().locks, fake_embedding::state().unlocks);
}

TEST_F(MethodChannelTest, HandlerThrowingAfterAnswering_KeepsTheFirstAnswer) {
  channel_.SetMethodCallHandler([](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
    result->Success(EncodableValue(1));
    throw std::logic_error("after");
  });
  testing::internal::CaptureStderr();
  const auto handle = fake_embedding::Deliver(kChannel, Call("play"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exception from the handler on channel CorvanePlugin: after\n");
  EXPECT_EQ(Answer(OnlyAnswer(handle)).value, EncodableValue(1));
}

TEST_F(MethodChannelTest, EmptyHandler_RemovesTheEngineCallback) {
  channel_.SetMethodCallHandler([](const MethodCall<>&, std::unique_ptr<MethodResult<>>) {});
  channel_.SetMethodCallHandler(nullptr);
  const auto& calls = fake_embedding::state().setCallbackCalls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].hadCallback && calls[0].hadUserData);
  EXPECT_FALSE(calls[1].hadCallback || calls[1].hadUserData);
  EXPECT_EQ(fake_embedding::state().callbacks.count(kChannel), 0u);
}

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelObject) {
  {
    flutter::MethodChannel<> shortLived(&messenger_, "Scoped", &Codec());
    shortLived.SetMethodCallHandler([](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
      result->Success(EncodableValue(call.method_name()));
    });
  }
  EXPECT_EQ(Answer(OnlyAnswer(fake_embedding::Deliver("Scoped", Call("echo")))).value, EncodableValue("echo"));
}

TEST(PendingReply, SharedWithItsCreator_WarnsOnlyWhenTheLastHolderDropsItUnanswered) {
  int replies = 0;
  auto pending = std::make_shared<flutter::PendingReply>([&](const uint8_t*, size_t) { ++replies; });
  testing::internal::CaptureStderr();
  { flutter::EngineMethodResult<> result(pending, &flutter::StandardMethodCodec::GetInstance()); }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(pending->SendIfPending(nullptr));
  EXPECT_FALSE(pending->SendIfPending(nullptr));
  EXPECT_EQ(replies, 1);
  testing::internal::CaptureStderr();
  pending.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
