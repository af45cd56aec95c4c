// Method-call and answer envelopes of the standard method codec.
#include <gtest/gtest.h>

#include "codec_test_support.h"
#include "host/standard_method_codec.h"

namespace {

using corvane_test::Bytes;
using corvane_test::Concat;
using corvane_test::Encode;
using corvane_test::RecordingResult;
using corvane_test::TextBytes;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::MethodCall;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

const char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader\n";
const char kNotAString[] = "Invalid method call; method name is not a string.\n";

TEST(StandardMethodCodecCalls, RealCall_DecodesNameAndArguments_IgnoringTrailingBytes) {
  const EncodableValue arguments(EncodableMap{{EncodableValue("id"), EncodableValue(int64_t{7})},
                                              {EncodableValue("value"), EncodableValue("asset://intro.mp4")}});
  const Bytes message = Concat({Encode(EncodableValue("open")), Encode(arguments), {0xde, 0xad}});
  const auto call = Codec().DecodeMethodCall(message);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "open");
  ASSERT_NE(call->arguments(), nullptr);
  EXPECT_EQ(*call->arguments(), arguments);
}

TEST(StandardMethodCodecCalls, CallWithoutArguments_IsEncodedWithNull) {
  const MethodCall<> call(std::string("create"), nullptr);
  EXPECT_EQ(*Codec().EncodeMethodCall(call), Concat({{7, 6}, TextBytes("create"), {0}}));
}

TEST(StandardMethodCodecCalls, UndecodableCalls_AreRefused_WithTheirDiagnostics) {
  struct BadCall {
    const char* name;
    Bytes message;
    std::string diagnostics;
  };
  const BadCall cases[] = {
      {"Empty", {}, std::string(kInvalidRead) + kNotAString},
      {"NameIsInteger", {3, 1, 0, 0, 0, 0}, kNotAString},
      {"NameIsNull", {0, 0}, kNotAString},
      // A truncated name is not a usable name.
      {"NameTruncated", {7, 5, 'o', 'p'}, std::string(kInvalidRead) + kNotAString},
  };
  for (const BadCall& bad : cases) {
    SCOPED_TRACE(bad.name);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Codec().DecodeMethodCall(bad.message.data(), bad.message.size()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), bad.diagnostics);
  }
}

TEST(StandardMethodCodecCalls, NameOnly_GivesNullArguments_ReportedIncomplete) {
  const Bytes message = Encode(EncodableValue("play"));
  testing::internal::CaptureStderr();
  const auto decoded = Codec().DecodeMethodCallChecked(message.data(), message.size());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  ASSERT_NE(decoded.call, nullptr);
  EXPECT_EQ(decoded.call->method_name(), "play");
  ASSERT_NE(decoded.call->arguments(), nullptr);
  EXPECT_TRUE(decoded.call->arguments()->IsNull());
  EXPECT_FALSE(decoded.argumentsComplete);
}

TEST(StandardMethodCodecCalls, TruncatedArguments_AreReplacedByNull_AndReportedIncomplete) {
  // A map whose second entry is cut short must not reach a handler half-read.
  Bytes message = Concat({Encode(EncodableValue("open")),
                          Encode(EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(1)},
                                                             {EncodableValue("value"), EncodableValue("abc")}}))});
  const Bytes whole = message;
  message.resize(message.size() - 2);
  testing::internal::CaptureStderr();
  const auto decoded = Codec().DecodeMethodCallChecked(message.data(), message.size());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  ASSERT_NE(decoded.call, nullptr);
  EXPECT_TRUE(decoded.call->arguments()->IsNull());
  EXPECT_FALSE(decoded.argumentsComplete);
  // Null arguments that Dart sent are complete.
  EXPECT_TRUE(Codec().DecodeMethodCallChecked(whole.data(), whole.size()).argumentsComplete);
}

TEST(StandardMethodCodecEnvelopes, SuccessAndError_HaveTheirExactBytes) {
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(), Bytes({0, 0}));
  const EncodableValue id(int64_t{3});
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(&id), Bytes({0, 4, 3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(*Codec().EncodeErrorEnvelope("error"), Concat({{1, 7, 5}, TextBytes("error"), {0, 0}}));
  const EncodableValue details(true);
  EXPECT_EQ(*Codec().EncodeErrorEnvelope("bad", "No active stream", &details),
            Concat({{1, 7, 3}, TextBytes("bad"), {7, 16}, TextBytes("No active stream"), {1}}));
}

TEST(StandardMethodCodecEnvelopes, CustomValueInsideAnEvent_IsReportedOnce_AndWrittenAsNull) {
  const EncodableValue event(EncodableMap{{EncodableValue("event"), EncodableValue("x")},
                                          {EncodableValue("payload"), flutter::CustomEncodableValue(3)}});
  testing::internal::CaptureStderr();
  const auto envelope = Codec().EncodeSuccessEnvelope(&event);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require codec extensions.\n");
  EXPECT_EQ(*envelope, Concat({{0, 13, 2, 7, 5}, TextBytes("event"), {7, 1, 'x', 7, 7}, TextBytes("payload"), {0}}));
}

TEST(StandardMethodCodecResponses, WellFormedEnvelopes_ReachTheResult) {
  const EncodableValue payload(EncodableMap{{EncodableValue("textureId"), EncodableValue(int64_t{12})}});
  using Kind = RecordingResult::Kind;
  struct Envelope {
    const char* name;
    std::unique_ptr<std::vector<uint8_t>> bytes;
    Kind kind;
    std::optional<EncodableValue> value;
    const char* code;
    const char* message;
  };
  Envelope cases[] = {
      {"SuccessWithValue", Codec().EncodeSuccessEnvelope(&payload), Kind::kSuccess, payload, "", ""},
      {"SuccessWithoutValue", Codec().EncodeSuccessEnvelope(), Kind::kSuccess, std::nullopt, "", ""},
      {"ErrorWithDetails", Codec().EncodeErrorEnvelope("error", "", &payload), Kind::kError, payload, "error", ""},
      {"ErrorWithoutDetails", Codec().EncodeErrorEnvelope("failed", "No OnListen handler set"), Kind::kError,
       std::nullopt, "failed", "No OnListen handler set"},
  };
  for (const Envelope& envelope : cases) {
    SCOPED_TRACE(envelope.name);
    RecordingResult result;
    EXPECT_TRUE(Codec().DecodeResponseEnvelope(envelope.bytes->data(), envelope.bytes->size(), &result));
    EXPECT_EQ(result.kind, envelope.kind);
    EXPECT_EQ(result.value, envelope.value);
    EXPECT_EQ(result.code, envelope.code);
    EXPECT_EQ(result.message, envelope.message);
  }
}

TEST(StandardMethodCodecResponses, MalformedEnvelopes_AreRejected_WithoutTouchingTheResult) {
  struct Malformed {
    const char* name;
    Bytes envelope;
  };
  const Malformed cases[] = {
      {"Empty", {}},
      {"UnknownKind", {2, 0}},
      {"SuccessWithoutValue", {0}},
      {"SuccessTruncated", {0, 3, 1}},
      {"ErrorCodeNotString", {1, 3, 1, 0, 0, 0, 0, 0}},
      {"ErrorCodeNull", {1, 0, 0, 0}},
      {"ErrorMessageInteger", Concat({{1, 7, 1, 'e', 3, 1, 0, 0, 0, 0}})},
      {"ErrorMessageList", Concat({{1, 7, 1, 'e', 12, 0, 0}})},
      {"ErrorMissingDetails", Concat({{1, 7, 1, 'e', 0}})},
  };
  for (const Malformed& malformed : cases) {
    SCOPED_TRACE(malformed.name);
    RecordingResult result;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Codec().DecodeResponseEnvelope(malformed.envelope.data(), malformed.envelope.size(), &result));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(result.answers, 0);
  }
}

}  // namespace
