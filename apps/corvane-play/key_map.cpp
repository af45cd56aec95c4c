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

namespace {

struct NamedKey {
  const char* name;
  int32_t keycode;
};

constexpr NamedKey kNamedKeys[] = {
    {"space", SDLK_SPACE}, {"left", SDLK_LEFT}, {"right", SDLK_RIGHT}, {"up", SDLK_UP},
    {"down", SDLK_DOWN},   {"[", SDLK_LEFTBRACKET}, {"]", SDLK_RIGHTBRACKET}, {"s", SDLK_s},
    {"a", SDLK_a},         {"t", SDLK_t},       {"l", SDLK_l},
};

}  // namespace

int32_t SdlKeycodeFromName(const std::string& name) {
  for (const NamedKey& key : kNamedKeys) {
    if (name == key.name) return key.keycode;
  }
  return 0;
}

std::optional<Key> KeyFromName(const std::string& name) {
  const int32_t keycode = SdlKeycodeFromName(name);
  return keycode == 0 ? std::nullopt : MapSdlKey(keycode).key;
}

}  // namespace corvane::play
