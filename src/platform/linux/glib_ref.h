// An owning reference to a GLib reference-counted object. Each wrap site
// says whether it takes over a reference the caller already owns (Adopt) or
// takes a new one (Retain).
#ifndef CORVANE_PLATFORM_LINUX_GLIB_REF_H_
#define CORVANE_PLATFORM_LINUX_GLIB_REF_H_

#include <glib.h>

#include <utility>

namespace corvane::platform {

template <typename T, T* (*RefFn)(T*), void (*UnrefFn)(T*)>
class GlibRef {
 public:
  GlibRef() = default;
  static GlibRef Adopt(T* object) { return GlibRef(object); }
  static GlibRef Retain(T* object) { return GlibRef(object != nullptr ? RefFn(object) : nullptr); }

  GlibRef(GlibRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GlibRef& operator=(GlibRef&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  GlibRef(const GlibRef& other) : object_(other.object_ != nullptr ? RefFn(other.object_) : nullptr) {}
  GlibRef& operator=(const GlibRef& other) {
    if (this != &other) *this = Retain(other.object_);
    return *this;
  }
  ~GlibRef() { Reset(); }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void Reset() {
    if (object_ != nullptr) UnrefFn(std::exchange(object_, nullptr));
  }

 private:
  explicit GlibRef(T* object) : object_(object) {}
  T* object_ = nullptr;
};

using MainContextRef = GlibRef<GMainContext, g_main_context_ref, g_main_context_unref>;
using SourceRef = GlibRef<GSource, g_source_ref, g_source_unref>;

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_GLIB_REF_H_
