// Event channel paths the real host library does not reach: stream
// handlers that fail, throw or lack a function, and removing the handler.
// Listening, cancelling and the events themselves are covered end to end by
// tests/embedder.
#include <gtest/gtest.h>

#include <stdexcept>

#include "channel_test_support.h"
#include "host/event_channel.h"
#include "host/event_stream_handler_functions.h"

namespace {

using corvane_test::ChannelTest;
using corvane_test::RecordedAnswer;
using flutter::EncodableValue;
using flutter::EventSink;
using flutter::StreamHandlerError;
using flutter::StreamHandlerFunctions;

const char kChannel[] = "CorvanePlugin/7";

// Records every listen and cancel by name, keeps the sinks it is given, and
// answers with the errors a test sets.
struct StreamLog {
  std::vector<std::string> entries;
  std::vector<std::unique_ptr<EventSink<>>> sinks;
  std::unique_ptr<StreamHandlerError<>> nextListenError;
  std::unique_ptr<StreamHandlerError<>> nextCancelError;

  std::unique_ptr<StreamHandlerFunctions<>> Handler() {
    return std::make_unique<StreamHandlerFunctions<>>(
        [this](const EncodableValue*, std::unique_ptr<EventSink<>>&& events) {
          entries.push_back("listen");
          sinks.push_back(std::move(events));
          return std::move(nextListenError);
        },
        [this](const EncodableValue*) {
          entries.push_back("cancel");
          return std::move(nextCancelError);
        });
  }
};

class EventChannelTest : public ChannelTest {
 protected:
  RecordedAnswer Send(const std::string& method, const EncodableValue* arguments = nullptr) {
    return Answer(OnlyAnswer(fake_embedding::Deliver(kChannel, Call(method, arguments))));
  }

  flutter::EventChannel<> channel_{&messenger_, kChannel, &Codec()};
  StreamLog log_;
};

TEST_F(EventChannelTest, FailedCancelBeforeRelisten_IsReported_AndListenGoesAhead) {
  channel_.SetStreamHandler(log_.Handler());
  Send("listen");
  log_.nextCancelError = std::make_unique<StreamHandlerError<>>("busy", "cannot stop", nullptr);
  testing::internal::CaptureStderr();
  const RecordedAnswer answer = Send("listen");
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EXPECT_EQ(diagnostics.rfind("Failed to cancel existing stream: busy, cannot stop, ", 0), 0u) << diagnostics;
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_EQ(log_.entries.back(), "listen");
}

TEST_F(EventChannelTest, HandlerErrors_BecomeErrorAnswers) {
  channel_.SetStreamHandler(log_.Handler());
  log_.nextListenError =
      std::make_unique<StreamHandlerError<>>("denied", "no player", std::make_unique<EncodableValue>(7));
  const RecordedAnswer listen = Send("listen");
  EXPECT_EQ(listen.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(listen.code, "denied");
  EXPECT_EQ(listen.value, EncodableValue(7));
  // A failed listen still counts as listening.
  log_.nextCancelError = std::make_unique<StreamHandlerError<>>("stuck", "", nullptr);
  const RecordedAnswer cancel = Send("cancel");
  EXPECT_EQ(cancel.code, "stuck");
  EXPECT_EQ(Send("cancel").message, "No active stream to cancel");
}

TEST_F(EventChannelTest, FunctionsWithoutListenOrCancel_AnswerWithTheirErrors) {
  channel_.SetStreamHandler(std::make_unique<StreamHandlerFunctions<>>(nullptr, nullptr));
  const RecordedAnswer listen = Send("listen");
  EXPECT_EQ(listen.code, "error");
  EXPECT_EQ(listen.message, "No OnListen handler set");
  const RecordedAnswer cancel = Send("cancel");
  EXPECT_EQ(cancel.code, "error");
  EXPECT_EQ(cancel.message, "No OnCancel handler set");
}

TEST_F(EventChannelTest, ThrowingStreamHandler_IsContained_AndAnswered) {
  channel_.SetStreamHandler(std::make_unique<StreamHandlerFunctions<>>(
      [](const EncodableValue*, std::unique_ptr<EventSink<>>&&) -> std::unique_ptr<StreamHandlerError<>> {
        throw std::runtime_error("listen failed");
      },
      [](const EncodableValue*) -> std::unique_ptr<StreamHandlerError<>> {
        throw std::runtime_error("cancel failed");
      }));
  testing::internal::CaptureStderr();
  const RecordedAnswer listen = Send("listen");
  const RecordedAnswer cancel = Send("cancel");
  const RecordedAnswer after = Send("cancel");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Exception from the handler on channel CorvanePlugin/7: listen failed\n"
            "Exception from the handler on channel CorvanePlugin/7: cancel failed\n");
  EXPECT_EQ(listen.message, "listen failed");
  EXPECT_EQ(cancel.message, "cancel failed");
  // The throwing cancel still ended the stream.
  EXPECT_EQ(after.message, "No active stream to cancel");
}

TEST_F(EventChannelTest, NullHandler_RemovesTheEngineCallback) {
  channel_.SetStreamHandler(log_.Handler());
  channel_.SetStreamHandler(nullptr);
  EXPECT_EQ(fake_embedding::state().callbacks.count(kChannel), 0u);
  EXPECT_FALSE(fake_embedding::state().setCallbackCalls.back().hadCallback);
}

}  // namespace
