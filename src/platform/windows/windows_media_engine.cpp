#include "platform/windows/windows_media_engine.h"

#include <roapi.h>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/hstring.h"
#include "platform/windows/winrt_media_abi.h"

namespace corvane::platform::windows {
namespace {

class WindowsMediaEngine final : public MediaEngine {
 public:
  // Platform thread ("create").
  std::shared_ptr<MediaPlayer> CreateMediaPlayer() override {
    const winrt::HString name = winrt::CopyHString(winrt::kRuntimeClassMediaPlayer);
    winrt::ComRef<IInspectable> instance;
    const HRESULT code = RoActivateInstance(name.get(), instance.Receive());
    if (FAILED(code)) throw hresult_error(code, "Windows.Media.Playback.MediaPlayer cannot be activated");
    throw hresult_error(kNotImplemented, "the Windows media engine adapter is not built yet");
  }
};

}  // namespace

std::shared_ptr<MediaEngine> CreateWindowsMediaEngine() { return std::make_shared<WindowsMediaEngine>(); }

}  // namespace corvane::platform::windows
