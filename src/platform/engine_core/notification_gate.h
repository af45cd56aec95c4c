// Who hears an engine's notifications, and when.
//
// Every engine owes its handlers the same promises, whatever raises its
// events underneath:
//  - a notification belongs to one source; once the player's source is
//    replaced, none of the earlier source's is raised any more;
//  - none is raised once the player is closed (a raise already running
//    finishes; AwaitRaisesEnded waits for it, boundedly, where a caller
//    must);
//  - handlers run outside every lock of the engine, so they may call back
//    in; a handler calling Close or replacing the source is never made to
//    wait for itself.
// Raises happen on the engine's own threads; the gate does not move them
// there (the engine thread does).
//
// Threads: any. Handler lists are copied on subscribe, so a raise takes a
// reference under the lock and allocates nothing.
#ifndef CORVANE_PLATFORM_ENGINE_CORE_NOTIFICATION_GATE_H_
#define CORVANE_PLATFORM_ENGINE_CORE_NOTIFICATION_GATE_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media_engine.h"

namespace corvane::platform {

// The notifications without arguments that every engine raises through its
// gate, numbered for it (failures go through RaiseFailed).
enum class PlayerEvent : size_t {
  NaturalVideoSizeChanged,
  PositionChanged,
  SeekCompleted,
  BufferingStarted,
  BufferingEnded,
  BufferedRangesChanged,
  MediaOpened,
  MediaEnded,
  VideoFrameAvailable,
  SubtitleFrameChanged,
  kCount,
};

class NotificationGate {
 public:
  using Handler = std::function<hresult()>;
  using Clock = std::chrono::steady_clock;

  // Events are numbered 0 .. eventCount-1 by the engine.
  explicit NotificationGate(size_t eventCount);
  NotificationGate(const NotificationGate&) = delete;
  NotificationGate& operator=(const NotificationGate&) = delete;

  // Subscriptions last for the player's life.
  void Subscribe(size_t event, Handler handler);
  void SubscribeFailed(FailedHandler handler);

  // A new source: from now on only notifications of the number returned
  // are raised. Does not wait; see AwaitRaisesEnded.
  SourceNumber Advance();
  SourceNumber Current() const;

  // No notification is raised from now on. False when it already was closed.
  bool Close();
  bool IsClosed() const;
  // Whether a notification of `source` would be raised now: the gate is
  // open and `source` is current.
  bool Accepts(SourceNumber source) const;

  // Waits at most `limit` until no raise of a source before the current one
  // (or, once closed, of any source) is running, except on a thread that
  // is itself raising: a handler that closes the player or replaces its
  // source does not wait for itself. False when it gave up.
  bool AwaitRaisesEnded(Clock::duration limit);

  // Engine threads, outside every lock: runs the event's handlers when
  // `source` is current and the gate open. A handler that fails or raises
  // is logged; the others still run.
  void Raise(size_t event, SourceNumber source);
  void RaiseFailed(const MediaPlayerFailedEventArgs& args, SourceNumber source);

 private:
  // When `source` may be raised, runs each of `handlers` (read under the
  // lock) through `call`, marking the raise as running on this thread
  // meanwhile.
  template <typename List, typename Call>
  void RunRaise(const std::shared_ptr<const List>& handlers, SourceNumber source, Call call);
  void EndRaise();
  bool StaleRaiseRunningLocked() const;

  mutable std::mutex mutex_;
  std::condition_variable raiseEnded_;
  // Guarded by mutex_.
  std::vector<std::shared_ptr<const std::vector<Handler>>> handlers_;
  std::shared_ptr<const std::vector<FailedHandler>> failedHandlers_;
  SourceNumber current_ = 0;
  bool closed_ = false;
  struct RunningRaise {
    std::thread::id thread;
    SourceNumber source;
  };
  std::vector<RunningRaise> running_;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_ENGINE_CORE_NOTIFICATION_GATE_H_
