// Method calls arriving through the messenger, answered once, including
// asynchronous answers, engine shutdown and handlers that throw.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "channel_test_support.h"
#include "host/method_channel.h"

namespace {

using corvane_test::Bytes;
using corvane_test::ChannelTest;
using corvane_test::RecordedAnswer;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;

const char kChannel[] = "CorvanePlugin";

class MethodChannelTest : public ChannelTest {
 protected:
  flutter::MethodChannel<> channel_{&messenger_, kChannel, &Codec()};
};

TEST_F(MethodChannelTest, DecodedCall_ReachesHandler_AndItsAnswerIsSent) {
  const EncodableValue arguments(EncodableMap{{EncodableValue("id"), EncodableValue(int64_t{3})}});
  std::string seen_method;
  EncodableValue seen_arguments;
  channel_.SetMethodCallHandler([&](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
    seen_method = call.method_name();
    seen_arguments = *call.arguments();
    result->Success(EncodableValue(EncodableMap{{EncodableValue("textureId"), EncodableValue(int64_t{100})}}));
  });
  const auto handle = fake_embedding::Deliver(kChannel, Call("create", &arguments));
  EXPECT_EQ(seen_method, "create");
  EXPECT_EQ(seen_arguments, arguments);
  const RecordedAnswer answer = Answer(OnlyAnswer(handle));
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_EQ(answer.value, EncodableValue(EncodableMap{{EncodableValue("textureId"), EncodableValue(int64_t{100})}}));
  // The reply's messenger reference is gone with the reply.
  EXPECT_EQ(fake_embedding::state().messenger_refs, 0);
  EXPECT_EQ(fake_embedding::state().locks, fake_embedding::state().unlocks);
}

TEST_F(MethodChannelTest, UndecodableMessage_GetsTheEmptyAnswer_AndNeverReachesHandler) {
  bool called = false;
  channel_.SetMethodCallHandler([&](const MethodCall<>&, std::unique_ptr<MethodResult<>>) { called = true; });
  testing::internal::CaptureStderr();
  const auto handle = fake_embedding::Deliver(kChannel, {}, /*null_message=*/true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Invalid read in StandardCodecByteStreamReader\n"
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel CorvanePlugin\n");
  EXPECT_FALSE(called);
  EXPECT_EQ(OnlyAnswer(handle), std::nullopt);
}

TEST_F(MethodChannelTest, ResultKeptByHandler_CanAnswerLaterFromAnotherThread) {
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
  EXPECT_EQ(fake_embedding::state().messenger_refs, 0);
}

TEST_F(MethodChannelTest, AnswerAfterEngineShutdown_IsDroppedSilently) {
  std::unique_ptr<MethodResult<>> kept;
  channel_.SetMethodCallHandler(
      [&](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) { kept = std::move(result); });
  const auto handle = fake_embedding::Deliver(kChannel, Call("dispose"));
  fake_embedding::state().available = false;
  testing::internal::CaptureStderr();
  kept->Success();
  kept.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(fake_embedding::ResponsesTo(handle).empty());
  EXPECT_EQ(fake_embedding::state().locks, fake_embedding::state().unlocks);
}

TEST_F(MethodChannelTest, ThrowingHandler_IsContained_AndTheCallGetsAnErrorAnswer) {
  channel_.SetMethodCallHandler([](const MethodCall<>& call, std::unique_ptr<MethodResult<>>) {
    throw std::runtime_error("no player " + call.method_name());
  });
  testing::internal::CaptureStderr();
  const auto handle = fake_embedding::Deliver(kChannel, Call("play"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Exception from the handler on channel CorvanePlugin: no player play\n");
  const RecordedAnswer answer = Answer(OnlyAnswer(handle));
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.code, "error");
  EXPECT_EQ(answer.message, "no player play");
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
  const auto& calls = fake_embedding::state().set_callback_calls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].had_callback && calls[0].had_user_data);
  EXPECT_FALSE(calls[1].had_callback || calls[1].had_user_data);
  EXPECT_EQ(fake_embedding::state().callbacks.count(kChannel), 0u);
}

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelObject) {
  {
    flutter::MethodChannel<> short_lived(&messenger_, "Scoped", &Codec());
    short_lived.SetMethodCallHandler(
        [](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
          result->Success(EncodableValue(call.method_name()));
        });
  }
  EXPECT_EQ(Answer(OnlyAnswer(fake_embedding::Deliver("Scoped", Call("echo")))).value, EncodableValue("echo"));
}

}  // namespace
