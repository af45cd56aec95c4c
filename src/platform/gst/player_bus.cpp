// Translating what the pipeline posts into the engine's notifications:
// the bus sync handler hands each message to the engine thread, which acts on it.
#include "platform/gst/player_core.h"

#include "platform/gst/debug_log.h"
#include "platform/gst/support/error_mapping.h"
#include "platform/gst/time_units.h"

namespace corvane::platform::gst {

GstBusSyncReply PlayerCore::OnBusMessageStreaming(GstBus*, GstMessage* message, gpointer self) {
  // A sync handler that answers DROP owns the message and must release it
  // (GstBusSyncHandler's contract); every message, and the element it
  // names, would live on otherwise, and with them the whole pipeline.
  SharedMini<GstMessage> held = AdoptShared(message);
  auto* core = static_cast<PlayerCore*>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      // The first error explains the failure; later ones are its echoes.
      GError* rawError = nullptr;
      gchar* rawDebug = nullptr;
      gst_message_parse_error(message, &rawError, &rawDebug);
      ErrorPtr error(rawError);    // Adopt
      GCharPtr debug(rawDebug);    // Adopt
      std::lock_guard<std::mutex> lock(core->errorMutex_);
      if (!core->firstError_.set && error) {
        core->firstError_.set = true;
        core->firstError_.domain = error->domain;
        core->firstError_.code = error->code;
        core->firstError_.message = error->message ? error->message : "";
        core->firstError_.debug = debug ? debug.get() : "";
      }
      break;
    }
    case GST_MESSAGE_STATE_CHANGED: {
      GstState state = GST_STATE_VOID_PENDING;
      gst_message_parse_state_changed(message, nullptr, &state, nullptr);
      // Only the pipeline's own change matters (playbin is the one pipeline
      // posting on its bus).
      if (!GST_IS_PIPELINE(GST_MESSAGE_SRC(message)) || state != GST_STATE_PLAYING) {
        return GST_BUS_DROP;
      }
      break;
    }
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_BUFFERING:
    case GST_MESSAGE_DURATION_CHANGED:
    case GST_MESSAGE_WARNING:
      break;
    default:
      return GST_BUS_DROP;
  }
  core->PostFromStreaming([held = std::move(held)](PlayerCore& engine, uint64_t epoch) {
    engine.HandleMessageOnEngine(epoch, held.get());
  });
  return GST_BUS_DROP;
}

void PlayerCore::PostFromStreaming(std::function<void(PlayerCore&, uint64_t epoch)> work) {
  const uint64_t epoch = pipelineEpoch_.load();
  thread_->Post([weak = weak_from_this(), epoch, work = std::move(work)] {
    if (auto core = weak.lock()) work(*core, epoch);
  });
}

void PlayerCore::HandleMessageOnEngine(uint64_t epoch, GstMessage* message) {
  if (epoch != pipelineEpoch_.load() || tornDown_.load()) return;
  Phase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || epoch != generation_) return;
    phase = phase_;
  }
  if (phase == Phase::Failed || phase == Phase::Idle) return;
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      FirstError first;
      {
        std::lock_guard<std::mutex> lock(errorMutex_);
        first = firstError_;
      }
      MediaPlayerFailedEventArgs args;
      ErrorPtr error(first.set ? g_error_new_literal(first.domain, first.code, first.message.c_str()) : nullptr);
      args.error = MapGstError(error.get(), first.debug);
      args.errorMessage = first.message;
      DebugLine("Media failed: " + first.message + " (" + first.debug + ")");
      FailOnEngine(std::move(args));
      break;
    }
    case GST_MESSAGE_WARNING: {
      GError* rawError = nullptr;
      gst_message_parse_warning(message, &rawError, nullptr);
      ErrorPtr warning(rawError);  // Adopt
      if (warning) DebugLine(std::string("GStreamer warning: ") + warning->message);
      break;
    }
    case GST_MESSAGE_EOS: {
      if (phase != Phase::Opened) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ended_) break;
        ended_ = true;
      }
      Raise(PlayerEvent::PositionChanged, epoch);
      Raise(PlayerEvent::MediaEnded, epoch);
      break;
    }
    case GST_MESSAGE_ASYNC_DONE:
      if (GST_IS_PIPELINE(GST_MESSAGE_SRC(message))) HandleAsyncDoneOnEngine();
      break;
    case GST_MESSAGE_STATE_CHANGED: {
      // Playing again after a seek: the sinks count from the new base time.
      std::lock_guard<std::mutex> lock(mutex_);
      if (!seekInFlight_) seekInFlightTarget_.reset();
      break;
    }
    case GST_MESSAGE_BUFFERING: {
      gint percent = 100;
      gst_message_parse_buffering(message, &percent);
      HandleBufferingOnEngine(percent);
      break;
    }
    case GST_MESSAGE_DURATION_CHANGED: {
      gint64 duration = 0;
      if (phase == Phase::Opened && pipeline_ &&
          gst_element_query_duration(pipeline_->Playbin(), GST_FORMAT_TIME, &duration) &&
          duration > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!live_) duration_ = FromNanoseconds(duration);
      }
      break;
    }
    default:
      break;
  }
}

void PlayerCore::HandleAsyncDoneOnEngine() {
  Phase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = phase_;
  }
  if (phase == Phase::Opening) {
    FinishOpeningOnEngine();
    return;
  }
  if (!seekInFlight_) return;
  seekInFlight_ = false;
  // Prerolled, the pipeline goes on to play by itself; until it does, its
  // sinks may still count from the base time before the seek (seen after a
  // text switch's restream: the target plus all that had been played). The
  // target stands for the position until then.
  GstState state = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  if (pipeline_) gst_element_get_state(pipeline_->Playbin(), &state, &pending, 0);
  const bool toPlaying = pending == GST_STATE_PLAYING;
  int completed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!toPlaying) seekInFlightTarget_.reset();
    // A later position supersedes this seek: its completion comes with that one.
    if (inFlightIsUser_ && !pendingSeek_) {
      completed = owedSeeks_;
      owedSeeks_ = 0;
    }
  }
  CompleteSeeksOnEngine(completed);
  EvaluateCuesOnEngine();
  // A video switch goes right after its seek's flush, but now and then the
  // old stream's first frame gets to the output before it; paused, that
  // frame would stay. One more flush brings the chosen stream's.
  if (checkVideoSwitch_ > 0 && videoSwitchGuard_.OutputLagsChosenStream()) {
    DebugLine("The video output still shows the stream left; restreaming");
    --checkVideoSwitch_;
    std::lock_guard<std::mutex> lock(mutex_);
    restream_ = true;
  } else {
    checkVideoSwitch_ = 0;
  }
  PumpSeeksOnEngine();
}

void PlayerCore::HandleBufferingOnEngine(int percent) {
  Phase phase;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = phase_;
    generation = generation_;
  }
  if (percent < 100 && !buffering_) {
    buffering_ = true;
    if (phase == Phase::Opened) {
      ApplyPlayStateOnEngine();
      bufferingRaised_ = true;
      Raise(PlayerEvent::BufferingStarted, generation);
    }
  } else if (percent >= 100 && buffering_) {
    buffering_ = false;
    ApplyPlayStateOnEngine();
    if (bufferingRaised_) {
      bufferingRaised_ = false;
      Raise(PlayerEvent::BufferingEnded, generation);
    }
  }
}

}  // namespace corvane::platform::gst
