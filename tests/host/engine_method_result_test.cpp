// The once-only answer: envelopes sent through the reply, duplicate answers
// refused, unanswered results reported.
#include <gtest/gtest.h>

#include <optional>

#include "codec_test_support.h"
#include "host/engine_method_result.h"
#include "host/standard_method_codec.h"

namespace {

using corvane_test::Bytes;
using flutter::EncodableValue;
using flutter::EngineMethodResult;

const char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called exactly once. "
    "Ignoring duplicate result.\n";
const char kLeak[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

struct ReplyLog {
  int calls = 0;
  std::optional<Bytes> last;  // nullopt: the null pointer

  flutter::BinaryReply Reply() {
    return [this](const uint8_t* data, size_t size) {
      ++calls;
      last = data ? std::optional<Bytes>(Bytes(data, data + size)) : std::nullopt;
      if (data == nullptr) {
        EXPECT_EQ(size, 0u);
      }
    };
  }
};

const flutter::StandardMethodCodec* Codec() { return &flutter::StandardMethodCodec::GetInstance(); }

TEST(EngineMethodResult, EachAnswer_SendsItsEnvelope) {
  const EncodableValue details("why");
  {
    ReplyLog log;
    EngineMethodResult<> result(log.Reply(), Codec());
    const EncodableValue five(int64_t{5});
    result.Success(five);
    EXPECT_EQ(log.last, *Codec()->EncodeSuccessEnvelope(&five));
  }
  {
    ReplyLog log;
    EngineMethodResult<> result(log.Reply(), Codec());
    result.Error("failed", "it broke", details);
    EXPECT_EQ(log.last, *Codec()->EncodeErrorEnvelope("failed", "it broke", &details));
  }
  {
    ReplyLog log;
    EngineMethodResult<> result(log.Reply(), Codec());
    result.NotImplemented();
    EXPECT_EQ(log.calls, 1);
    EXPECT_EQ(log.last, std::nullopt);
  }
}

TEST(EngineMethodResult, SecondAnswer_IsRefusedWithOneDiagnostic) {
  ReplyLog log;
  testing::internal::CaptureStderr();
  {
    EngineMethodResult<> result(log.Reply(), Codec());
    result.Success();
    result.Error("error", "late");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResult);
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(log.last, Bytes({0, 0}));
}

TEST(EngineMethodResult, DroppedUnanswered_WarnsAndNeverCallsTheReply) {
  ReplyLog log;
  testing::internal::CaptureStderr();
  { EngineMethodResult<> result(log.Reply(), Codec()); }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kLeak);
  EXPECT_EQ(log.calls, 0);
}

TEST(PendingReply, SharedWithItsCreator_WarnsOnlyWhenTheLastHolderDropsItUnanswered) {
  ReplyLog log;
  auto pending = std::make_shared<flutter::PendingReply>(log.Reply());
  testing::internal::CaptureStderr();
  { EngineMethodResult<> result(pending, Codec()); }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(pending->SendIfPending(nullptr));
  EXPECT_FALSE(pending->SendIfPending(nullptr));
  EXPECT_EQ(log.calls, 1);
  testing::internal::CaptureStderr();
  pending.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
