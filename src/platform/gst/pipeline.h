// One source's pipeline: a playbin with our video and text sinks, the audio
// output (with its volume) and tempo filter, and the HLS variant watch.
//
// Why one per source (GStreamer 1.22): a playbin that is stopped and given
// the next source carries the last one's state into it. Stopped while still
// prerolling, playsink never gives its stream synchroniser pads back, the
// synchroniser restarts its pad names, and the next source's playsink gets
// no pad and aborts the process on an assertion; stopped at READY instead,
// playbin keeps the left source's group alive and posting. A new pipeline
// starts from nothing, and the old one is stopped before it starts.
//
// Threads: the player's engine thread builds, commands and stops it. Other
// threads hold it through a shared_ptr snapshot only for reads (position,
// frames, cues); whoever lets go last only releases references, because the
// engine thread has stopped it by then. Streaming threads run the sinks'
// and the bus's callbacks.
#ifndef CORVANE_PLATFORM_GST_PIPELINE_H_
#define CORVANE_PLATFORM_GST_PIPELINE_H_

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/gst/adaptive_variants.h"
#include "platform/gst/audio_output.h"
#include "platform/gst/gst_engine_options.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/text_sink.h"
#include "platform/gst/video_sink.h"
#include "platform/media_engine.h"

namespace corvane::platform::gst {

class Pipeline {
 public:
  struct Callbacks {
    VideoSink::Callbacks video;
    TextSink::ChangedCallback textChanged;
    // Runs for every bus message on the thread that posts it; it owns the
    // message, as a sync handler that drops must.
    GstBusSyncHandler busHandler = nullptr;
    gpointer busData = nullptr;
  };

  // A stopped pipeline for `uri`, at `volume`, playing to `audio`. Raises
  // hresult_error when an element is missing.
  Pipeline(const EngineOptions& options, const AudioOutputChoice& audio, Callbacks callbacks, const std::string& uri,
           double volume);
  // Stops it if Stop has not (see the threads above).
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Checks once that the elements every pipeline needs exist. Raises
  // hresult_error naming the first one missing.
  static void CheckElements();

  // Engine thread: stops it for good (NULL joins its streaming threads) and
  // detaches its bus; nothing it holds calls back afterwards.
  void Stop();

  // Whether a state change is still under way (opening, or prerolling
  // again after a seek). GStreamer 1.22 with libsoup 3 crashes when an HTTP
  // source is stopped while its request is being answered, so such a
  // pipeline with a network source is not stopped at once: it is detached,
  // silenced and handed to RetirePipeline, which stops it once it has
  // settled.
  bool IsSettling() const;
  bool HasNetworkSource() const { return network_; }
  // Whether the HTTP server of the source said that it takes no byte
  // ranges (see ServerAcceptsRanges); such a source cannot seek. An
  // adaptive stream's source is its playlist, which says nothing of the
  // media's. Any thread.
  bool SourceRefusesRanges() const { return sourceRefusesRanges_.load(); }
  // Engine thread: cuts every callback into the player off for good, pauses
  // and mutes. The pipeline keeps running on its own until stopped.
  void Detach();
  // Waits at most `timeout` for the state change under way to finish.
  void WaitSettled(std::chrono::milliseconds timeout) const;

  GstElement* Playbin() const { return playbin_.get(); }
  VideoSink& Video() const { return *videoSink_; }
  TextSink& Text() const { return *textSink_; }
  AdaptiveVariantWatch& Variants() const { return *variants_; }
  // Engine thread: linear, 1 = unchanged.
  void SetVolume(double volume);
  // Any thread.
  std::optional<TimeSpan> QueryPosition() const;

 private:
  static void OnSourceSetupStreaming(GstElement* playbin, GstElement* source, gpointer self);
  static GstPadProbeReturn OnSourceEventStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);

  // Declared first, destroyed last: the sinks and the watch go before the
  // playbin that holds them.
  GObjectPtr<GstElement> playbin_;
  GObjectPtr<GstElement> volume_;  // inside the audio output; may be null
  std::unique_ptr<VideoSink> videoSink_;
  std::unique_ptr<TextSink> textSink_;
  std::unique_ptr<AdaptiveVariantWatch> variants_;
  const bool network_;  // the source is http:// or https://
  std::atomic<bool> sourceRefusesRanges_{false};  // set by the source's streaming thread
  bool stopped_ = false;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_PIPELINE_H_
