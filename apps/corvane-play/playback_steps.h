// The steps both modes share: starting the players as an app would, and
// reacting to what they report.
#ifndef CORVANE_APPS_PLAY_PLAYBACK_STEPS_H_
#define CORVANE_APPS_PLAY_PLAYBACK_STEPS_H_

#include <string>

#include "options.h"
#include "plugin_session.h"
#include "player_view.h"

namespace corvane::play {

// Creates `options.players` players, each listened to, set up and opening
// the source. False, with `error` set, at the first refusal.
bool StartPlayers(PluginSession& session, const Options& options, std::string* error);

// Updates the player from one of its stream messages and sends what
// follows from it ("mediaInfo": the limits and "play"). A stream error or
// its end counts as a failure of the player.
EventKind HandleEvent(PluginSession& session, const Options& options, size_t playerIndex,
                      const embedder::StreamEvent& event);

// A sentence for an "error" event's name, for people.
std::string ExplainPlayerError(const std::string& name);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_PLAYBACK_STEPS_H_
