#include "platform/gst/sink_bin_pads.h"

namespace corvane::platform::gst {

GObjectPtr<GstPad> SinkBinInput(GstElement* playbin, const char* name) {
  auto playsink = AdoptObject(gst_bin_get_by_name(GST_BIN(playbin), "playsink"));  // Adopt: get_by_name refs
  if (!playsink) return nullptr;
  return AdoptObject(gst_element_get_static_pad(playsink.get(), name));  // Adopt: get_static_pad refs
}

GObjectPtr<GstPad> ChosenSelectorInput(GstPad* sinkBinInput) {
  auto peer = AdoptObject(gst_pad_get_peer(sinkBinInput));  // Adopt: get_peer refs
  if (!peer) return nullptr;
  auto selector = AdoptObject(gst_pad_get_parent_element(peer.get()));  // Adopt: get_parent_element refs
  if (!selector || !g_object_class_find_property(G_OBJECT_GET_CLASS(selector.get()), "active-pad")) return nullptr;
  GstPad* active = nullptr;
  g_object_get(selector.get(), "active-pad", &active, nullptr);
  return AdoptObject(active);  // Adopt: g_object_get refs objects
}

}  // namespace corvane::platform::gst
