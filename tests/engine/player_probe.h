// Test helper: a real GStreamer player with every notification recorded.
//
// Records each notification's name, the thread it ran on, and what the
// player reported at that moment, and lets a test wait (boundedly) for a
// condition over the record. Handlers can be given extra work to do inside
// the notification (call back into the player, close it...).
#ifndef CORVANE_TESTS_ENGINE_PLAYER_PROBE_H_
#define CORVANE_TESTS_ENGINE_PLAYER_PROBE_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/gst/gst_engine_options.h"
#include "platform/media_engine.h"

namespace corvane::testing {

using platform::MediaPlayer;
using platform::MediaPlayerError;
using platform::TimeSpan;

// The audio output tests use unless they choose another: a fakesink
// synchronised to the clock.
inline constexpr const char* kSilentAudio = "fakesink sync=true";
void UseSilentAudio();

// file:// URI of a local path.
std::string FileUri(const std::string& path);

// An element GStreamer lacks, or "" when all are there.
std::string MissingElement(const std::vector<const char*>& factories);

// The elements every clip of the test media needs (containers, H.264).
std::string MissingPlaybackElement();

// Skips the test, naming the element, when playback elements are missing.
#define CORVANE_REQUIRE_PLAYBACK_ELEMENTS()                                                    \
  if (const std::string missingElement = ::corvane::testing::MissingPlaybackElement();       \
      !missingElement.empty()) {                                                               \
    GTEST_SKIP() << "GStreamer element missing: " << missingElement;                          \
  }

struct RecordedEvent {
  std::string name;
  std::thread::id thread;
  uint64_t sourceNumber = 0;  // which Open() the player's source was when raised
};

class PlayerProbe {
 public:
  // `audioSink` becomes CORVANE_AUDIO_SINK for this player.
  explicit PlayerProbe(const platform::gst::EngineOptions& options = {}, const char* audioSink = kSilentAudio);
  ~PlayerProbe();

  MediaPlayer& Player() { return *player_; }
  std::shared_ptr<MediaPlayer> SharedPlayer() { return player_; }
  platform::MediaPlaybackSession& Session() { return *player_->PlaybackSession(); }

  // Sets a new item for `uri`.
  void Open(const std::string& uri);

  // Work run inside a notification, before it is recorded.
  void OnEvent(const std::string& name, std::function<void()> action);

  bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  bool WaitForEvent(const std::string& name, int count = 1,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10));
  int Count(const std::string& name) const;
  std::vector<RecordedEvent> Events() const;
  std::vector<std::string> Names() const;
  MediaPlayerError LastError() const;
  void Clear();

 private:
  void Record(const std::string& name);

  // Shared with every handler, which runs only while the probe lives. A
  // recursive lock: an action inside a handler may raise another handler
  // on the same thread.
  struct Life {
    std::recursive_mutex mutex;
    bool alive = true;
  };
  const std::shared_ptr<Life> life_ = std::make_shared<Life>();
  std::shared_ptr<platform::MediaEngine> engine_;
  std::shared_ptr<MediaPlayer> player_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<RecordedEvent> events_;
  std::map<std::string, std::vector<std::function<void()>>> actions_;
  MediaPlayerError lastError_ = MediaPlayerError::Unknown;
  uint64_t openSerial_ = 0;
  std::map<const platform::MediaPlaybackItem*, uint64_t> itemSerials_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_ENGINE_PLAYER_PROBE_H_
