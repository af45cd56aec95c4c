// Which key does what in the window.
#ifndef CORVANE_APPS_PLAY_KEY_MAP_H_
#define CORVANE_APPS_PLAY_KEY_MAP_H_

#include <cstdint>
#include <optional>
#include <string>

#include "player_commands.h"

namespace corvane::play {

struct KeyPress {
  bool quit = false;
  std::optional<Key> key;  // none: a key with no meaning here
};

// `keycode` is an SDL_Keycode: space, arrows, [ ], s, a, t, l; q and Escape
// quit.
KeyPress MapSdlKey(int32_t keycode);

// Keys by name, for --press: "space", "left", "right", "up", "down", "[",
// "]", "s", "a", "t", "l". Unknown names give none.
std::optional<Key> KeyFromName(const std::string& name);

// The SDL_Keycode of a key name, so a scripted press takes the same road
// as a real one; 0 for an unknown name.
int32_t SdlKeycodeFromName(const std::string& name);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_KEY_MAP_H_
