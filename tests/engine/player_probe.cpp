#include "engine/player_probe.h"

#include <gst/gst.h>

#include <cstdlib>

#include "platform/gst/gst_handles.h"

namespace corvane::testing {

void UseSilentAudio() { ::setenv("CORVANE_AUDIO_SINK", kSilentAudio, 1); }

std::string FileUri(const std::string& path) {
  platform::GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));  // Adopt
  if (!uri) {
    const platform::GCharPtr absolute(g_canonicalize_filename(path.c_str(), nullptr));  // Adopt
    uri.reset(g_filename_to_uri(absolute.get(), nullptr, nullptr));                    // Adopt
  }
  return uri ? uri.get() : "";
}

std::string MissingElement(const std::vector<const char*>& factories) {
  gst_init(nullptr, nullptr);
  for (const char* name : factories) {
    if (!platform::AdoptObject(gst_element_factory_find(name))) return name;
  }
  return "";
}

std::string MissingPlaybackElement() {
  return MissingElement({"playbin", "qtdemux", "matroskademux", "h264parse", "avdec_h264", "appsink", "videoconvert"});
}

PlayerProbe::PlayerProbe(const platform::gst::EngineOptions& options, const char* audioSink) {
  ::setenv("CORVANE_AUDIO_SINK", audioSink, 1);
  engine_ = platform::gst::CreateGstMediaEngine(options);
  player_ = engine_->CreateMediaPlayer();
  player_->IsVideoFrameServerEnabled(true);
  auto session = player_->PlaybackSession();
  const auto sessionHandler = [this](const char* name) {
    return [this, name, life = life_](const std::shared_ptr<platform::MediaPlaybackSession>&) {
      std::lock_guard<std::recursive_mutex> alive(life->mutex);
      if (life->alive) Record(name);
      return platform::kOk;
    };
  };
  session->NaturalVideoSizeChanged(sessionHandler("NaturalVideoSizeChanged"));
  session->PositionChanged(sessionHandler("PositionChanged"));
  session->SeekCompleted(sessionHandler("SeekCompleted"));
  session->BufferingStarted(sessionHandler("BufferingStarted"));
  session->BufferingEnded(sessionHandler("BufferingEnded"));
  session->BufferedRangesChanged(sessionHandler("BufferedRangesChanged"));
  const auto playerHandler = [this](const char* name) {
    return [this, name, life = life_] {
      std::lock_guard<std::recursive_mutex> alive(life->mutex);
      if (life->alive) Record(name);
      return platform::kOk;
    };
  };
  player_->MediaOpened(playerHandler("MediaOpened"));
  player_->MediaEnded(playerHandler("MediaEnded"));
  player_->VideoFrameAvailable(playerHandler("VideoFrameAvailable"));
  player_->SubtitleFrameChanged(playerHandler("SubtitleFrameChanged"));
  player_->MediaFailed([this, life = life_](const platform::MediaPlayerFailedEventArgs& args) {
    std::lock_guard<std::recursive_mutex> alive(life->mutex);
    if (!life->alive) return platform::kOk;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lastError_ = args.Error();
    }
    Record("MediaFailed");
    return platform::kOk;
  });
}

PlayerProbe::~PlayerProbe() {
  // Closing does not wait for a handler already running on the engine's
  // thread; the life lock does, and no handler starts after it.
  if (player_) player_->Close();
  std::lock_guard<std::recursive_mutex> alive(life_->mutex);
  life_->alive = false;
}

void PlayerProbe::Open(const std::string& uri) {
  auto item = std::make_shared<platform::MediaPlaybackItem>(platform::MediaSource::CreateFromUri(uri));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    itemSerials_[item.get()] = ++openSerial_;
  }
  player_->Source(item);
}

void PlayerProbe::OnEvent(const std::string& name, std::function<void()> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  actions_[name].push_back(std::move(action));
}

void PlayerProbe::Record(const std::string& name) {
  std::vector<std::function<void()>> actions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = actions_.find(name);
    if (found != actions_.end()) actions = found->second;
  }
  for (auto& action : actions) action();
  RecordedEvent event;
  event.name = name;
  event.thread = std::this_thread::get_id();
  auto item = player_ ? player_->Source() : nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto serial = itemSerials_.find(item.get());
    event.sourceNumber = serial == itemSerials_.end() ? 0 : serial->second;
    events_.push_back(std::move(event));
  }
  changed_.notify_all();
}

bool PlayerProbe::WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    lock.unlock();
    const bool met = condition();
    lock.lock();
    if (met) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Conditions may depend on the player's state, not only on events.
    changed_.wait_for(lock, std::chrono::milliseconds(20));
  }
}

bool PlayerProbe::WaitForEvent(const std::string& name, int count, std::chrono::milliseconds timeout) {
  return WaitFor([&] { return Count(name) >= count; }, timeout);
}

int PlayerProbe::Count(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const auto& event : events_) count += event.name == name ? 1 : 0;
  return count;
}

std::vector<RecordedEvent> PlayerProbe::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<std::string> PlayerProbe::Names() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names;
  for (const auto& event : events_) names.push_back(event.name);
  return names;
}

MediaPlayerError PlayerProbe::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

void PlayerProbe::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

}  // namespace corvane::testing
