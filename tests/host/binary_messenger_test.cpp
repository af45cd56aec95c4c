// The byte layer: sending with and without replies, installing and removing
// handlers, duplicate responses and handlers that throw or remove
// themselves.
#include <gtest/gtest.h>

#include <stdexcept>

#include "channel_test_support.h"

namespace {

using corvane_test::Bytes;
using corvane_test::ChannelTest;
using flutter::BinaryReply;

class BinaryMessengerTest : public ChannelTest {};

TEST_F(BinaryMessengerTest, SendWithReply_DeliversTheAnswerOnce_AndFreesTheReply) {
  auto marker = std::make_shared<int>(0);
  Bytes received;
  messenger_.Send("dart/echo", nullptr, 0, [marker, &received](const uint8_t* data, size_t size) {
    received.assign(data, data + size);
  });
  ASSERT_EQ(fake_embedding::state().sent.size(), 1u);
  const auto sent = fake_embedding::state().sent[0];
  EXPECT_EQ(marker.use_count(), 2);
  const Bytes answer = {0, 1};
  sent.reply(answer.data(), answer.size(), sent.replyUserData);
  EXPECT_EQ(received, answer);
  EXPECT_EQ(marker.use_count(), 1);
}

TEST_F(BinaryMessengerTest, RefusedSendWithReply_FreesTheReplyAtOnce) {
  fake_embedding::state().sendWithReplyAccepts = false;
  auto marker = std::make_shared<int>(0);
  messenger_.Send("dart/echo", nullptr, 0, [marker](const uint8_t*, size_t) {});
  EXPECT_EQ(marker.use_count(), 1);
}

TEST_F(BinaryMessengerTest, SecondResponse_IsRefusedWithDiagnostic) {
  messenger_.SetMessageHandler("raw", [](const uint8_t*, size_t, BinaryReply reply) {
    BinaryReply copy = reply;
    const uint8_t first[] = {7};
    reply(first, 1);
    copy(nullptr, 0);
  });
  testing::internal::CaptureStderr();
  const auto handle = fake_embedding::Deliver("raw", {0});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Response can be set only once. Ignoring duplicate response.\n");
  EXPECT_EQ(OnlyAnswer(handle), Bytes({7}));
}

TEST_F(BinaryMessengerTest, RemovingAHandlerNeverSet_StillClearsTheEngineCallback) {
  messenger_.SetMessageHandler("never-set", nullptr);
  const auto& calls = fake_embedding::state().setCallbackCalls;
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].channel, "never-set");
  EXPECT_FALSE(calls[0].hadCallback);
  EXPECT_FALSE(calls[0].hadUserData);
}

TEST_F(BinaryMessengerTest, HandlerRemovingItselfMidCall_FinishesSafely) {
  auto payload = std::make_shared<std::string>("still here");
  std::string seen;
  messenger_.SetMessageHandler("self", [this, payload, &seen](const uint8_t*, size_t, BinaryReply reply) {
    messenger_.SetMessageHandler("self", nullptr);
    seen = *payload;  // the handler's own state must still be alive
    reply(nullptr, 0);
  });
  std::weak_ptr<std::string> watch = payload;
  payload.reset();
  fake_embedding::Deliver("self", {0});
  EXPECT_EQ(seen, "still here");
  EXPECT_TRUE(watch.expired());
}

TEST_F(BinaryMessengerTest, ThrowingRawHandler_IsContained_AndTheMessageGetsTheEmptyAnswer) {
  messenger_.SetMessageHandler("raw", [](const uint8_t*, size_t, BinaryReply) { throw std::runtime_error("bad"); });
  testing::internal::CaptureStderr();
  const auto handle = fake_embedding::Deliver("raw", {0});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exception from a message handler on channel raw: bad\n");
  EXPECT_EQ(OnlyAnswer(handle), std::nullopt);
  EXPECT_EQ(fake_embedding::state().messengerRefs, 0);
}

}  // namespace
