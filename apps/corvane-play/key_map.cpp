#include "key_map.h"

#include <SDL_keycode.h>

namespace corvane::play {

KeyPress MapSdlKey(int32_t keycode) {
  KeyPress press;
  switch (keycode) {
    case SDLK_q:
    case SDLK_ESCAPE: press.quit = true; break;
    case SDLK_SPACE: press.key = Key::kPlayPause; break;
    case SDLK_LEFT: press.key = Key::kSeekBack; break;
    case SDLK_RIGHT: press.key = Key::kSeekForward; break;
    case SDLK_UP: press.key = Key::kVolumeUp; break;
    case SDLK_DOWN: press.key = Key::kVolumeDown; break;
    case SDLK_LEFTBRACKET: press.key = Key::kSlower; break;
    case SDLK_RIGHTBRACKET: press.key = Key::kFaster; break;
    case SDLK_s: press.key = Key::kSubtitles; break;
    case SDLK_a: press.key = Key::kNextAudio; break;
    case SDLK_t: press.key = Key::kNextSubtitle; break;
    case SDLK_l: press.key = Key::kLooping; break;
    default: break;
  }
  return press;
}

}  // namespace corvane::play
