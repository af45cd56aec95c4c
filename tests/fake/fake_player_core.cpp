#include "fake/fake_player_core.h"

#include <set>

#include "fake/fake_track_lists.h"

namespace corvane::testing {
namespace {

const std::set<std::string>& PlayerNotifications() {
  static const std::set<std::string> names = {kMediaOpened, kMediaEnded, kVideoFrameAvailable,
                                              kSubtitleFrameChanged};
  return names;
}

const std::set<std::string>& SessionNotifications() {
  static const std::set<std::string> names = {kNaturalVideoSizeChanged, kPositionChanged, kSeekCompleted,
                                              kBufferingStarted,        kBufferingEnded,  kBufferedRangesChanged};
  return names;
}

// A handler that throws breaks the engine's contract; the engine thread
// carries on, as the real engines' threads do.
template <typename Call>
void Invoke(Call&& call) {
  try {
    call();
  } catch (...) {
  }
}

}  // namespace

void EnterThroughCore(const std::weak_ptr<FakePlayerCore>& weakCore, const std::string& name,
                      const std::string& argument, bool record) {
  auto core = weakCore.lock();
  if (!core) throw platform::hresult_error(platform::kObjectClosed, "the player is gone");
  core->Enter(name, argument, record);
}

FakePlayerCore::FakePlayerCore(std::shared_ptr<FakeEventDispatcher> eventDispatcher, const FakeScript& initial)
    : dispatcher(std::move(eventDispatcher)), script(initial) {}

void FakePlayerCore::Enter(const std::string& name, const std::string& argument, bool record) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(mutex);
    hook = enterHook;
  }
  // Outside the lock: a hook may hold this thread while others go on.
  if (hook) hook(name);
  std::lock_guard<std::mutex> lock(mutex);
  if (record) {
    calls.push_back(FakeCall{name, argument});
    callsChanged.notify_all();
  }
  if (auto failure = failures.find(name); failure != failures.end()) {
    throw platform::hresult_error(failure->second, "scripted failure of " + name);
  }
}

bool FakePlayerCore::Queue(const std::string& notification, const platform::MediaPlayerFailedEventArgs& failure,
                           uint64_t sourceGeneration) {
  if (notification != kMediaFailed && !PlayerNotifications().count(notification) &&
      !SessionNotifications().count(notification)) {
    return false;
  }
  dispatcher->Post(this, [weak = weak_from_this(), notification, failure, sourceGeneration] {
    if (auto core = weak.lock()) core->Deliver(notification, failure, sourceGeneration);
  });
  return true;
}

void FakePlayerCore::Deliver(const std::string& notification, const platform::MediaPlayerFailedEventArgs& failure,
                             uint64_t sourceGeneration) {
  std::vector<platform::PlayerHandler> player;
  std::vector<platform::FailedHandler> failed;
  std::vector<platform::SessionHandler> sessionOnes;
  std::shared_ptr<platform::MediaPlaybackSession> sender;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (closed || sourceGeneration != generation) return;
    if (notification == kMediaFailed) {
      failed = failedHandlers;
    } else if (PlayerNotifications().count(notification)) {
      player = playerHandlers[notification];
    } else {
      sessionOnes = sessionHandlers[notification];
      sender = session.lock();
    }
  }
  for (const auto& handler : player) Invoke([&] { return handler(); });
  for (const auto& handler : failed) Invoke([&] { return handler(failure); });
  for (const auto& handler : sessionOnes) Invoke([&] { return handler(sender); });
}

bool FakePlayerCore::CompleteOpen(std::optional<uint64_t> onlyForGeneration) {
  std::shared_ptr<platform::MediaPlaybackItem> openedItem;
  FakeMedia media;
  uint64_t openedGeneration = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (closed || !item) return false;
    if (onlyForGeneration && *onlyForGeneration != generation) return false;
    openedItem = item;
    media = script.media;
    openedGeneration = generation;
    duration = media.duration;
    width = media.naturalWidth;
    height = media.naturalHeight;
    buffered = media.bufferedRanges;
  }
  // The lists are attached before MediaOpened is raised, as the engines do.
  openedItem->AttachTracks(
      std::make_shared<FakeTrackList<platform::AudioTrack>>(weak_from_this(), "AudioTracks", media.audioTracks,
                                                            media.selectedAudio),
      std::make_shared<FakeTrackList<platform::VideoTrack>>(weak_from_this(), "VideoTracks", media.videoTracks,
                                                            media.selectedVideo),
      std::make_shared<FakeTimedMetadataTrackList>(weak_from_this(), media.textTracks));
  Queue(kMediaOpened, {}, openedGeneration);
  if (media.naturalWidth != 0 && media.naturalHeight != 0) Queue(kNaturalVideoSizeChanged, {}, openedGeneration);
  return true;
}

}  // namespace corvane::testing
