#include "platform/gst/audio_output.h"

#include <atomic>
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
  auto sink = AdoptFloating(gst_element_factory_make("fakesink", nullptr));
  if (sink) g_object_set(sink.get(), "sync", TRUE, nullptr);
  return sink;
}

GObjectPtr<GstElement> Device(const AudioOutputChoice& choice) {
  switch (choice.kind) {
    case AudioOutputChoice::Kind::kDescription:
      if (auto bin = FromDescription(choice.description.c_str())) return bin;
      break;
    case AudioOutputChoice::Kind::kAutomatic:
      if (auto automatic = AdoptFloating(gst_element_factory_make("autoaudiosink", nullptr))) return automatic;
      break;
    case AudioOutputChoice::Kind::kSilent:
      break;
  }
  return SilentClockedSink();
}

}  // namespace

AudioOutputChoice ChooseAudioOutput() {
  AudioOutputChoice choice;
  const char* description = std::getenv("CORVANE_AUDIO_SINK");
  if (description && *description && FromDescription(description)) {
    choice.kind = AudioOutputChoice::Kind::kDescription;
    choice.description = description;
    return choice;
  }
  if (auto automatic = AdoptFloating(gst_element_factory_make("autoaudiosink", nullptr))) {
    // autoaudiosink picks a device on the way to READY; when none opens it
    // fails there, and we know to play silently instead.
    const GstStateChangeReturn ready = gst_element_set_state(automatic.get(), GST_STATE_READY);
    gst_element_set_state(automatic.get(), GST_STATE_NULL);
    if (ready != GST_STATE_CHANGE_FAILURE) {
      choice.kind = AudioOutputChoice::Kind::kAutomatic;
      return choice;
    }
    DebugLine("No audio device can be opened, playing without sound");
  }
  return choice;
}

AudioOutput MakeAudioOutput(const AudioOutputChoice& choice) {
  AudioOutput output;
  auto device = Device(choice);
  auto volume = AdoptFloating(gst_element_factory_make("volume", "corvane-volume"));
  if (!device || !volume) {
    output.sink = std::move(device);
    return output;
  }
  auto bin = AdoptFloating(gst_bin_new("corvane-audio-output"));
  // Neither element is floating any more: the bin takes references of its
  // own.
  gst_bin_add_many(GST_BIN(bin.get()), volume.get(), device.get(), nullptr);
  if (!gst_element_link(volume.get(), device.get())) {
    DebugLine("The volume cannot be linked to the audio output; the volume stays at 1");
    output.sink = std::move(device);
    return output;
  }
  auto input = AdoptObject(gst_element_get_static_pad(volume.get(), "sink"));  // Adopt: get_static_pad refs
  gst_element_add_pad(bin.get(), gst_ghost_pad_new("sink", input.get()));
  output.sink = std::move(bin);
  output.volume = std::move(volume);
  return output;
}

GObjectPtr<GstElement> MakeTempoFilter() {
  auto tempo = AdoptFloating(gst_element_factory_make("scaletempo", nullptr));
  if (!tempo) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) DebugLine("scaletempo is missing: audio pitch follows the playback rate");
  }
  return tempo;
}

}  // namespace corvane::platform::gst
