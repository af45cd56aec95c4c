// The engine counts time in 100-nanosecond ticks; Dart in milliseconds.
#ifndef CORVANE_PLAYER_ENGINE_TIME_H_
#define CORVANE_PLAYER_ENGINE_TIME_H_

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/media_engine.h"

namespace corvane::player {

inline constexpr int64_t kTicksPerMs = 10000;

// Milliseconds as engine ticks, saturating instead of overflowing.
inline platform::TimeSpan MsToTicks(int64_t ms) {
  constexpr int64_t kLargest = std::numeric_limits<int64_t>::max() / kTicksPerMs;
  return platform::TimeSpan(std::clamp<int64_t>(ms, -kLargest, kLargest) * kTicksPerMs);
}

// Ticks as whole milliseconds, truncated toward zero.
inline int64_t TicksToMs(platform::TimeSpan ticks) { return ticks.count() / kTicksPerMs; }

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_ENGINE_TIME_H_
