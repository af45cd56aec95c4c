#include "platform/gst/pipeline.h"

#include <string>

#include "platform/engine_core/engine_watchdog.h"
#include "platform/gst/support/http_ranges.h"
#include "platform/gst/time_units.h"

namespace corvane::platform::gst {
namespace {

// playbin's GstPlayFlags (the enum is not in a public header). No download
// flag: its buffering messages measure the whole download, not a stall. No
// soft-volume flag: the volume is the audio output's own (see AudioOutput).
constexpr guint kFlagVideo = 1u << 0;
constexpr guint kFlagAudio = 1u << 1;
constexpr guint kFlagText = 1u << 2;
constexpr guint kFlagNativeVideo = 1u << 6;

// The bus handler of a detached pipeline: nobody listens any more.
GstBusSyncReply DiscardMessage(GstBus*, GstMessage* message, gpointer) {
  gst_message_unref(message);  // a sync handler that drops owns the message
  return GST_BUS_DROP;
}

// The text streams' selector. playbin's own (GStreamer 1.22) holds each
// cue of a stream not shown until the pipeline clock reaches its time, on
// the stream's thread and under its pad's stream lock, and nothing but a
// flush wakes it: a change to READY, which stops the pipeline, then waits
// for that lock until the clock gets there, seconds later (more at slow
// rates), and so do the teardown and the next source. Ours drops those
// cues on arrival instead: a text switch restreams the chosen stream with
// a flushing seek anyway, so held or cached cues are never needed.
GObjectPtr<GstElement> MakeTextCombiner() {
  auto combiner = AdoptFloating(gst_element_factory_make("input-selector", "corvane-text-combiner"));
  if (!combiner) throw hresult_error(kFail, "GStreamer element missing: input-selector");
  g_object_set(combiner.get(), "sync-streams", FALSE, "cache-buffers", FALSE, nullptr);
  return combiner;
}

}  // namespace

void Pipeline::CheckElements() {
  for (const char* factory : {"playbin", "appsink", "deinterlace", "videoconvert", "fakesink", "input-selector"}) {
    auto found = AdoptObject(gst_element_factory_find(factory));  // Adopt: find refs
    if (!found) throw hresult_error(kFail, std::string("GStreamer element missing: ") + factory);
  }
}

Pipeline::Pipeline(const EngineOptions& options, const AudioOutputChoice& audioChoice, Callbacks callbacks,
                   const std::string& uri, double volume)
    : network_(uri.rfind("http://", 0) == 0 || uri.rfind("https://", 0) == 0) {
  playbin_ = AdoptFloating(gst_element_factory_make("playbin", "corvane-playbin"));
  if (!playbin_) throw hresult_error(kFail, "GStreamer element missing: playbin");
  videoSink_ = std::make_unique<VideoSink>(std::move(callbacks.video),
                                           VideoSink::Options{options.syncVideo, options.deliverEveryFrame});
  textSink_ = std::make_unique<TextSink>(std::move(callbacks.textChanged));
  AudioOutput audio = MakeAudioOutput(audioChoice);
  volume_ = std::move(audio.volume);
  SetVolume(volume);
  // A fresh tempo filter for every source (see MakeTempoFilter).
  auto tempo = MakeTempoFilter();
  const guint flags = kFlagVideo | kFlagAudio | kFlagText | kFlagNativeVideo;
  g_object_set(playbin_.get(), "video-sink", videoSink_->Bin(), "text-sink", textSink_->Element(), "flags", flags,
               "audio-filter", tempo.get(), "text-stream-combiner", MakeTextCombiner().get(), "uri", uri.c_str(),
               nullptr);
  if (audio.sink) g_object_set(playbin_.get(), "audio-sink", audio.sink.get(), nullptr);
  variants_ = std::make_unique<AdaptiveVariantWatch>(playbin_.get());
  if (network_) g_signal_connect(playbin_.get(), "source-setup", G_CALLBACK(&Pipeline::OnSourceSetupStreaming), this);
  auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));  // Adopt: get_bus refs
  gst_bus_set_sync_handler(bus.get(), callbacks.busHandler, callbacks.busData, nullptr);
}

Pipeline::~Pipeline() { Stop(); }

void Pipeline::OnSourceSetupStreaming(GstElement*, GstElement* source, gpointer self) {
  // The HTTP source sends the answer's headers downstream as a sticky
  // event before the first byte.
  auto pad = AdoptObject(gst_element_get_static_pad(source, "src"));
  if (pad) {
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Pipeline::OnSourceEventStreaming, self,
                      nullptr);
  }
}

GstPadProbeReturn Pipeline::OnSourceEventStreaming(GstPad*, GstPadProbeInfo* info, gpointer self) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CUSTOM_DOWNSTREAM_STICKY) return GST_PAD_PROBE_OK;
  const GstStructure* headers = gst_event_get_structure(event);
  if (!headers || !gst_structure_has_name(headers, "http-headers")) return GST_PAD_PROBE_OK;
  guint status = 0;
  gst_structure_get_uint(headers, "http-status-code", &status);
  const GstStructure* response = nullptr;
  const GValue* value = gst_structure_get_value(headers, "response-headers");
  if (value && GST_VALUE_HOLDS_STRUCTURE(value)) response = gst_value_get_structure(value);
  // Each answer says it anew: the first is for the whole resource, those
  // after a seek are partial (206) when the server took the range.
  static_cast<Pipeline*>(self)->sourceRefusesRanges_ = !ServerAcceptsRanges(status, response);
  return GST_PAD_PROBE_OK;
}

void Pipeline::Stop() {
  if (stopped_) return;
  stopped_ = true;
  {
    WatchedCall call("stopping a pipeline");
    gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  }
  auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));  // Adopt: get_bus refs
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  gst_bus_set_flushing(bus.get(), TRUE);
  videoSink_->Clear();
  textSink_->Clear();
}

bool Pipeline::IsSettling() const {
  return gst_element_get_state(playbin_.get(), nullptr, nullptr, 0) == GST_STATE_CHANGE_ASYNC;
}

void Pipeline::Detach() {
  auto bus = AdoptObject(gst_element_get_bus(playbin_.get()));  // Adopt: get_bus refs
  gst_bus_set_sync_handler(bus.get(), &DiscardMessage, nullptr, nullptr);
  videoSink_->DetachCallbacks();
  textSink_->DetachCallback();
  SetVolume(0.0);
  WatchedCall call("pausing a pipeline let go of");
  gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
}

void Pipeline::WaitSettled(std::chrono::milliseconds timeout) const {
  gst_element_get_state(playbin_.get(), nullptr, nullptr,
                        static_cast<GstClockTime>(std::chrono::nanoseconds(timeout).count()));
}

void Pipeline::SetVolume(double volume) {
  if (volume_) g_object_set(volume_.get(), "volume", volume, nullptr);
}

std::optional<TimeSpan> Pipeline::QueryPosition() const {
  gint64 position = 0;
  if (gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &position) && position >= 0) {
    return FromNanoseconds(position);
  }
  return std::nullopt;
}

}  // namespace corvane::platform::gst
