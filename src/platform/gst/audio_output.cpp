#include "platform/gst/audio_output.h"

#include <cstdlib>
#include <string>

#include "platform/gst/debug_log.h"

namespace corvane::platform::gst {
namespace {

GObjectPtr<GstElement> FromDescription(const char* description) {
  GError* rawError = nullptr;
  auto bin = AdoptFloating(gst_parse_bin_from_description(description, TRUE, &rawError));
  ErrorPtr error(rawError);  // Adopt: parse errors are ours to free
  if (error) {
    DebugLine(std::string("Audio sink \"") + description + "\" cannot be built (" + error->message +
              "), using the system output");
    return nullptr;
  }
  return bin;
}

GObjectPtr<GstElement> SilentClockedSink() {
  auto sink = AdoptFloating(gst_element_factory_make("fakesink", "corvane-silent-audio"));
  if (sink) g_object_set(sink.get(), "sync", TRUE, nullptr);
  return sink;
}

}  // namespace

GObjectPtr<GstElement> MakeAudioOutput() {
  const char* description = std::getenv("CORVANE_AUDIO_SINK");
  if (description && *description) {
    if (auto bin = FromDescription(description)) return bin;
  }
  auto automatic = AdoptFloating(gst_element_factory_make("autoaudiosink", "corvane-audio"));
  if (automatic) {
    // autoaudiosink picks a device on the way to READY; when none opens it
    // fails there, and we know to play silently instead.
    const GstStateChangeReturn ready = gst_element_set_state(automatic.get(), GST_STATE_READY);
    gst_element_set_state(automatic.get(), GST_STATE_NULL);
    if (ready != GST_STATE_CHANGE_FAILURE) return automatic;
    DebugLine("No audio device can be opened, playing without sound");
  }
  return SilentClockedSink();
}

}  // namespace corvane::platform::gst
