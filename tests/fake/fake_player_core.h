// The state one fake player shares with its session, command manager and
// track lists, and the rules by which it records calls and raises
// notifications.
//
// Threads: everything here is guarded by `mutex`, which is never held while
// a handler runs; tests, the player's users and the engine thread all come
// through it.
#ifndef CORVANE_TESTS_FAKE_FAKE_PLAYER_CORE_H_
#define CORVANE_TESTS_FAKE_FAKE_PLAYER_CORE_H_

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake/fake_event_dispatcher.h"
#include "fake/fake_media_engine.h"

namespace corvane::testing {

struct FakePlayerCore : std::enable_shared_from_this<FakePlayerCore> {
  FakePlayerCore(std::shared_ptr<FakeEventDispatcher> dispatcher, const FakeScript& script);

  // Runs the test's hook, then applies a scripted failure of `name`
  // (raising it) and records the call when `record`. A failing command is
  // recorded too: the attempt happened.
  void Enter(const std::string& name, const std::string& argument, bool record);

  // Queues a notification for the source of `sourceGeneration`; dropped at
  // delivery if the source changed or the player closed meanwhile.
  bool Queue(const std::string& notification, const platform::MediaPlayerFailedEventArgs& failure,
             uint64_t sourceGeneration);
  // Opens the current source as the script's media (see CompleteOpen).
  bool CompleteOpen(std::optional<uint64_t> onlyForGeneration);

  const std::shared_ptr<FakeEventDispatcher> dispatcher;

  mutable std::mutex mutex;
  mutable std::condition_variable callsChanged;

  FakeScript script;
  std::map<std::string, platform::hresult> failures;
  std::function<void(const std::string&)> enterHook;
  std::vector<FakeCall> calls;

  std::map<std::string, std::vector<platform::PlayerHandler>> playerHandlers;
  std::vector<platform::FailedHandler> failedHandlers;
  std::map<std::string, std::vector<platform::SessionHandler>> sessionHandlers;
  // The sender of session notifications; owned by the player.
  std::weak_ptr<platform::MediaPlaybackSession> session;

  std::shared_ptr<platform::MediaPlaybackItem> item;
  uint64_t generation = 0;  // bumped by every Source set
  bool closed = false;
  bool realTime = false;
  bool frameServer = false;
  bool commandsEnabled = true;
  double volume = 1.0;
  double rate = 1.0;
  platform::TimeSpan position{0};
  platform::TimeSpan duration{0};
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<platform::MediaTimeRange> buffered;

 private:
  void Deliver(const std::string& notification, const platform::MediaPlayerFailedEventArgs& failure,
               uint64_t sourceGeneration);
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_FAKE_FAKE_PLAYER_CORE_H_
