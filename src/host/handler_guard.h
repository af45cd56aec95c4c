// Keeps exceptions thrown by channel handlers from reaching the embedding,
// whose message callback is C.
#ifndef CORVANE_HOST_HANDLER_GUARD_H_
#define CORVANE_HOST_HANDLER_GUARD_H_

#include <exception>
#include <string>

#include "host/diagnostics.h"
#include "host/method_codec.h"
#include "host/pending_reply.h"

namespace flutter::internal {

// Runs `body`. If it throws, the exception is written to standard error and
// an unanswered message gets an error answer: code "error", the exception's
// text as message.
template <typename T, typename Body>
void RunHandlerGuarded(const std::string& channel, const MethodCodec<T>& codec, PendingReply& reply,
                       Body&& body) {
  std::string what;
  try {
    body();
    return;
  } catch (const std::exception& error) {
    what = error.what();
  } catch (...) {
    what = "unknown exception";
  }
  WriteDiagnosticLine("Exception from the handler on channel " + channel + ": " + what);
  try {
    reply.SendIfPending(codec.EncodeErrorEnvelope("error", what).get());
  } catch (...) {
    // Out of memory while encoding: fall back to the empty answer.
    reply.SendIfPending(nullptr);
  }
}

}  // namespace flutter::internal

#endif  // CORVANE_HOST_HANDLER_GUARD_H_
