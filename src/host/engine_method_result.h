// The MethodResult handed to a method-call handler: it answers the engine
// through the message's reply.
#ifndef CORVANE_HOST_ENGINE_METHOD_RESULT_H_
#define CORVANE_HOST_ENGINE_METHOD_RESULT_H_

#include <memory>
#include <string>
#include <utility>

#include "host/binary_messenger.h"
#include "host/method_codec.h"
#include "host/method_result.h"
#include "host/pending_reply.h"

namespace flutter {

template <typename T = EncodableValue>
class EngineMethodResult : public MethodResult<T> {
 public:
  // `codec` is not owned and must outlive the result.
  EngineMethodResult(BinaryReply reply, const MethodCodec<T>* codec)
      : EngineMethodResult(std::make_shared<PendingReply>(std::move(reply)), codec) {}
  // Shares the pending reply with its creator, which can then still answer
  // when the handler fails by throwing.
  EngineMethodResult(std::shared_ptr<PendingReply> reply, const MethodCodec<T>* codec)
      : reply_(std::move(reply)), codec_(codec) {}

 protected:
  void SuccessInternal(const T* result) override { reply_->Send(codec_->EncodeSuccessEnvelope(result).get()); }
  void ErrorInternal(const std::string& errorCode, const std::string& errorMessage, const T* errorDetails) override {
    reply_->Send(codec_->EncodeErrorEnvelope(errorCode, errorMessage, errorDetails).get());
  }
  void NotImplementedInternal() override { reply_->Send(nullptr); }

 private:
  std::shared_ptr<PendingReply> reply_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_ENGINE_METHOD_RESULT_H_
