#include "platform/gst/stream_switches.h"

#include "platform/engine_core/engine_watchdog.h"
#include "platform/gst/pipeline.h"
#include "platform/gst/text_sink.h"

namespace corvane::platform::gst {
namespace {

// Restreams at most this often for a video switch the output lags behind.
constexpr int kVideoSwitchRetries = 3;

const char* SelectionProperty(TrackKind kind) {
  switch (kind) {
    case TrackKind::Audio:
      return "current-audio";
    case TrackKind::Video:
      return "current-video";
    case TrackKind::Text:
      break;
  }
  return "current-text";
}

// The selector input playbin plays for `kind`, which a switch to stream
// `chosen` leaves; null when there is none or it is the chosen one.
GObjectPtr<GstPad> InputBeingLeft(GstElement* playbin, TrackKind kind, int32_t chosen) {
  const bool audio = kind == TrackKind::Audio;
  gint current = -1;
  g_object_get(playbin, SelectionProperty(kind), &current, nullptr);
  if (current < 0 || current == chosen) return nullptr;
  GstPad* input = nullptr;
  g_signal_emit_by_name(playbin, audio ? "get-audio-pad" : "get-video-pad", current, &input);
  return AdoptObject(input);  // Adopt: the action signal returns a reference
}

}  // namespace

StreamSwitches::SeekHold::SeekHold(GObjectPtr<GstPad> input) : input_(std::move(input)) {
  if (input_) {
    probeId_ = gst_pad_add_probe(input_.get(),
                                 static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                 [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
                                 nullptr);
  }
}

StreamSwitches::SeekHold::~SeekHold() {
  if (probeId_) gst_pad_remove_probe(input_.get(), probeId_);
}

void StreamSwitches::Choose(TrackKind kind, int32_t index) {
  switch (kind) {
    case TrackKind::Audio:
      audio_ = index;
      break;
    case TrackKind::Video:
      video_ = index;
      break;
    case TrackKind::Text:
      text_ = index;
      break;
  }
}

std::unique_ptr<StreamSwitches::SeekHold> StreamSwitches::PrepareSeek(Pipeline& pipeline) {
  for (SwitchedOutputFlush* output : {&audioOutput_, &videoOutput_, &textOutput_}) output->FlushBeforeSeek();
  // The seek's flush restarts the demuxer at once: a local file delivers a
  // quarter of a second of the audio stream being left before the switch
  // reaches the selector, and the output would play it first. Until then
  // that stream's buffers go no further.
  return std::make_unique<SeekHold>(audio_ ? InputBeingLeft(pipeline.Playbin(), TrackKind::Audio, *audio_)
                                           : nullptr);
}

bool StreamSwitches::HandTextOver(Pipeline& pipeline) {
  if (!text_) return false;
  const int32_t chosen = *text_;
  text_.reset();
  GstElement* playbin = pipeline.Playbin();
  {
    WatchedCall call("a text stream switch");
    g_object_set(playbin, SelectionProperty(TrackKind::Text), chosen, nullptr);
  }
  textOutput_.NoteSwitch(playbin);
  // The cues of the stream shown so far no longer apply; the restreaming
  // seek's flush drops any that were on their way.
  GstPad* inputRaw = nullptr;
  g_signal_emit_by_name(playbin, "get-text-pad", chosen, &inputRaw);
  auto input = AdoptObject(inputRaw);  // Adopt: the action signal returns a reference
  auto caps = input ? AdoptMini(gst_pad_get_current_caps(input.get())) : nullptr;  // Adopt
  pipeline.Text().Choose(caps.get());
  return true;
}

void StreamSwitches::HandOver(Pipeline& pipeline) {
  // A switch sends the newly chosen stream's caps downstream with its next
  // buffer, but a flush reaching the selector before that buffer cancels the
  // sending: its buffers would then meet the old stream's caps. So switches
  // are made after our seek's flush, and the guards repair the caps should a
  // later flush come too early all the same.
  if (video_) {
    HandToPlaybin(pipeline, TrackKind::Video, *video_, videoGuard_, videoOutput_);
    video_.reset();
    videoChecksLeft_ = kVideoSwitchRetries;
  }
  if (audio_) {
    HandToPlaybin(pipeline, TrackKind::Audio, *audio_, audioGuard_, audioOutput_);
    audio_.reset();
  }
}

void StreamSwitches::HandToPlaybin(Pipeline& pipeline, TrackKind kind, int32_t index, StreamSwitchGuard& guard,
                                   SwitchedOutputFlush& output) {
  guard.Watch(pipeline.Playbin());
  {
    WatchedCall call(kind == TrackKind::Audio ? "an audio stream switch" : "a video stream switch");
    g_object_set(pipeline.Playbin(), SelectionProperty(kind), index, nullptr);
  }
  guard.NoteChosenInput();
  output.NoteSwitch(pipeline.Playbin());
}

void StreamSwitches::SeekRefused() {
  for (SwitchedOutputFlush* output : {&audioOutput_, &videoOutput_, &textOutput_}) output->EndFlushOfRefusedSeek();
}

bool StreamSwitches::VideoOutputLags() {
  // A video switch goes right after its seek's flush, but now and then the
  // old stream's first frame gets to the output before it; paused, that
  // frame would stay. One more flush brings the chosen stream's.
  if (videoChecksLeft_ > 0 && videoGuard_.OutputLagsChosenStream()) {
    --videoChecksLeft_;
    return true;
  }
  videoChecksLeft_ = 0;
  return false;
}

}  // namespace corvane::platform::gst
