// The audio end of a player's pipeline.
//
// The output: CORVANE_AUDIO_SINK, when set, is a bin description
// ("fakesink sync=true", "pulsesink device=x") used as is. When it is unset
// or cannot be built (a debug line says why), the system's automatic output
// is used; when that cannot open any device either, a synchronised fakesink
// keeps playback going silently on the system clock. A volume element of
// our own sits right in front of it, after playsink's queue, so a change is
// heard at once. playbin's soft-volume flag stays off: GStreamer 1.22's
// playsink leaks its own volume element, with its pads, every time the
// pipeline stops, while a volume inside the sink is let go properly.
//
// The tempo filter: scaletempo keeps the pitch right at rates other than 1.
// A fresh one serves each source: its stop frees its queue but keeps how
// much the queue held, and at a rate other than 1 the next source has it
// move that many bytes out of the freed queue, which crashes the streaming
// thread (GStreamer 1.22).
#ifndef CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_
#define CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_

#include <gst/gst.h>

#include <string>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

// Which output a player's pipelines use, decided once per player: the
// environment and the devices are read then, and a debug line says why
// another output was taken.
struct AudioOutputChoice {
  enum class Kind { kDescription, kAutomatic, kSilent };
  Kind kind = Kind::kSilent;
  std::string description;  // for kDescription
};
AudioOutputChoice ChooseAudioOutput();

struct AudioOutput {
  GObjectPtr<GstElement> sink;    // for playbin's audio-sink; never null
  GObjectPtr<GstElement> volume;  // inside `sink`: linear, 1 = unchanged
};

// A new output as chosen. The sink is never null (a fakesink at worst,
// unless GStreamer's core is broken); the volume is null only when the
// volume element is missing.
AudioOutput MakeAudioOutput(const AudioOutputChoice& choice);

// For playbin's audio-filter, made while the pipeline is stopped. Null when
// scaletempo is missing (a debug line says so once): the pitch then follows
// the rate.
GObjectPtr<GstElement> MakeTempoFilter();

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_AUDIO_OUTPUT_H_
