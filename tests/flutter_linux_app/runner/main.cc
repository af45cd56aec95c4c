// The stand-in app's runner. Where a real runner makes a GtkApplication
// whose window's FlView registers the plugins, this one starts our fake
// engine and calls the generated registrant with it on the engine's main
// thread; then it does what an app's Dart code would: create a player,
// listen to its events, open the clip, play it, and watch the frames arrive
// as RGBA through copy_pixels (the clip is red_blue.mp4: red, then blue);
// and finally it closes the engine with the player still playing.
//
//   corvane_app <red_blue.mp4>
// Exits 0 when every step held and the engine saw no rule broken.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fake_flutter_linux/engine.h"
#include "flutter/generated_plugin_registrant.h"
#include "flutter_linux/support/dart_side.h"

namespace {

using corvane::testing::Answer;
using corvane::testing::EventStream;
using corvane::testing::Invoke;
using flutter::EncodableMap;
using flutter::EncodableValue;
using namespace std::chrono_literals;

bool MiddleIs(const fake_flutter_linux::Frame& frame, int r, int g, int b) {
  const uint8_t* pixel = frame.At(frame.width / 2, frame.height / 2);
  return std::abs(pixel[0] - r) <= 8 && std::abs(pixel[1] - g) <= 8 && std::abs(pixel[2] - b) <= 8 && pixel[3] == 255;
}

bool Check(bool held, const char* step) {
  std::printf("%s: %s\n", held ? "ok" : "FAILED", step);
  return held;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <red_blue.mp4>\n", argv[0]);
    return 2;
  }
  const std::string clip = argv[1];
  fake_flutter_linux::Engine engine;
  engine.RunOnMainThread([&] { fl_register_plugins(engine.registry()); });

  bool held = true;
  const Answer created = Invoke(engine, "CorvanePlugin", "create");
  const int64_t id = created.IntegerAt("id");
  held &= Check(created.IsSuccess() && id >= 0, "create answers the player's texture ids");
  EventStream events(engine, "CorvanePlugin/" + std::to_string(id));
  held &= Check(events.Listen().IsSuccess(), "its event channel listens");
  const EncodableValue open(EncodableMap{{EncodableValue("id"), EncodableValue(id)},
                                         {EncodableValue("value"), EncodableValue(clip)}});
  held &= Check(Invoke(engine, "CorvanePlugin", "open", open).IsSuccess(), "open answers");
  held &= Check(events.WaitFor("mediaInfo", 10s).has_value(), "mediaInfo arrives");
  held &= Check(Invoke(engine, "CorvanePlugin", "play", EncodableValue(id)).IsSuccess(), "play answers");
  const auto red = engine.WaitForFrame(
      id, [](const fake_flutter_linux::Frame& frame) { return MiddleIs(frame, 255, 0, 0); }, 5s);
  held &= Check(red.has_value(), "a red frame reads R, G, B, A = 255, 0, 0, 255");
  held &= Check(red && red->rgba.size() == size_t{red->width} * red->height * 4, "its rows are packed");
  held &= Check(engine
                    .WaitForFrame(
                        id, [](const fake_flutter_linux::Frame& frame) { return MiddleIs(frame, 0, 0, 255); }, 5s)
                    .has_value(),
                "then blue frames");

  engine.Shutdown();
  held &= Check(engine.TexturesLeftAtShutdown() == 0, "the plugin unregistered its textures when the engine went");
  for (const std::string& violation : engine.Violations()) held &= Check(false, violation.c_str());
  return held ? 0 : 1;
}
