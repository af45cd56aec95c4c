// A running engine per test, shut down at the end of it.
#ifndef CORVANE_TESTS_EMBEDDER_ENGINE_FIXTURE_H_
#define CORVANE_TESTS_EMBEDDER_ENGINE_FIXTURE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "scripted_plugin.h"

namespace corvane::embedder::testing {

using namespace std::chrono_literals;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = Engine::Start(options_);
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override {
    if (engine_) engine_->Shutdown();
  }

  void Register(ScriptedPluginConfig config) {
    ASSERT_TRUE(engine_->RegisterPlugin(ScriptedPluginEntry(std::move(config))));
  }

  void RegisterMethods(flutter::MethodCallHandler<flutter::EncodableValue> handler) {
    ScriptedPluginConfig config;
    config.onMethodCall = std::move(handler);
    Register(std::move(config));
  }

  // Returns once every task queued on the platform thread before it ran.
  void DrainPlatformThread() { ASSERT_TRUE(engine_->RunOnPlatformThread([] {})); }

  std::thread::id PlatformThreadId() {
    std::thread::id id;
    engine_->RunOnPlatformThread([&] { id = std::this_thread::get_id(); });
    return id;
  }

  MethodResponse Call(const std::string& method, const flutter::EncodableValue& arguments = {},
                      std::chrono::milliseconds timeout = kDefaultReplyTimeout) {
    return InvokeMethod(*engine_, kMethodChannel, method, arguments, timeout);
  }

  EngineOptions options_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace corvane::embedder::testing

#endif  // CORVANE_TESTS_EMBEDDER_ENGINE_FIXTURE_H_
