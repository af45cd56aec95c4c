// Which key does what in the window.
#ifndef CORVANE_APPS_PLAY_KEY_MAP_H_
#define CORVANE_APPS_PLAY_KEY_MAP_H_

#include <cstdint>
#include <optional>

#include "player_commands.h"

namespace corvane::play {

struct KeyPress {
  bool quit = false;
  std::optional<Key> key;  // none: a key with no meaning here
};

// `keycode` is an SDL_Keycode: space, arrows, [ ], s, a, t, l; q and Escape
// quit.
KeyPress MapSdlKey(int32_t keycode);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_KEY_MAP_H_
