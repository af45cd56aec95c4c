// Window mode (SDL2): each player's video with its subtitles over it,
// scaled with the video's aspect ratio into its cell of the window, a
// status line below, and the keys of key_map.h.
#ifndef CORVANE_APPS_PLAY_WINDOW_RUNNER_H_
#define CORVANE_APPS_PLAY_WINDOW_RUNNER_H_

#include <memory>
#include <ostream>
#include <string>

#include "options.h"
#include "plugin_session.h"

namespace corvane::play {

// The SDL window and renderer; main thread only.
class Window {
 public:
  // Null, with `error` set, when there is no usable display; the caller
  // may then run headless.
  static std::unique_ptr<Window> Open(const Options& options, std::string* error);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Runs until q, the window is closed, or --duration of media time has
  // played; returns the exit code (headless_runner.h). The window stays
  // open at the end of the media.
  int Run(const Options& options, PluginSession& session, std::ostream& out, std::ostream& err);

 private:
  struct Parts;
  explicit Window(std::unique_ptr<Parts> parts);
  std::unique_ptr<Parts> parts_;
};

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_WINDOW_RUNNER_H_
