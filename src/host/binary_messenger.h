// Raw byte messaging with the Dart side on named channels.
#ifndef CORVANE_HOST_BINARY_MESSENGER_H_
#define CORVANE_HOST_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Answers one message. Called with a null pointer and length 0 it sends the
// empty (not-implemented) answer. May be called on any thread.
using BinaryReply = std::function<void(const uint8_t* reply, size_t replySize)>;

// Handles one incoming message on the platform thread. The bytes are valid
// only during the call; `reply` may be kept and called later.
using BinaryMessageHandler = std::function<void(const uint8_t* message, size_t messageSize, BinaryReply reply)>;

class BinaryMessenger {
 public:
  BinaryMessenger() = default;
  virtual ~BinaryMessenger() = default;
  BinaryMessenger(const BinaryMessenger&) = delete;
  BinaryMessenger& operator=(const BinaryMessenger&) = delete;

  // Sends a message; `reply`, when not empty, receives the answer. Platform
  // thread only.
  virtual void Send(const std::string& channel, const uint8_t* message, size_t messageSize,
                    BinaryReply reply = nullptr) const = 0;

  // Installs `handler` for `channel`, replacing any earlier one; an empty
  // handler removes it. Platform thread only.
  virtual void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // CORVANE_HOST_BINARY_MESSENGER_H_
