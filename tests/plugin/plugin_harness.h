// The plugin as Dart meets it: registered on the Linux host library's
// engine (in process, with a chosen platform layer), driven over its method
// channel, with the debug log collected.
#ifndef CORVANE_TESTS_PLUGIN_PLUGIN_HARNESS_H_
#define CORVANE_TESTS_PLUGIN_PLUGIN_HARNESS_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "platform/debug_log.h"
#include "plugin/corvane_plugin.h"
#include "plugin/fake_platform_layer.h"

namespace corvane::testing {

using flutter::EncodableMap;
using flutter::EncodableValue;

// Every debug line written while it lives.
class LogRecorder {
 public:
  LogRecorder() : observer_([this](const std::string& line) { Add(line); }) {}
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  size_t Count(const std::string& line) const {
    auto lines = Lines();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
  bool Has(const std::string& line) const { return Count(line) > 0; }
  // Position of the first occurrence, or -1.
  int IndexOf(const std::string& line) const {
    auto lines = Lines();
    auto found = std::find(lines.begin(), lines.end(), line);
    return found == lines.end() ? -1 : static_cast<int>(found - lines.begin());
  }

 private:
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  platform::ScopedDebugLogObserver observer_;
};

inline EncodableValue Args(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) map[EncodableValue(std::string(key))] = value;
  return EncodableValue(std::move(map));
}

class PluginHarness {
 public:
  explicit PluginHarness(FakePlatformLayer& layer, embedder::EngineOptions options = FastFrames())
      : engine_(embedder::Engine::Start(options)), layer_(layer) {}
  ~PluginHarness() { Shutdown(); }

  static embedder::EngineOptions FastFrames() {
    embedder::EngineOptions options;
    options.frameInterval = std::chrono::microseconds(0);
    return options;
  }

  bool Register() {
    return engine_->RegisterPlugin(
        [this](FlutterDesktopPluginRegistrarRef registrar) { plugin::RegisterCorvanePlugin(registrar, layer_); });
  }

  embedder::MethodResponse Call(const std::string& method, const EncodableValue& arguments = EncodableValue()) {
    return embedder::InvokeMethod(*engine_, "CorvanePlugin", method, arguments);
  }

  // "create", returning the player id (or -1 with a test failure).
  int64_t Create() {
    const auto response = Call("create");
    EXPECT_TRUE(response.IsSuccess()) << response.Describe();
    if (!response.IsSuccess()) return -1;
    const auto& map = std::get<EncodableMap>(response.value);
    return std::get<int64_t>(map.at(EncodableValue("id")));
  }

  int64_t SubtitleId(const embedder::MethodResponse& created) {
    return std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("subId")));
  }

  static std::string ChannelOf(int64_t id) { return "CorvanePlugin/" + std::to_string(id); }

  void Shutdown() {
    if (engine_) engine_->Shutdown();
  }

  embedder::Engine& engine() { return *engine_; }

 private:
  std::unique_ptr<embedder::Engine> engine_;
  FakePlatformLayer& layer_;
};

// Expects an error reply with `code` whose message contains `fragment`.
inline void ExpectError(const embedder::MethodResponse& response, const std::string& code,
                        const std::string& fragment) {
  ASSERT_EQ(response.kind, embedder::MethodResponse::Kind::kError) << response.Describe();
  EXPECT_EQ(response.errorCode, code) << response.Describe();
  EXPECT_NE(response.errorMessage.find(fragment), std::string::npos) << response.Describe();
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLUGIN_PLUGIN_HARNESS_H_
