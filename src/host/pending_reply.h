// The not-yet-sent answer to one incoming method call.
#ifndef CORVANE_HOST_PENDING_REPLY_H_
#define CORVANE_HOST_PENDING_REPLY_H_

#include <cstdint>
#include <mutex>
#include <vector>

#include "host/binary_messenger.h"

namespace flutter {

// Holds one BinaryReply and lets it be used once. Thread-safe: the result
// that owns it may be answered on any thread while the channel that made it
// still holds a reference.
class PendingReply {
 public:
  explicit PendingReply(BinaryReply reply);
  // Warns about a message that was never answered; the reply is dropped
  // without being called.
  ~PendingReply();
  PendingReply(const PendingReply&) = delete;
  PendingReply& operator=(const PendingReply&) = delete;

  // Sends `envelope`; null or empty sends the not-implemented answer. A
  // second answer writes the duplicate-result error and sends nothing.
  void Send(const std::vector<uint8_t>* envelope);
  // Sends `envelope` if nothing was sent yet; returns whether it did.
  bool SendIfPending(const std::vector<uint8_t>* envelope);
  bool IsPending() const;

 private:
  mutable std::mutex mutex_;
  BinaryReply reply_;  // emptied when used; guarded by mutex_
};

}  // namespace flutter

#endif  // CORVANE_HOST_PENDING_REPLY_H_
