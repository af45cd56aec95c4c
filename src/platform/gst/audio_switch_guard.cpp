#include "platform/gst/audio_switch_guard.h"

#include <gst/audio/audio.h>

#include <memory>
#include <mutex>

#include "platform/gst/debug_log.h"

namespace corvane::platform::gst {
namespace {

// The format of the caps last seen on the watched pad. Only touched from the
// probe, which runs under the pad's stream lock for caps and buffers alike.
struct NegotiatedAudio {
  bool read = false;   // whether `known` and `info` hold the pad's caps
  bool known = false;  // false for caps that are not raw audio
  GstAudioInfo info{};
};

}  // namespace

struct AudioSwitchGuard::ProbeState {
  NegotiatedAudio negotiated;  // streaming (under the watched pad's stream lock)
  std::mutex mutex;            // held only to copy chosenInput
  GObjectPtr<GstPad> chosenInput;
};

namespace {

// Whether `buffer` can be read with `info`, as the converters will read it.
bool FitsFormat(const GstAudioInfo& info, GstBuffer* buffer) {
  if (const GstAudioMeta* meta = gst_buffer_get_audio_meta(buffer)) {
    return meta->info.layout == info.layout && meta->info.channels == info.channels &&
           GST_AUDIO_INFO_FORMAT(&meta->info) == GST_AUDIO_INFO_FORMAT(&info);
  }
  // Without a meta a buffer is interleaved, and whole frames.
  return info.layout == GST_AUDIO_LAYOUT_INTERLEAVED && info.bpf > 0 && gst_buffer_get_size(buffer) % info.bpf == 0;
}

void ReadCaps(NegotiatedAudio& negotiated, GstCaps* caps) {
  negotiated.read = true;
  // Caps that are not raw audio are not ours to judge.
  negotiated.known = caps && gst_audio_info_from_caps(&negotiated.info, caps);
}

// The selector input feeding playbin's audio output, if any.
GObjectPtr<GstPad> ChosenInput(GstPad* audioInput) {
  auto peer = AdoptObject(gst_pad_get_peer(audioInput));  // Adopt: get_peer refs
  if (!peer) return nullptr;
  auto selector = AdoptObject(gst_pad_get_parent_element(peer.get()));  // Adopt: get_parent_element refs
  if (!selector || !g_object_class_find_property(G_OBJECT_GET_CLASS(selector.get()), "active-pad")) return nullptr;
  GstPad* active = nullptr;
  g_object_get(selector.get(), "active-pad", &active, nullptr);
  return AdoptObject(active);  // Adopt: g_object_get refs objects
}

GObjectPtr<GstPad> AudioInputOf(GstElement* playbin) {
  auto playsink = AdoptObject(gst_bin_get_by_name(GST_BIN(playbin), "playsink"));  // Adopt: get_by_name refs
  if (!playsink) return nullptr;
  return AdoptObject(gst_element_get_static_pad(playsink.get(), "audio_sink"));  // Adopt: get_static_pad refs
}

GstPadProbeReturn OnAudioInputStreaming(GstPad* pad, GstPadProbeInfo* probe, gpointer data) {
  auto& state = **static_cast<std::shared_ptr<AudioSwitchGuard::ProbeState>*>(data);
  NegotiatedAudio* negotiated = &state.negotiated;
  if (probe->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(probe);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
      GstCaps* caps = nullptr;
      gst_event_parse_caps(event, &caps);
      ReadCaps(*negotiated, caps);
    }
    return GST_PAD_PROBE_OK;
  }
  if (!(probe->type & GST_PAD_PROBE_TYPE_BUFFER)) return GST_PAD_PROBE_OK;
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(probe);
  // Added while streaming: the caps set before this buffer are the pad's.
  if (!negotiated->read) ReadCaps(*negotiated, AdoptMini(gst_pad_get_current_caps(pad)).get());  // Adopt
  if (!negotiated->known || !buffer || FitsFormat(negotiated->info, buffer)) return GST_PAD_PROBE_OK;

  GObjectPtr<GstPad> chosen;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    chosen = RetainObject(state.chosenInput.get());
  }
  // Only the pad's object lock: never the selector's.
  auto activeCaps = chosen ? AdoptMini(gst_pad_get_current_caps(chosen.get())) : nullptr;  // Adopt
  GstAudioInfo activeInfo;
  if (activeCaps && gst_audio_info_from_caps(&activeInfo, activeCaps.get()) && FitsFormat(activeInfo, buffer)) {
    // The chosen stream's caps were never sent: send them ahead of the
    // buffer (the stream lock is ours already and taken again recursively;
    // this probe sees the caps go by and takes them).
    DebugLine("Audio caps lost in a track switch; sending the chosen track's caps");
    gst_pad_send_event(pad, gst_event_new_caps(activeCaps.get()));
    if (negotiated->known && FitsFormat(negotiated->info, buffer)) return GST_PAD_PROBE_OK;
  }
  return GST_PAD_PROBE_DROP;
}

void DeleteState(gpointer data) {
  std::unique_ptr<std::shared_ptr<AudioSwitchGuard::ProbeState>>(
      static_cast<std::shared_ptr<AudioSwitchGuard::ProbeState>*>(data));
}

}  // namespace

void AudioSwitchGuard::Watch(GstElement* playbin) {
  auto pad = AudioInputOf(playbin);
  if (!pad || pad == watched_) return;
  auto state = std::make_shared<ProbeState>();
  // The probe holds its own reference to the state, dropped with the probe.
  auto probeRef = std::make_unique<std::shared_ptr<ProbeState>>(state);
  const gulong id = gst_pad_add_probe(pad.get(),
                                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                                      &OnAudioInputStreaming, probeRef.release(), &DeleteState);
  if (id == 0) {
    DebugLine("The audio input cannot be watched; a track switch may stall the audio");
    return;
  }
  watched_ = std::move(pad);
  state_ = std::move(state);
}

void AudioSwitchGuard::NoteChosenInput() {
  switchedSinceFlush_ = watched_ != nullptr;
  if (!state_ || !watched_) return;
  auto chosen = ChosenInput(watched_.get());
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->chosenInput = std::move(chosen);
}

bool AudioSwitchGuard::FlushOutputBeforeSeek() {
  if (!switchedSinceFlush_ || !watched_) return false;
  switchedSinceFlush_ = false;
  // Flush-start is not serialised: it needs no stream lock and wakes a
  // thread waiting anywhere in the output.
  return gst_pad_send_event(watched_.get(), gst_event_new_flush_start());
}

void AudioSwitchGuard::EndFlushOfRefusedSeek() {
  if (watched_) gst_pad_send_event(watched_.get(), gst_event_new_flush_stop(TRUE));
}

void AudioSwitchGuard::Forget() { switchedSinceFlush_ = false; }

}  // namespace corvane::platform::gst
