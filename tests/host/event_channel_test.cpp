// The listen/cancel protocol of event channels and the sink that carries
// events to Dart.
#include <gtest/gtest.h>

#include <stdexcept>

#include "channel_test_support.h"
#include "host/event_channel.h"
#include "host/event_stream_handler_functions.h"

namespace {

using corvane_test::Bytes;
using corvane_test::ChannelTest;
using corvane_test::RecordedAnswer;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::EventSink;
using flutter::StreamHandlerError;
using flutter::StreamHandlerFunctions;

const char kChannel[] = "CorvanePlugin/7";

// Records every listen and cancel, and keeps every sink alive so that their
// addresses stay distinct.
struct StreamLog {
  struct Entry {
    std::string what;
    std::optional<EncodableValue> arguments;
    const void* sink = nullptr;
  };
  std::vector<Entry> entries;
  std::vector<std::unique_ptr<EventSink<>>> sinks;
  std::unique_ptr<StreamHandlerError<>> next_listen_error;
  std::unique_ptr<StreamHandlerError<>> next_cancel_error;

  std::unique_ptr<StreamHandlerFunctions<>> Handler() {
    return std::make_unique<StreamHandlerFunctions<>>(
        [this](const EncodableValue* arguments, std::unique_ptr<EventSink<>>&& events) {
          entries.push_back({"listen", Optional(arguments), events.get()});
          sinks.push_back(std::move(events));
          return std::move(next_listen_error);
        },
        [this](const EncodableValue* arguments) {
          entries.push_back({"cancel", Optional(arguments), nullptr});
          return std::move(next_cancel_error);
        });
  }

  static std::optional<EncodableValue> Optional(const EncodableValue* value) {
    return value ? std::optional<EncodableValue>(*value) : std::nullopt;
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

TEST_F(EventChannelTest, Listen_HandsOverASink_ThatSendsEventsOnTheChannel) {
  channel_.SetStreamHandler(log_.Handler());
  const EncodableValue arguments("args");
  const RecordedAnswer answer = Send("listen", &arguments);
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_FALSE(answer.value.has_value());
  ASSERT_EQ(log_.entries.size(), 1u);
  EXPECT_EQ(log_.entries[0].arguments, arguments);
  ASSERT_EQ(log_.sinks.size(), 1u);
  EventSink<>& sink = *log_.sinks[0];

  const EncodableValue event(EncodableMap{{EncodableValue("event"), EncodableValue("finished")}});
  const EncodableValue details(int32_t{4});
  sink.Success(event);
  sink.Error("network", "lost", details);
  sink.EndOfStream();
  const auto& sent = fake_embedding::state().sent;
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& message : sent) EXPECT_EQ(message.channel, kChannel);
  EXPECT_EQ(sent[0].payload, *Codec().EncodeSuccessEnvelope(&event));
  EXPECT_EQ(sent[1].payload, *Codec().EncodeErrorEnvelope("network", "lost", &details));
  EXPECT_EQ(sent[2].payload, std::nullopt);
}

TEST_F(EventChannelTest, ListenTwice_CancelsTheOldStreamWithoutArguments_AndGivesANewSink) {
  channel_.SetStreamHandler(log_.Handler());
  const EncodableValue arguments(int32_t{1});
  Send("listen", &arguments);
  Send("listen", &arguments);
  ASSERT_EQ(log_.entries.size(), 3u);
  EXPECT_EQ(log_.entries[1].what, "cancel");
  EXPECT_EQ(log_.entries[1].arguments, std::nullopt);
  EXPECT_EQ(log_.entries[2].what, "listen");
  EXPECT_NE(log_.entries[0].sink, log_.entries[2].sink);
}

TEST_F(EventChannelTest, FailedCancelBeforeRelisten_IsReported_AndListenGoesAhead) {
  channel_.SetStreamHandler(log_.Handler());
  Send("listen");
  log_.next_cancel_error = std::make_unique<StreamHandlerError<>>("busy", "cannot stop", nullptr);
  testing::internal::CaptureStderr();
  const RecordedAnswer answer = Send("listen");
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EXPECT_EQ(diagnostics.rfind("Failed to cancel existing stream: busy, cannot stop, ", 0), 0u) << diagnostics;
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kSuccess);
  EXPECT_EQ(log_.entries.back().what, "listen");
}

TEST_F(EventChannelTest, Cancel_PassesItsArguments_AndReturnsTheStreamToIdle) {
  channel_.SetStreamHandler(log_.Handler());
  Send("listen");
  const EncodableValue arguments("bye");
  EXPECT_EQ(Send("cancel", &arguments).kind, RecordedAnswer::Kind::kSuccess);
  ASSERT_EQ(log_.entries.size(), 2u);
  EXPECT_EQ(log_.entries[1].arguments, arguments);

  const RecordedAnswer again = Send("cancel");
  EXPECT_EQ(again.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(again.code, "error");
  EXPECT_EQ(again.message, "No active stream to cancel");
  EXPECT_EQ(log_.entries.size(), 2u);
}

TEST_F(EventChannelTest, CancelWithoutListen_IsAnError_AndDoesNotCallOnCancel) {
  channel_.SetStreamHandler(log_.Handler());
  const RecordedAnswer answer = Send("cancel");
  EXPECT_EQ(answer.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(answer.message, "No active stream to cancel");
  EXPECT_TRUE(log_.entries.empty());
}

TEST_F(EventChannelTest, HandlerErrors_BecomeErrorAnswers) {
  channel_.SetStreamHandler(log_.Handler());
  log_.next_listen_error =
      std::make_unique<StreamHandlerError<>>("denied", "no player", std::make_unique<EncodableValue>(7));
  const RecordedAnswer listen = Send("listen");
  EXPECT_EQ(listen.kind, RecordedAnswer::Kind::kError);
  EXPECT_EQ(listen.code, "denied");
  EXPECT_EQ(listen.value, EncodableValue(7));
  // A failed listen still counts as listening.
  log_.next_cancel_error = std::make_unique<StreamHandlerError<>>("stuck", "", nullptr);
  const RecordedAnswer cancel = Send("cancel");
  EXPECT_EQ(cancel.code, "stuck");
  EXPECT_EQ(Send("cancel").message, "No active stream to cancel");
}

TEST_F(EventChannelTest, OtherMethodsAndUndecodableMessages_GetTheEmptyAnswer) {
  channel_.SetStreamHandler(log_.Handler());
  EXPECT_EQ(OnlyAnswer(fake_embedding::Deliver(kChannel, Call("pause"))), std::nullopt);
  testing::internal::CaptureStderr();
  EXPECT_EQ(OnlyAnswer(fake_embedding::Deliver(kChannel, {3, 1, 0, 0, 0})), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel: CorvanePlugin/7\n");
  EXPECT_TRUE(log_.entries.empty());
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
  EXPECT_FALSE(fake_embedding::state().set_callback_calls.back().had_callback);
}

}  // namespace
