// Owning handles for GStreamer's own reference kinds, in the style of
// platform/linux/glib_handles.h (whose GObject, GError and string handles
// the engine uses too):
//   AdoptFloating  sinks a floating reference (factory-made elements) and
//                  owns it;
//   MiniPtr        GstSample, GstCaps, GstMessage, GstTagList, GstQuery,
//                  GstEvent, GstBuffer;
//   SharedMini     a shared hold on a mini object, for copyable tasks.
#ifndef CORVANE_PLATFORM_GST_GST_HANDLES_H_
#define CORVANE_PLATFORM_GST_GST_HANDLES_H_

#include <gst/gst.h>

#include <memory>

#include "platform/linux/glib_handles.h"

namespace corvane::platform::gst {

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

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_GST_HANDLES_H_
