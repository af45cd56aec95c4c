// Shared set-up of the channel tests: a messenger over the fake embedding
// and helpers to build calls and read answers.
#ifndef CORVANE_TESTS_HOST_CHANNEL_TEST_SUPPORT_H_
#define CORVANE_TESTS_HOST_CHANNEL_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec_test_support.h"
#include "fake_embedding.h"
#include "host/binary_messenger_impl.h"
#include "host/standard_method_codec.h"

namespace corvane_test {

class ChannelTest : public testing::Test {
 protected:
  void SetUp() override { fake_embedding::Reset(); }
  void TearDown() override { fake_embedding::Reset(); }

  static const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

  static Bytes Call(const std::string& method, const flutter::EncodableValue* arguments = nullptr) {
    flutter::MethodCall<> call(method, arguments ? std::make_unique<flutter::EncodableValue>(*arguments) : nullptr);
    return *Codec().EncodeMethodCall(call);
  }

  // Decodes an answer the fake recorded into a RecordingResult.
  static RecordedAnswer Answer(const fake_embedding::Payload& payload) {
    RecordingResult result;
    EXPECT_TRUE(payload.has_value()) << "expected an envelope, got the empty answer";
    if (payload) {
      EXPECT_TRUE(Codec().DecodeResponseEnvelope(payload->data(), payload->size(), &result));
    }
    return static_cast<const RecordedAnswer&>(result);
  }

  // The single answer to `handle`.
  static fake_embedding::Payload OnlyAnswer(const FlutterDesktopMessageResponseHandle* handle) {
    const auto answers = fake_embedding::ResponsesTo(handle);
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? fake_embedding::Payload() : answers.front();
  }

  flutter::BinaryMessengerImpl messenger_{fake_embedding::Messenger()};
};

}  // namespace corvane_test

#endif  // CORVANE_TESTS_HOST_CHANNEL_TEST_SUPPORT_H_
