// Owning handles for GLib and GStreamer references.
//
// Every foreign reference the engine keeps lives in one of these. The wrap
// site says which kind of reference it holds:
//   Adopt...   takes over a reference the caller already owns (the return of a
//              *_new / *_get_* "transfer full" call);
//   Retain...  adds a reference of its own to an object somebody else owns;
//   AdoptFloating  sinks a floating reference (factory-made elements) and owns it.
#ifndef CORVANE_PLATFORM_GST_GST_HANDLES_H_
#define CORVANE_PLATFORM_GST_GST_HANDLES_H_

#include <gst/gst.h>

#include <memory>

namespace corvane::platform::gst {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

template <typename T>
GObjectPtr<T> AdoptObject(T* object) {
  return GObjectPtr<T>(object);
}
template <typename T>
GObjectPtr<T> RetainObject(T* object) {
  if (object) g_object_ref(object);
  return GObjectPtr<T>(object);
}
// For GstObjects created floating (gst_element_factory_make, gst_parse_*).
template <typename T>
GObjectPtr<T> AdoptFloating(T* object) {
  if (object) gst_object_ref_sink(object);
  return GObjectPtr<T>(object);
}

struct MiniObjectUnref {
  void operator()(gpointer object) const { gst_mini_object_unref(GST_MINI_OBJECT_CAST(object)); }
};
// GstSample, GstCaps, GstMessage, GstTagList, GstQuery, GstEvent, GstBuffer.
template <typename T>
using MiniPtr = std::unique_ptr<T, MiniObjectUnref>;

template <typename T>
MiniPtr<T> AdoptMini(T* object) {
  return MiniPtr<T>(object);
}
template <typename T>
MiniPtr<T> RetainMini(T* object) {
  if (object) gst_mini_object_ref(GST_MINI_OBJECT_CAST(object));
  return MiniPtr<T>(object);
}

// A shared hold on a mini object, for copyable tasks that carry one.
template <typename T>
using SharedMini = std::shared_ptr<T>;
template <typename T>
SharedMini<T> AdoptShared(T* object) {
  return SharedMini<T>(object, MiniObjectUnref());
}
template <typename T>
SharedMini<T> RetainShared(T* object) {
  if (object) gst_mini_object_ref(GST_MINI_OBJECT_CAST(object));
  return SharedMini<T>(object, MiniObjectUnref());
}

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFreeDeleter {
  void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_GST_HANDLES_H_
