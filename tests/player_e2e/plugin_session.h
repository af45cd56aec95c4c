// The plugin as a Flutter app meets it: libcorvane_plugin.so loaded with
// dlopen into the Linux host library, driven over "CorvanePlugin" with the
// Dart-side client, each player's events read from its own channel and its
// textures fetched the way the raster thread fetches them.
#ifndef CORVANE_TESTS_PLAYER_E2E_PLUGIN_SESSION_H_
#define CORVANE_TESTS_PLAYER_E2E_PLUGIN_SESSION_H_

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "embedder/dart_client.h"
#include "embedder/engine.h"

namespace corvane::testing {

using flutter::EncodableMap;
using flutter::EncodableValue;
using namespace std::chrono_literals;

// One player seen from Dart: its ids and its event stream (listening from
// creation on).
struct DartPlayer {
  int64_t id = -1;
  int64_t subtitleId = -1;
  std::unique_ptr<embedder::EventStream> events;
};

class PluginSession : public ::testing::Test {
 protected:
  // Textures are fetched right after every frame mark.
  static embedder::EngineOptions DefaultOptions() {
    embedder::EngineOptions options;
    options.frameInterval = std::chrono::microseconds(0);
    return options;
  }
  void SetUp() override;
  void TearDown() override;

  // "create" and "listen"; a failed step fails the test (check id >= 0).
  DartPlayer Create();
  embedder::MethodResponse Call(const std::string& method, const EncodableValue& arguments = EncodableValue());
  // A player method whose arguments are {"id": id, key: value}.
  embedder::MethodResponse CallWith(int64_t id, const std::string& method, const char* key, EncodableValue value);
  // "open" of an absolute path or URL; fails the test when not answered with success.
  void Open(const DartPlayer& player, const std::string& source);
  void Play(const DartPlayer& player);

  embedder::Engine& engine() { return *engine_; }

  // The host library's options; a fixture may change them before SetUp.
  embedder::EngineOptions options_ = DefaultOptions();

 private:
  std::unique_ptr<embedder::Engine> engine_;
};

// The next event named one of `names` (others are passed over).
std::optional<embedder::StreamEvent> WaitForAnyOf(embedder::EventStream& events,
                                                  std::initializer_list<const char*> names,
                                                  std::chrono::milliseconds timeout);
// Names of every event received so far, in order.
std::vector<std::string> EventNames(const embedder::EventStream& events);
// The integer under `key`, or `fallback` when missing or not an integer.
int64_t IntegerOf(const embedder::StreamEvent& event, const char* key, int64_t fallback = -1);
// Values of the "position" events received so far.
std::vector<int64_t> Positions(const embedder::EventStream& events);

// Colour checks on the middle of a frame (BGRA, opaque).
bool IsRed(const embedder::TextureFrame& frame);
bool IsBlue(const embedder::TextureFrame& frame);
// Number of pixel columns that hold any visibly opaque subtitle ink.
size_t InkColumns(const embedder::TextureFrame& frame);

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLAYER_E2E_PLUGIN_SESSION_H_
