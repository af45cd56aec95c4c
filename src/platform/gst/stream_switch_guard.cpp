#include "platform/gst/stream_switch_guard.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <memory>
#include <mutex>

#include "platform/gst/debug_log.h"
#include "platform/gst/sink_bin_pads.h"

namespace corvane::platform::gst {
namespace {

// A raw audio or video format read from caps.
struct StreamFormat {
  bool known = false;  // false for caps that are not raw audio or video
  GstAudioInfo audio{};
  GstVideoInfo video{};
};

StreamFormat ReadFormat(StreamSwitchGuard::Kind kind, GstCaps* caps) {
  StreamFormat format;
  if (!caps) return format;
  format.known = kind == StreamSwitchGuard::Kind::kAudio ? gst_audio_info_from_caps(&format.audio, caps)
                                                          : gst_video_info_from_caps(&format.video, caps);
  return format;
}

// Whether `buffer` can be read with `format`, as the output will read it.
bool Fits(StreamSwitchGuard::Kind kind, const StreamFormat& format, GstBuffer* buffer) {
  if (kind == StreamSwitchGuard::Kind::kAudio) {
    const GstAudioInfo& info = format.audio;
    if (const GstAudioMeta* meta = gst_buffer_get_audio_meta(buffer)) {
      return meta->info.layout == info.layout && meta->info.channels == info.channels &&
             GST_AUDIO_INFO_FORMAT(&meta->info) == GST_AUDIO_INFO_FORMAT(&info);
    }
    // Without a meta a buffer is interleaved, and whole frames.
    return info.layout == GST_AUDIO_LAYOUT_INTERLEAVED && info.bpf > 0 && gst_buffer_get_size(buffer) % info.bpf == 0;
  }
  const GstVideoInfo& info = format.video;
  if (const GstVideoMeta* meta = gst_buffer_get_video_meta(buffer)) {
    return meta->width == static_cast<guint>(GST_VIDEO_INFO_WIDTH(&info)) &&
           meta->height == static_cast<guint>(GST_VIDEO_INFO_HEIGHT(&info)) &&
           meta->format == GST_VIDEO_INFO_FORMAT(&info);
  }
  return gst_buffer_get_size(buffer) == GST_VIDEO_INFO_SIZE(&info);
}

}  // namespace

struct StreamSwitchGuard::ProbeState {
  explicit ProbeState(Kind k) : kind(k) {}
  const Kind kind;
  // The format of the caps last seen on the watched pad. Only touched from
  // the probe, which runs under the pad's stream lock for caps and buffers.
  bool negotiatedRead = false;
  StreamFormat negotiated;
  std::mutex mutex;  // held only to copy chosenInput
  GObjectPtr<GstPad> chosenInput;
};

namespace {

GstPadProbeReturn OnOutputStreaming(GstPad* pad, GstPadProbeInfo* probe, gpointer data) {
  auto& state = **static_cast<std::shared_ptr<StreamSwitchGuard::ProbeState>*>(data);
  if (probe->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(probe);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
      GstCaps* caps = nullptr;
      gst_event_parse_caps(event, &caps);
      state.negotiated = ReadFormat(state.kind, caps);
      state.negotiatedRead = true;
    }
    return GST_PAD_PROBE_OK;
  }
  if (!(probe->type & GST_PAD_PROBE_TYPE_BUFFER)) return GST_PAD_PROBE_OK;
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(probe);
  // Added while streaming: the caps set before this buffer are the pad's.
  if (!state.negotiatedRead) {
    state.negotiated = ReadFormat(state.kind, AdoptMini(gst_pad_get_current_caps(pad)).get());  // Adopt
    state.negotiatedRead = true;
  }
  if (!state.negotiated.known || !buffer || Fits(state.kind, state.negotiated, buffer)) return GST_PAD_PROBE_OK;

  GObjectPtr<GstPad> chosen;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    chosen = RetainObject(state.chosenInput.get());
  }
  // Only the pad's object lock: never the selector's.
  auto chosenCaps = chosen ? AdoptMini(gst_pad_get_current_caps(chosen.get())) : nullptr;  // Adopt
  const StreamFormat chosenFormat = ReadFormat(state.kind, chosenCaps.get());
  if (chosenFormat.known && Fits(state.kind, chosenFormat, buffer)) {
    // The chosen stream's caps were never sent: send them ahead of the
    // buffer (the stream lock is ours already and taken again recursively;
    // this probe sees the caps go by and takes them).
    DebugLine("Caps lost in a stream switch; sending the chosen stream's caps");
    gst_pad_send_event(pad, gst_event_new_caps(chosenCaps.get()));
    if (state.negotiated.known && Fits(state.kind, state.negotiated, buffer)) return GST_PAD_PROBE_OK;
  }
  return state.kind == StreamSwitchGuard::Kind::kAudio ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

void DeleteState(gpointer data) {
  std::unique_ptr<std::shared_ptr<StreamSwitchGuard::ProbeState>>(
      static_cast<std::shared_ptr<StreamSwitchGuard::ProbeState>*>(data));
}

}  // namespace

void StreamSwitchGuard::Watch(GstElement* playbin) {
  auto pad = SinkBinInput(playbin, kind_ == Kind::kAudio ? "audio_sink" : "video_sink");
  if (!pad || pad == watched_) return;
  auto state = std::make_shared<ProbeState>(kind_);
  // The probe holds its own reference to the state, dropped with the probe.
  auto probeRef = std::make_unique<std::shared_ptr<ProbeState>>(state);
  const gulong id = gst_pad_add_probe(pad.get(),
                                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                                      &OnOutputStreaming, probeRef.release(), &DeleteState);
  if (id == 0) {
    DebugLine("The stream output cannot be watched; a track switch may stall it");
    return;
  }
  watched_ = std::move(pad);
  state_ = std::move(state);
}

void StreamSwitchGuard::NoteChosenInput() {
  if (!state_ || !watched_) return;
  auto chosen = ChosenSelectorInput(watched_.get());
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->chosenInput = std::move(chosen);
}

bool StreamSwitchGuard::OutputLagsChosenStream() const {
  if (!state_ || !watched_) return false;
  GObjectPtr<GstPad> chosen;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    chosen = RetainObject(state_->chosenInput.get());
  }
  auto chosenCaps = chosen ? AdoptMini(gst_pad_get_current_caps(chosen.get())) : nullptr;  // Adopt
  auto shownCaps = AdoptMini(gst_pad_get_current_caps(watched_.get()));                   // Adopt
  return chosenCaps && shownCaps && !gst_caps_is_equal(chosenCaps.get(), shownCaps.get());
}

}  // namespace corvane::platform::gst
