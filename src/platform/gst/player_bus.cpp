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
  core->PostFromStreaming([held = std::move(held)](PlayerCore& engine, SourceNumber loaded) {
    engine.HandleMessageOnEngine(loaded, held.get());
  });
  return GST_BUS_DROP;
}

void PlayerCore::PostFromStreaming(std::function<void(PlayerCore&, SourceNumber loaded)> work) {
  const SourceNumber loaded = loaded_.load();
  thread_->Post([weak = weak_from_this(), loaded, work = std::move(work)] {
    if (auto core = weak.lock()) work(*core, loaded);
  });
}

void PlayerCore::HandleMessageOnEngine(SourceNumber source, GstMessage* message) {
  if (source != loaded_.load() || tornDown_.load()) return;
  SourcePhase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!IsWantedLocked(source)) return;
    phase = wanted_.phase;
  }
  if (phase == SourcePhase::kFailed || phase == SourcePhase::kIdle) return;
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
      if (phase != SourcePhase::kOpened) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (wanted_.ended) break;
        wanted_.ended = true;
      }
      Raise(PlayerEvent::PositionChanged, source);
      Raise(PlayerEvent::MediaEnded, source);
      break;
    }
    case GST_MESSAGE_ASYNC_DONE:
      if (GST_IS_PIPELINE(GST_MESSAGE_SRC(message))) HandleAsyncDoneOnEngine();
      break;
    case GST_MESSAGE_STATE_CHANGED: {
      // Playing again after a seek: the sinks count from the new base time.
      std::lock_guard<std::mutex> lock(mutex_);
      wanted_.seeks.Settled();
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
      if (phase == SourcePhase::kOpened && pipeline_ &&
          gst_element_query_duration(pipeline_->Playbin(), GST_FORMAT_TIME, &duration) &&
          duration > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!wanted_.live) wanted_.duration = FromNanoseconds(duration);
      }
      break;
    }
    default:
      break;
  }
}

void PlayerCore::HandleAsyncDoneOnEngine() {
  SourcePhase phase;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = wanted_.phase;
    if (phase != SourcePhase::kOpening && !wanted_.seeks.InFlight()) return;
  }
  if (phase == SourcePhase::kOpening) {
    FinishOpeningOnEngine();
    return;
  }
  // Prerolled, the pipeline goes on to play by itself; until it does, its
  // sinks may still count from the base time before the seek (seen after a
  // text switch's restream: the target plus all that had been played). The
  // target stands for the position until then.
  GstState state = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  if (pipeline_) gst_element_get_state(pipeline_->Playbin(), &state, &pending, 0);
  int completed = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    completed = wanted_.seeks.Confirmed(pending == GST_STATE_PLAYING);
  }
  CompleteSeeksOnEngine(completed);
  EvaluateCuesOnEngine();
  if (run_->switches.VideoOutputLags()) {
    DebugLine("The video output still shows the stream left; restreaming");
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_.seeks.FlushHere();
  }
  PumpSeeksOnEngine();
}

void PlayerCore::HandleBufferingOnEngine(int percent) {
  SourcePhase phase;
  SourceNumber source;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    phase = wanted_.phase;
    source = wanted_.number;
  }
  if (percent < 100 && !run_->buffering) {
    run_->buffering = true;
    if (phase == SourcePhase::kOpened) {
      ApplyPlayStateOnEngine();
      run_->bufferingRaised = true;
      Raise(PlayerEvent::BufferingStarted, source);
    }
  } else if (percent >= 100 && run_->buffering) {
    run_->buffering = false;
    ApplyPlayStateOnEngine();
    if (run_->bufferingRaised) {
      run_->bufferingRaised = false;
      Raise(PlayerEvent::BufferingEnded, source);
    }
  }
}

}  // namespace corvane::platform::gst
