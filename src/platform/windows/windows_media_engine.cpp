#include "platform/windows/windows_media_engine.h"

#include <utility>

#include "platform/windows/media/windows_media_player.h"

namespace corvane::platform::windows {
namespace {

class WindowsMediaEngine final : public MediaEngine {
 public:
  explicit WindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation)
      : activation_(std::move(activation)) {}

  // Platform thread ("create").
  std::shared_ptr<MediaPlayer> CreateMediaPlayer() override { return CreateWindowsMediaPlayer(activation_); }

 private:
  const std::shared_ptr<winrt::RuntimeActivation> activation_;
};

}  // namespace

std::shared_ptr<MediaEngine> CreateWindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation) {
  return std::make_shared<WindowsMediaEngine>(activation ? std::move(activation) : winrt::SystemRuntimeActivation());
}

}  // namespace corvane::platform::windows
