// BinaryMessenger over the embedding's messenger.
#ifndef CORVANE_HOST_BINARY_MESSENGER_IMPL_H_
#define CORVANE_HOST_BINARY_MESSENGER_IMPL_H_

#include <map>
#include <memory>
#include <string>

#include "host/binary_messenger.h"
#include "host/flutter_desktop.h"

namespace flutter {

// Owned by the plugin registrar. Platform thread only, except the replies it
// hands out, which take the embedding's messenger lock and may run anywhere.
//
// A handler that throws does not unwind into the embedding: the exception is
// written to standard error and, if the message is still unanswered, it gets
// the empty answer so that the Dart side is not left waiting.
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef coreMessenger);
  ~BinaryMessengerImpl() override;

  void Send(const std::string& channel, const uint8_t* message, size_t messageSize,
            BinaryReply reply = nullptr) const override;
  void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;  // not owned
  // Channel name to installed handler. The embedding holds the address of
  // each entry's shared_ptr as user data, so entries are updated in place;
  // the shared_ptr lets a message in progress keep its handler alive when
  // the handler replaces or removes itself.
  std::map<std::string, std::shared_ptr<BinaryMessageHandler>> handlers_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_BINARY_MESSENGER_IMPL_H_
