// Method calls from the Dart side to a plugin and back, end to end through
// the host library and the binding.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine_fixture.h"
#include "host/flutter_desktop.h"

namespace corvane::embedder::testing {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using ::testing::HasSubstr;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called exactly once. "
    "Ignoring duplicate result.\n";
constexpr char kLeakWarning[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

class ChannelProtocolTest : public EngineTest {};

TEST_F(ChannelProtocolTest, MethodCall_GetsEveryReplyKind_OnThePlatformThread) {
  std::thread::id handlerThread;
  RegisterMethods([&](const flutter::MethodCall<EncodableValue>& call, Result result) {
    handlerThread = std::this_thread::get_id();
    const std::string& name = call.method_name();
    if (name == "echo") {
      result->Success(*call.arguments());
    } else if (name == "nothing") {
      result->Success();
    } else if (name == "fail") {
      result->Error("bad_input", "went wrong", EncodableValue(int32_t{42}));
    } else {
      result->NotImplemented();
    }
  });

  EncodableMap arguments{{EncodableValue("id"), EncodableValue(int64_t{1} << 40)},
                         {EncodableValue("value"), EncodableValue("a.mp4")}};
  MethodResponse echo = Call("echo", EncodableValue(arguments));
  ASSERT_EQ(echo.kind, MethodResponse::Kind::kSuccess) << echo.Describe();
  EXPECT_EQ(echo.value, EncodableValue(arguments));
  EXPECT_EQ(handlerThread, PlatformThreadId());

  MethodResponse nothing = Call("nothing");
  ASSERT_EQ(nothing.kind, MethodResponse::Kind::kSuccess) << nothing.Describe();
  EXPECT_TRUE(nothing.value.IsNull());

  MethodResponse fail = Call("fail");
  ASSERT_EQ(fail.kind, MethodResponse::Kind::kError) << fail.Describe();
  EXPECT_EQ(fail.errorCode, "bad_input");
  EXPECT_EQ(fail.errorMessage, "went wrong");
  EXPECT_EQ(fail.errorDetails, EncodableValue(int32_t{42}));

  EXPECT_EQ(Call("other").kind, MethodResponse::Kind::kNotImplemented);
  EXPECT_EQ(InvokeMethod(*engine_, "nobody/listens", "hello").kind, MethodResponse::Kind::kNotImplemented)
      << "a channel without a handler";
}

TEST_F(ChannelProtocolTest, SecondAnswer_IsRefused_AndFirstOneDelivered) {
  RegisterMethods([](const flutter::MethodCall<EncodableValue>&, Result result) {
    result->Success(EncodableValue("first"));
    result->Error("late", "second answer");
  });
  ::testing::internal::CaptureStderr();
  MethodResponse response = Call("twice");
  DrainPlatformThread();
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  ASSERT_EQ(response.kind, MethodResponse::Kind::kSuccess) << response.Describe();
  EXPECT_EQ(response.value, EncodableValue("first"));
  EXPECT_EQ(CountOf(diagnostics, kDuplicateResult), 1u) << diagnostics;
}

TEST_F(ChannelProtocolTest, SecondResponseOnOneHandle_IsReportedByTheHost_AndNotDelivered) {
  // Below the binding: a plugin answering one handle twice through the C API.
  ASSERT_TRUE(engine_->RegisterPlugin([](FlutterDesktopPluginRegistrarRef registrar) {
    FlutterDesktopMessengerSetCallback(
        FlutterDesktopPluginRegistrarGetMessenger(registrar), "raw",
        [](FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void*) {
          const uint8_t first[] = {0, 0};   // success envelope, null
          const uint8_t second[] = {0, 1};  // success envelope, true
          FlutterDesktopMessengerSendResponse(messenger, message->response_handle, first, sizeof(first));
          FlutterDesktopMessengerSendResponse(messenger, message->response_handle, second, sizeof(second));
        },
        nullptr);
  }));
  std::atomic<int> replies{0};
  std::mutex mutex;
  std::vector<uint8_t> delivered;
  ::testing::internal::CaptureStderr();
  engine_->SendToPlugin("raw", {1, 2, 3}, [&](const PluginReply& reply) {
    std::lock_guard<std::mutex> lock(mutex);
    delivered = reply.bytes;
    ++replies;
  });
  DrainPlatformThread();
  // A second call's reply comes after the first one's on the Dart thread.
  InvokeMethod(*engine_, "nobody/listens", "barrier");
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(replies.load(), 1);
  EXPECT_EQ(delivered, (std::vector<uint8_t>{0, 0}));
  EXPECT_THAT(diagnostics, HasSubstr("already answered"));
}

TEST_F(ChannelProtocolTest, UnansweredResult_WarnsOfTheLeak_AndNoAnswerEverComes) {
  RegisterMethods([](const flutter::MethodCall<EncodableValue>&, Result) {});
  ::testing::internal::CaptureStderr();
  MethodResponse response = Call("drop", {}, 300ms);
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(response.kind, MethodResponse::Kind::kNoReply);
  EXPECT_EQ(CountOf(diagnostics, kLeakWarning), 1u) << diagnostics;

  // At shutdown the host gives the waiting Dart side up instead of leaving it.
  std::mutex mutex;
  std::condition_variable cv;
  std::optional<MethodResponse> late;
  InvokeMethodAsync(*engine_, kMethodChannel, "drop", {}, [&](const MethodResponse& answer) {
    std::lock_guard<std::mutex> lock(mutex);
    late = answer;
    cv.notify_all();
  });
  DrainPlatformThread();
  engine_->Shutdown();
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(cv.wait_for(lock, 5s, [&] { return late.has_value(); }));
  EXPECT_EQ(late->kind, MethodResponse::Kind::kNoReply);
  EXPECT_THAT(late->noReplyReason, HasSubstr("shut down"));
}

TEST_F(ChannelProtocolTest, UndecodableMessage_GetsEmptyReply_AndExactDiagnostics) {
  bool handlerCalled = false;
  RegisterMethods([&](const flutter::MethodCall<EncodableValue>&, Result result) {
    handlerCalled = true;
    result->Success();
  });
  ::testing::internal::CaptureStderr();
  MethodResponse response = SendRawMessage(*engine_, kMethodChannel, {});
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(response.kind, MethodResponse::Kind::kNotImplemented);
  EXPECT_FALSE(handlerCalled);
  EXPECT_EQ(diagnostics,
            "Invalid read in StandardCodecByteStreamReader\n"
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel test/methods\n");
}

TEST_F(ChannelProtocolTest, AnswerFromAnotherThread_IsDelivered) {
  std::vector<std::thread> answering;
  ScriptedPluginConfig config;
  config.onMethodCall = [&](const flutter::MethodCall<EncodableValue>& call, Result result) {
    EncodableValue arguments = *call.arguments();
    answering.emplace_back([result = std::move(result), arguments]() mutable {
      std::this_thread::sleep_for(20ms);
      result->Success(arguments);
    });
  };
  config.onDestroyed = [&](flutter::PluginRegistrarWindows&) {
    for (std::thread& thread : answering) thread.join();
  };
  Register(config);
  std::vector<MethodResponse> responses;
  for (int32_t i = 0; i < 3; ++i) responses.push_back(Call("later", EncodableValue(i)));
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_EQ(responses[i].kind, MethodResponse::Kind::kSuccess) << responses[i].Describe();
    EXPECT_EQ(responses[i].value, EncodableValue(i));
  }
  engine_->Shutdown();  // joins the answering threads before they go
}

TEST_F(ChannelProtocolTest, AnswerAfterShutdown_IsDroppedSilently) {
  std::mutex mutex;
  Result kept;
  RegisterMethods([&](const flutter::MethodCall<EncodableValue>&, Result result) {
    std::lock_guard<std::mutex> lock(mutex);
    kept = std::move(result);
  });
  std::atomic<int> replies{0};
  InvokeMethodAsync(*engine_, kMethodChannel, "keep", {}, [&](const MethodResponse&) { ++replies; });
  DrainPlatformThread();
  engine_->Shutdown();
  ASSERT_EQ(replies.load(), 1);  // the shutdown's "no reply"

  ::testing::internal::CaptureStderr();
  {
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_NE(kept, nullptr);
    kept->Success(EncodableValue("too late"));
    kept.reset();
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(replies.load(), 1);
}

TEST_F(ChannelProtocolTest, ThrowingHandler_AnswersErrorWithTheExceptionText) {
  RegisterMethods([](const flutter::MethodCall<EncodableValue>&, Result) {
    throw std::runtime_error("boom");
  });
  ::testing::internal::CaptureStderr();
  MethodResponse response = Call("explode");
  ::testing::internal::GetCapturedStderr();

  ASSERT_EQ(response.kind, MethodResponse::Kind::kError) << response.Describe();
  EXPECT_EQ(response.errorCode, "error");
  EXPECT_EQ(response.errorMessage, "boom");
  // The platform thread survived it.
  EXPECT_EQ(Call("explode").errorMessage, "boom");
}

}  // namespace
}  // namespace corvane::embedder::testing
