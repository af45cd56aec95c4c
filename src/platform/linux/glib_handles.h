// Owning handles for the GLib family (GLib, GObject, and libraries built in
// its style: GStreamer, Pango, Cairo): one style for all of them.
//
// A handle is a std::unique_ptr whose deleter calls the library's own
// release function. The wrap site says which kind of reference it holds:
//   Adopt...   takes over a reference the caller already owns (the return
//              of a *_new / *_create / "transfer full" call);
//   Retain...  adds a reference of its own to an object somebody else owns.
// Types without a prepared alias below get one from UniqueHandle, e.g.
//   using CairoPtr = UniqueHandle<cairo_t, cairo_destroy>;
// GStreamer's mini objects and floating references: platform/gst/gst_handles.h.
#ifndef CORVANE_PLATFORM_LINUX_GLIB_HANDLES_H_
#define CORVANE_PLATFORM_LINUX_GLIB_HANDLES_H_

#include <glib-object.h>
#include <glib.h>

#include <memory>

namespace corvane::platform {

// Calls `Release` on the pointer it is given.
template <auto Release>
struct ReleaseWith {
  template <typename T>
  void operator()(T* object) const {
    Release(object);
  }
};

template <typename T, auto Release>
using UniqueHandle = std::unique_ptr<T, ReleaseWith<Release>>;

template <typename T>
using GObjectPtr = UniqueHandle<T, g_object_unref>;

template <typename T>
GObjectPtr<T> AdoptObject(T* object) {
  return GObjectPtr<T>(object);
}
template <typename T>
GObjectPtr<T> RetainObject(T* object) {
  if (object) g_object_ref(object);
  return GObjectPtr<T>(object);
}

using ErrorPtr = UniqueHandle<GError, g_error_free>;
using GCharPtr = UniqueHandle<gchar, g_free>;
using MainContextPtr = UniqueHandle<GMainContext, g_main_context_unref>;
using MainLoopPtr = UniqueHandle<GMainLoop, g_main_loop_unref>;
using SourcePtr = UniqueHandle<GSource, g_source_unref>;

inline MainContextPtr RetainContext(GMainContext* context) {
  return MainContextPtr(context ? g_main_context_ref(context) : nullptr);
}

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_GLIB_HANDLES_H_
