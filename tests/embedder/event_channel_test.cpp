// The listen/cancel protocol of an event channel and the events it carries,
// seen from the Dart side.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "engine_fixture.h"
#include "host/event_stream_handler_functions.h"

namespace corvane::embedder::testing {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using ::testing::ElementsAre;
using Sink = std::unique_ptr<flutter::EventSink<EncodableValue>>;
using StreamError = std::unique_ptr<flutter::StreamHandlerError<EncodableValue>>;

EncodableValue Event(const std::string& name) {
  return EncodableValue(EncodableMap{{EncodableValue("event"), EncodableValue(name)}});
}

std::string Describe(const EncodableValue* arguments) {
  if (arguments == nullptr) return "none";
  if (arguments->IsNull()) return "null";
  if (const auto* text = std::get_if<std::string>(arguments)) return *text;
  return "value";
}

// Records the handler calls and keeps every sink it was given.
struct StreamRecorder {
  std::mutex mutex;
  std::vector<std::string> calls;
  std::vector<flutter::EventSink<EncodableValue>*> sinkAddresses;
  std::vector<Sink> sinks;

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
};

class EventChannelTest : public EngineTest {
 protected:
  // Opens the event channel with a handler that records into `recorder_`
  // and sends "hello" on each new sink.
  void RegisterRecordingStream(bool withListen = true) {
    ScriptedPluginConfig config;
    auto recorder = recorder_;
    config.makeStreamHandler = [recorder, withListen] {
      flutter::StreamHandlerListen<EncodableValue> onListen;
      if (withListen) {
        onListen = [recorder](const EncodableValue* arguments, Sink&& events) -> StreamError {
          events->Success(Event("hello"));
          std::lock_guard<std::mutex> lock(recorder->mutex);
          recorder->calls.push_back("listen(" + Describe(arguments) + ")");
          recorder->sinkAddresses.push_back(events.get());
          recorder->sinks.push_back(std::move(events));
          return nullptr;
        };
      }
      return std::make_unique<flutter::StreamHandlerFunctions<EncodableValue>>(
          onListen, [recorder](const EncodableValue* arguments) -> StreamError {
            std::lock_guard<std::mutex> lock(recorder->mutex);
            recorder->calls.push_back("cancel(" + Describe(arguments) + ")");
            return nullptr;
          });
    };
    Register(std::move(config));
  }

  std::shared_ptr<StreamRecorder> recorder_ = std::make_shared<StreamRecorder>();
};

TEST_F(EventChannelTest, ListenTwice_CancelsTheOldStreamBeforeTheSecondListen_WithANewSink) {
  RegisterRecordingStream();
  EventStream stream(*engine_, kEventChannel);

  EXPECT_TRUE(stream.Listen(EncodableValue("first")).IsSuccess());
  EXPECT_TRUE(stream.Listen(EncodableValue("second")).IsSuccess());

  EXPECT_THAT(recorder_->Calls(), ElementsAre("listen(first)", "cancel(none)", "listen(second)"));
  std::lock_guard<std::mutex> lock(recorder_->mutex);
  ASSERT_EQ(recorder_->sinkAddresses.size(), 2u);
  EXPECT_NE(recorder_->sinkAddresses[0], recorder_->sinkAddresses[1]);
}

TEST_F(EventChannelTest, Cancel_PassesItsArguments_AndWithoutAStreamRepliesNoActiveStream) {
  RegisterRecordingStream();
  EventStream stream(*engine_, kEventChannel);

  MethodResponse early = stream.Cancel();
  ASSERT_EQ(early.kind, MethodResponse::Kind::kError) << early.Describe();
  EXPECT_EQ(early.errorCode, "error");
  EXPECT_EQ(early.errorMessage, "No active stream to cancel");
  EXPECT_TRUE(early.errorDetails.IsNull());

  ASSERT_TRUE(stream.Listen().IsSuccess());
  EXPECT_TRUE(stream.Cancel(EncodableValue("bye")).IsSuccess());
  EXPECT_EQ(stream.Cancel().errorMessage, "No active stream to cancel");

  EXPECT_THAT(recorder_->Calls(), ElementsAre("listen(null)", "cancel(bye)"));
}

TEST_F(EventChannelTest, Listen_WithoutListenFunction_RepliesNoOnListenHandler) {
  RegisterRecordingStream(/*withListen=*/false);
  EventStream stream(*engine_, kEventChannel);

  MethodResponse response = stream.Listen();

  ASSERT_EQ(response.kind, MethodResponse::Kind::kError) << response.Describe();
  EXPECT_EQ(response.errorCode, "error");
  EXPECT_EQ(response.errorMessage, "No OnListen handler set");
}

TEST_F(EventChannelTest, Events_ArriveInOrder_WithErrorsAndEndOfStream) {
  RegisterRecordingStream();
  EventStream stream(*engine_, kEventChannel);
  ASSERT_TRUE(stream.Listen().IsSuccess());

  ASSERT_TRUE(engine_->RunOnPlatformThread([&] {
    std::lock_guard<std::mutex> lock(recorder_->mutex);
    flutter::EventSink<EncodableValue>& sink = *recorder_->sinks.back();
    sink.Success(Event("position"));
    sink.Error("decode", "corrupt data", EncodableValue(int32_t{3}));
    sink.Success(Event("finished"));
    sink.EndOfStream();
  }));

  std::optional<StreamEvent> finished = stream.WaitForEventNamed("finished", 5s);
  ASSERT_TRUE(finished.has_value());
  std::optional<StreamEvent> end = stream.WaitForEvent(5s);
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->kind, StreamEvent::Kind::kEndOfStream);

  std::vector<StreamEvent> history = stream.History();
  ASSERT_EQ(history.size(), 5u);
  EXPECT_EQ(history[0].Name(), "hello");  // sent from inside OnListen
  EXPECT_EQ(history[1].Name(), "position");
  EXPECT_EQ(history[2].kind, StreamEvent::Kind::kError);
  EXPECT_EQ(history[2].errorCode, "decode");
  EXPECT_EQ(history[2].errorMessage, "corrupt data");
  EXPECT_EQ(history[2].errorDetails, EncodableValue(int32_t{3}));
  EXPECT_EQ(history[3].Name(), "finished");
  EXPECT_FALSE(stream.WaitForEvent(50ms).has_value());
}

TEST_F(EventChannelTest, OtherMethodsAndUndecodableMessages_GetTheEmptyReply_WithoutHandlerCalls) {
  RegisterRecordingStream();
  EventStream stream(*engine_, kEventChannel);

  EXPECT_EQ(InvokeMethod(*engine_, kEventChannel, "pause").kind, MethodResponse::Kind::kNotImplemented);
  ::testing::internal::CaptureStderr();
  MethodResponse undecodable = SendRawMessage(*engine_, kEventChannel, {});
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(undecodable.kind, MethodResponse::Kind::kNotImplemented);
  EXPECT_THAT(diagnostics,
              ::testing::EndsWith("Unable to construct method call from message on channel: test/events\n"));
  ASSERT_TRUE(stream.Listen().IsSuccess());
  EXPECT_EQ(InvokeMethod(*engine_, kEventChannel, "pause").kind, MethodResponse::Kind::kNotImplemented);

  EXPECT_THAT(recorder_->Calls(), ElementsAre("listen(null)"));
}

}  // namespace
}  // namespace corvane::embedder::testing
