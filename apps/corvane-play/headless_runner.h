// Headless mode: no window. Every reply and every event goes to `out` as
// one JSON line; snapshots are written as PNG files; the run ends at the
// end of the media, or once --duration of media time has played.
#ifndef CORVANE_APPS_PLAY_HEADLESS_RUNNER_H_
#define CORVANE_APPS_PLAY_HEADLESS_RUNNER_H_

#include <memory>
#include <ostream>

#include "options.h"
#include "plugin_session.h"

namespace corvane::play {

// Exit codes of the program.
enum ExitCode {
  kExitOk = 0,
  kExitPlaybackFailed = 1,  // an "error" event, a refused call, a snapshot not taken
  kExitUsage = 2,
  kExitNoPlugin = 3,        // the host engine or the plugin could not be started
  kExitStalled = 4,         // nothing came from the plugin for too long
};

// Runs to the end and returns the exit code. The session is disposed (and
// its "dispose" replies printed) before the final line, {"type":"exit",...}.
int RunHeadless(const Options& options, std::unique_ptr<PluginSession> session, std::ostream& out,
                std::ostream& err);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_HEADLESS_RUNNER_H_
