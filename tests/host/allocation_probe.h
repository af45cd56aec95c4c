// Watches the largest single allocation made through operator new, so tests
// can prove that decoding a tiny message never allocates what a hostile
// size prefix announces. The test binary that links allocation_probe.cpp
// replaces the global operator new.
#ifndef CORVANE_TESTS_HOST_ALLOCATION_PROBE_H_
#define CORVANE_TESTS_HOST_ALLOCATION_PROBE_H_

#include <cstddef>

namespace corvane_test {

// Starts watching from zero; largest() is the biggest request since then.
class LargestAllocationWatch {
 public:
  LargestAllocationWatch();
  size_t largest() const;
};

}  // namespace corvane_test

#endif  // CORVANE_TESTS_HOST_ALLOCATION_PROBE_H_
