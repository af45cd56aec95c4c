// The seeks a player owes, and what the pipeline must do about them next.
//
// Three kinds of seek meet here:
//  - positions set by the user, each owed exactly one completion; a
//    position set while another seek is on its way supersedes the earlier
//    ones, which all complete together with it;
//  - the restart after the end (an internal seek: no completion);
//  - flushes at the current position that the engine needs for itself
//    (a rate change, a text stream to read again, a stream switch).
// Seeks run one at a time. Media that cannot seek (no source, failed,
// live, unseekable) completes every position at once, and a seek the
// pipeline never confirms is completed by a watchdog.
//
// The ledger only decides: it says what to do and how many completions to
// raise; the engine does the work and reports back. It holds no lock and
// no thread: the engine keeps it under its own lock, as one value per
// source (a new source starts from a fresh ledger, so completions owed for
// the old one are never raised).
#ifndef CORVANE_PLATFORM_ENGINE_CORE_SEEK_LEDGER_H_
#define CORVANE_PLATFORM_ENGINE_CORE_SEEK_LEDGER_H_

#include <cstdint>
#include <optional>

#include "platform/media_engine.h"

namespace corvane::platform {

class SeekLedger {
 public:
  // What the engine knows of the source when it asks what to do.
  struct Media {
    bool opening = false;   // not yet open: seeks wait
    bool seekable = false;  // open and able to seek (false: no source, failed, live)
    // Positions past it are clamped to it. 0 while unknown (media whose
    // length is known only later, or grows): nothing is clamped then, as
    // the end is not known to be there.
    TimeSpan duration{0};
  };

  enum class Step {
    kWait,         // a seek is in flight, or the source is still opening
    kNothing,      // no seek owed
    kCompleteAll,  // nothing to seek in: raise `completions` (maybe none) now
    kSeek,         // seek to `target`
    kSeekHere,     // seek to the current position (`settled`, when known)
  };

  struct Decision {
    Step step = Step::kNothing;
    TimeSpan target{0};
    bool byUser = false;  // the seek answers positions set by the user
    // kSeekHere: the last seek's target while it still stands for the
    // position (the pipeline reports a wrong one until it plays again).
    std::optional<TimeSpan> settled;
    int completions = 0;  // kCompleteAll
  };

  // --- Commands (any thread, under the engine's lock). ---
  void SetPosition(TimeSpan target);
  void Restart(TimeSpan at);
  void FlushHere();

  // --- Engine thread. ---
  // `switchWantsFlush`: a stream switch is waiting and should go with a
  // flushing seek of its own.
  Decision Next(const Media& media, bool switchWantsFlush);
  // The seek decided goes out now, to `target`; returns the ticket its
  // watchdog carries. From here the target stands for the position.
  uint64_t Sent(TimeSpan target, bool byUser);
  // Reports; each returns the completions to raise now.
  int Refused();
  // The pipeline confirmed the seek in flight. `goingToPlay`: it plays on
  // by itself, and the target stands for the position until it does.
  int Confirmed(bool goingToPlay);
  // Whether a watchdog carrying `ticket` still finds its seek in flight.
  bool WatchdogFinds(uint64_t ticket) const;
  // The source failed: every position owed completes.
  int Failed();
  // The pipeline plays again, or stays paused, with no seek in flight: its
  // own position is right again.
  void Settled();

  // --- Reads (under the engine's lock). ---
  // The position to report while a seek is pending or in flight.
  std::optional<TimeSpan> ShownPosition() const;
  bool InFlight() const { return inFlight_; }

 private:
  int TakeOwedUnlessSuperseded();
  // Forgets every seek owed; returns how many positions were.
  int DropAll();

  int owed_ = 0;                        // positions set and not yet completed
  std::optional<TimeSpan> pending_;     // the latest position not yet sent
  std::optional<TimeSpan> restartAt_;   // the restart after the end
  bool flushOwed_ = false;              // a flush at the current position
  bool inFlight_ = false;
  bool inFlightByUser_ = false;
  uint64_t ticket_ = 0;
  std::optional<TimeSpan> shown_;  // in flight, and until the pipeline settles
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_ENGINE_CORE_SEEK_LEDGER_H_
