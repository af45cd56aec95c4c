// The seek ledger's decisions, row by row: each row is a script of
// commands and pipeline reports, and the transcript of what the engine is
// told to do. Times are in seconds.
//
//   opening | open | unseekable   the media the engine reports
//   length N    its duration (10 until said; 0: unknown)
//   set N | restart | flush | switch   commands (switch: a stream switch waits)
//   pump        asks what to do next; a seek decided is sent at once
//               ("seek N", "seek here", "seek here@N", "complete K", "wait", "-")
//   refuse      the seek just sent is refused ("complete K" or "-")
//   done | done-playing   the pipeline confirms (paused, or playing on)
//   watchdog | old-watchdog   the watchdog of the latest or an earlier seek
//   fail | settle   the source fails; the pipeline settles
//   shown       the position reported ("at N" or "at pipeline")
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/engine_core/seek_ledger.h"

namespace corvane::platform {
namespace {

std::string Seconds(TimeSpan time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(time).count());
}

std::string Completions(int count) { return count > 0 ? "complete " + std::to_string(count) : "-"; }

std::string Transcript(const std::string& script) {
  SeekLedger ledger;
  SeekLedger::Media media{true, false, std::chrono::seconds(10)};
  bool switchWaiting = false;
  uint64_t ticket = 0;
  uint64_t previousTicket = 0;
  std::istringstream words(script);
  std::string word;
  std::string transcript;
  const auto say = [&](const std::string& what) { transcript += (transcript.empty() ? "" : " | ") + what; };
  while (words >> word) {
    if (word == "opening") {
      media = {true, false, media.duration};
    } else if (word == "open") {
      media = {false, true, media.duration};
    } else if (word == "unseekable") {
      media = {false, false, media.duration};
    } else if (word == "length") {
      int seconds = 0;
      words >> seconds;
      media.duration = std::chrono::seconds(seconds);
    } else if (word == "set") {
      int seconds = 0;
      words >> seconds;
      ledger.SetPosition(std::chrono::seconds(seconds));
    } else if (word == "restart") {
      ledger.Restart(TimeSpan(0));
    } else if (word == "flush") {
      ledger.FlushHere();
    } else if (word == "switch") {
      switchWaiting = true;
    } else if (word == "pump") {
      const SeekLedger::Decision next = ledger.Next(media, switchWaiting);
      switch (next.step) {
        case SeekLedger::Step::kWait:
          say("wait");
          break;
        case SeekLedger::Step::kNothing:
          say("-");
          break;
        case SeekLedger::Step::kCompleteAll:
          say(Completions(next.completions));
          break;
        case SeekLedger::Step::kSeek:
          say("seek " + Seconds(next.target) + (next.byUser ? "" : " internal"));
          previousTicket = ticket;
          ticket = ledger.Sent(next.target, next.byUser);
          break;
        case SeekLedger::Step::kSeekHere:
          say(next.settled ? "seek here@" + Seconds(*next.settled) : "seek here");
          switchWaiting = false;
          previousTicket = ticket;
          ticket = ledger.Sent(next.settled.value_or(std::chrono::seconds(3)), false);
          break;
      }
    } else if (word == "refuse") {
      say(Completions(ledger.Refused()));
    } else if (word == "done" || word == "done-playing") {
      say(Completions(ledger.Confirmed(word == "done-playing")));
    } else if (word == "watchdog" || word == "old-watchdog") {
      const bool found = ledger.WatchdogFinds(word == "watchdog" ? ticket : previousTicket);
      say(found ? Completions(ledger.Confirmed(false)) : "stale");
    } else if (word == "fail") {
      say(Completions(ledger.Failed()));
    } else if (word == "settle") {
      ledger.Settled();
    } else if (word == "shown") {
      const auto shown = ledger.ShownPosition();
      say(shown ? "at " + Seconds(*shown) : "at pipeline");
    } else {
      ADD_FAILURE() << "unknown word " << word;
    }
  }
  return transcript;
}

struct Row {
  const char* what;
  const char* script;
  const char* transcript;
};

TEST(SeekLedger, Decides) {
  const Row rows[] = {
      {"one seek, one completion", "open set 4 pump shown done shown", "seek 4 | at 4 | complete 1 | at pipeline"},
      {"positions past the end are clamped, before the start raised", "open set 12 pump done set -3 pump done",
       "seek 10 | complete 1 | seek 0 | complete 1"},
      {"an unknown length clamps nothing, a length known later does",
       "open length 0 set 12 pump done length 20 set 30 pump done", "seek 12 | complete 1 | seek 20 | complete 1"},
      {"superseded seeks complete with the last", "open set 1 pump set 2 set 3 shown done pump done",
       "seek 1 | at 3 | - | seek 3 | complete 3"},
      {"a seek during the start seek waits, then goes", "open set 0 pump set 5 pump done pump done",
       "seek 0 | wait | - | seek 5 | complete 2"},
      {"seeks while opening wait for the media", "opening set 2 pump set 6 pump open pump done",
       "wait | wait | seek 6 | complete 2"},
      {"unseekable media completes every position at once", "unseekable set 2 set 3 pump flush restart pump",
       "complete 2 | -"},
      {"the restart after the end is internal", "open restart pump done set 4 pump done",
       "seek 0 internal | - | seek 4 | complete 1"},
      {"a position set replaces the restart", "open restart set 7 pump done pump", "seek 7 | complete 1 | -"},
      {"a flush goes at the settled target", "open set 5 pump done-playing flush pump done",
       "seek 5 | complete 1 | seek here@5 | -"},
      {"a flush after settling asks the pipeline", "open set 5 pump done-playing settle flush pump done",
       "seek 5 | complete 1 | seek here | -"},
      {"a waiting switch flushes; nothing else does", "open pump switch pump done pump", "- | seek here | - | -"},
      {"any seek serves a flush owed", "open flush set 2 pump done pump", "seek 2 | complete 1 | -"},
      {"a refused seek completes, unless superseded", "open set 3 pump refuse set 4 pump set 5 refuse pump done",
       "seek 3 | complete 1 | seek 4 | - | seek 5 | complete 2"},
      {"the watchdog completes a seek never confirmed", "open set 8 pump watchdog done", "seek 8 | complete 1 | -"},
      {"an old watchdog finds nothing", "open set 1 pump done set 2 pump old-watchdog done",
       "seek 1 | complete 1 | seek 2 | stale | complete 1"},
      {"a failure completes everything owed", "open set 1 pump set 2 fail pump set 3 unseekable pump",
       "seek 1 | complete 2 | - | complete 1"},
  };
  for (const Row& row : rows) EXPECT_EQ(Transcript(row.script), row.transcript) << row.what << ": " << row.script;
}

}  // namespace
}  // namespace corvane::platform
