// Where a player stands, as the platform thread moves it on and engine
// threads read it. Ordered: a state after Opening is a loaded source.
#ifndef CORVANE_PLAYER_PLAYER_STATE_H_
#define CORVANE_PLAYER_PLAYER_STATE_H_

#include <cstdint>

namespace corvane::player {

enum class PlayerState : uint8_t {
  kClosed,   // no source
  kOpening,  // a source is opening: until its start seek completes
  kPaused,
  kPlaying,
};

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_PLAYER_STATE_H_
