#include "host/pending_reply.h"

#include <utility>

#include "host/diagnostics.h"

namespace flutter {

PendingReply::PendingReply(BinaryReply reply) : reply_(std::move(reply)) {}

PendingReply::~PendingReply() {
  if (reply_) internal::WriteDiagnosticLine("Warning: Failed to respond to a message. This is a memory leak.");
}

void PendingReply::Send(const std::vector<uint8_t>* envelope) {
  if (!SendIfPending(envelope)) {
    internal::WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
  }
}

bool PendingReply::SendIfPending(const std::vector<uint8_t>* envelope) {
  BinaryReply reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!reply_) return false;
    reply = std::move(reply_);
    reply_ = nullptr;
  }
  // Called outside our lock: the reply takes the embedding's messenger lock.
  if (envelope == nullptr || envelope->empty()) {
    reply(nullptr, 0);
  } else {
    reply(envelope->data(), envelope->size());
  }
  return true;
}

bool PendingReply::IsPending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<bool>(reply_);
}

}  // namespace flutter
