// A process-wide object that is never destroyed.
//
// For what the engines' threads use after their players have let go of
// them: such a thread may still be finishing its teardown when the process
// exits, and a static destroyed under it at exit would crash it. The object
// lives in static storage, so whatever it owns stays reachable (leak
// checkers do not count it).
#ifndef CORVANE_PLATFORM_IMMORTAL_H_
#define CORVANE_PLATFORM_IMMORTAL_H_

#include <new>
#include <utility>

namespace corvane::platform {

template <typename T>
class Immortal {
 public:
  template <typename... Args>
  explicit Immortal(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_IMMORTAL_H_
