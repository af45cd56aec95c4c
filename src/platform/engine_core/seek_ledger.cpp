#include "platform/engine_core/seek_ledger.h"

#include <algorithm>

namespace corvane::platform {

void SeekLedger::SetPosition(TimeSpan target) {
  ++owed_;
  pending_ = std::max(target, TimeSpan(0));
}

void SeekLedger::Restart(TimeSpan at) { restartAt_ = at; }

void SeekLedger::FlushHere() { flushOwed_ = true; }

SeekLedger::Decision SeekLedger::Next(const Media& media, bool switchWantsFlush) {
  Decision decision;
  if (inFlight_ || media.opening) {
    decision.step = Step::kWait;
    return decision;
  }
  if (!media.seekable) {
    // Nothing to seek in: every position set completes at once; the
    // restart and the flushes cannot apply.
    decision.step = Step::kCompleteAll;
    decision.completions = DropAll();
    return decision;
  }
  if (pending_) {
    decision.step = Step::kSeek;
    decision.target = media.duration > TimeSpan(0) ? std::min(*pending_, media.duration) : *pending_;
    decision.byUser = true;
    pending_.reset();
    restartAt_.reset();
    // The position is the target from now on, not the pipeline's.
    shown_ = decision.target;
  } else if (restartAt_) {
    decision.step = Step::kSeek;
    decision.target = *restartAt_;
    restartAt_.reset();
  } else if (flushOwed_ || switchWantsFlush) {
    decision.step = Step::kSeekHere;
    decision.settled = shown_;
  } else {
    return decision;
  }
  // Any flushing seek serves a flush owed.
  flushOwed_ = false;
  return decision;
}

uint64_t SeekLedger::Sent(TimeSpan target, bool byUser) {
  inFlight_ = true;
  inFlightByUser_ = byUser;
  shown_ = target;
  return ++ticket_;
}

int SeekLedger::TakeOwedUnlessSuperseded() {
  // A later position supersedes this seek: its completion comes with that
  // one's.
  if (!inFlightByUser_ || pending_) return 0;
  const int owed = owed_;
  owed_ = 0;
  return owed;
}

int SeekLedger::Refused() {
  shown_.reset();
  const int completions = TakeOwedUnlessSuperseded();
  inFlight_ = false;
  return completions;
}

int SeekLedger::Confirmed(bool goingToPlay) {
  if (!inFlight_) return 0;
  if (!goingToPlay) shown_.reset();
  const int completions = TakeOwedUnlessSuperseded();
  inFlight_ = false;
  return completions;
}

bool SeekLedger::WatchdogFinds(uint64_t ticket) const { return inFlight_ && ticket == ticket_; }

int SeekLedger::DropAll() {
  const int owed = owed_;
  const uint64_t ticket = ticket_;
  *this = SeekLedger{};
  ticket_ = ticket;  // an old watchdog must never match a later seek
  return owed;
}

int SeekLedger::Failed() { return DropAll(); }

void SeekLedger::Settled() {
  if (!inFlight_) shown_.reset();
}

std::optional<TimeSpan> SeekLedger::ShownPosition() const { return pending_ ? pending_ : shown_; }

}  // namespace corvane::platform
