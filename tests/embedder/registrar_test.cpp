// The registrar's lifetime as a plugin meets it: where the entry point runs,
// which wrapper it gets, what still works while plugins are destroyed, and
// loading a plugin library.
#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "engine_fixture.h"
#include "host/event_channel.h"
#include "host/flutter_desktop.h"
#include "host/plugin_registrar_manager.h"
#include "host/standard_method_codec.h"
#include "platform/linux/glib_handles.h"

namespace corvane::embedder::testing {
namespace {

using flutter::EncodableValue;
using ::testing::HasSubstr;

using ContextRef = platform::MainContextPtr;

class RegistrarTest : public EngineTest {};

TEST_F(RegistrarTest, EntryPoint_RunsOnThePlatformThread_WithItsOwnContextAsThreadDefault) {
  std::thread::id entryThread;
  ContextRef context;
  ASSERT_TRUE(engine_->RegisterPlugin([&](FlutterDesktopPluginRegistrarRef) {
    entryThread = std::this_thread::get_id();
    context.reset(g_main_context_ref_thread_default());  // Adopt: ref_thread_default returns a new reference
  }));
  EXPECT_EQ(entryThread, PlatformThreadId());
  ASSERT_NE(context, nullptr);
  EXPECT_NE(context.get(), g_main_context_default());

  // What a plugin posts to that context runs on the platform thread.
  struct Task {
    std::atomic<bool> ran{false};
    std::thread::id thread;
  } task;
  g_main_context_invoke_full(
      context.get(), G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* posted = static_cast<Task*>(data);
        posted->thread = std::this_thread::get_id();
        posted->ran = true;
        return G_SOURCE_REMOVE;
      },
      &task, nullptr);
  for (int i = 0; i < 500 && !task.ran.load(); ++i) std::this_thread::sleep_for(2ms);
  ASSERT_TRUE(task.ran.load());
  EXPECT_EQ(task.thread, entryThread);
}

TEST_F(RegistrarTest, TwoEngines_HaveTheirOwnPlatformThreadsAndContexts) {
  std::unique_ptr<Engine> other = Engine::Start();
  GMainContext* first = nullptr;
  GMainContext* second = nullptr;
  engine_->RunOnPlatformThread([&] { first = g_main_context_get_thread_default(); });
  other->RunOnPlatformThread([&] { second = g_main_context_get_thread_default(); });
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_NE(engine_->Registrar(), other->Registrar());
  EXPECT_TRUE(other->Shutdown());
}

TEST_F(RegistrarTest, TasksPostedAfterShutdown_NeverRun) {
  ContextRef context;
  ASSERT_TRUE(engine_->RegisterPlugin(
      [&](FlutterDesktopPluginRegistrarRef) { context.reset(g_main_context_ref_thread_default()); }));
  ASSERT_TRUE(engine_->Shutdown());

  std::atomic<bool> ran{false};
  g_main_context_invoke_full(
      context.get(), G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        static_cast<std::atomic<bool>*>(data)->store(true);
        return G_SOURCE_REMOVE;
      },
      &ran, nullptr);
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(ran.load());
  EXPECT_FALSE(engine_->PostToPlatformThread([&] { ran = true; }));
}

TEST_F(RegistrarTest, SecondGetRegistrar_ForTheSameHandle_ReturnsTheFirstWrapper) {
  std::vector<flutter::PluginRegistrarWindows*> wrappers;
  std::atomic<int> destroyed{0};
  for (int i = 0; i < 2; ++i) {
    ScriptedPluginConfig config;
    config.onRegistered = [&](flutter::PluginRegistrarWindows& registrar) { wrappers.push_back(&registrar); };
    config.onDestroyed = [&](flutter::PluginRegistrarWindows&) { ++destroyed; };
    Register(config);
  }
  ASSERT_EQ(wrappers.size(), 2u);
  EXPECT_EQ(wrappers[0], wrappers[1]);

  engine_->Shutdown();
  EXPECT_EQ(destroyed.load(), 2);
}

TEST_F(RegistrarTest, Shutdown_DestroysPlugins_WhileMessengerAndTextureRegistrarStillWork) {
  struct Observed {
    bool availableDuringDestruction = false;
    bool eventSent = false;
    std::atomic<bool> unregistrationCompleted{false};
    FlutterDesktopMessengerRef messenger = nullptr;
  } observed;
  int64_t textureId = -1;
  auto texture = std::make_shared<flutter::TextureVariant>(
      flutter::PixelBufferTexture([](size_t, size_t) -> const FlutterDesktopPixelBuffer* { return nullptr; }));

  ScriptedPluginConfig config;
  config.onRegistered = [&](flutter::PluginRegistrarWindows& registrar) {
    textureId = registrar.texture_registrar()->RegisterTexture(texture.get());
    observed.messenger = FlutterDesktopMessengerAddRef(FlutterDesktopPluginRegistrarGetMessenger(registrar.registrar()));
  };
  config.onDestroyed = [&](flutter::PluginRegistrarWindows& registrar) {
    observed.availableDuringDestruction = FlutterDesktopMessengerIsAvailable(observed.messenger);
    flutter::EventChannel<EncodableValue>::EventSinkImplementation sink(
        registrar.messenger(), kEventChannel, &flutter::StandardMethodCodec::GetInstance());
    sink.Success(EncodableValue("goodbye"));
    observed.eventSent = true;
    registrar.texture_registrar()->UnregisterTexture(textureId, [&] { observed.unregistrationCompleted = true; });
  };
  Register(config);
  ASSERT_GT(textureId, 0);
  EventStream stream(*engine_, kEventChannel);

  ASSERT_TRUE(engine_->Shutdown());

  EXPECT_TRUE(observed.availableDuringDestruction);
  EXPECT_TRUE(observed.eventSent);
  EXPECT_TRUE(observed.unregistrationCompleted.load());
  std::optional<StreamEvent> goodbye = stream.WaitForEvent(1s);
  ASSERT_TRUE(goodbye.has_value());
  EXPECT_EQ(goodbye->value, EncodableValue("goodbye"));
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(observed.messenger));
  FlutterDesktopMessengerRelease(observed.messenger);
}

TEST_F(RegistrarTest, LoadedAndInProcessPlugins_OnOneEngine_ServeAndAreAllDestroyedAtShutdown) {
  std::atomic<bool> inProcessDestroyed{false};
  std::atomic<bool> goodbyeHeard{false};
  engine_->SetDartHandler("loaded/goodbye", [&](const std::vector<uint8_t>& message) {
    goodbyeHeard = message == std::vector<uint8_t>{'b', 'y', 'e'};
    return std::vector<uint8_t>();
  });
  ScriptedPluginConfig config;
  config.onDestroyed = [&](flutter::PluginRegistrarWindows&) { inProcessDestroyed = true; };
  Register(config);
  ASSERT_EQ(engine_->LoadPlugin(CORVANE_TEST_PLUGIN_PATH), "");
  MethodResponse response = InvokeMethod(*engine_, "loaded/methods", "ping");
  ASSERT_EQ(response.kind, MethodResponse::Kind::kSuccess) << response.Describe();
  EXPECT_EQ(response.value, EncodableValue("pong"));

  ASSERT_TRUE(engine_->Shutdown());

  EXPECT_TRUE(inProcessDestroyed.load());
  EXPECT_TRUE(goodbyeHeard.load());
}

TEST_F(RegistrarTest, LoadPlugin_SaysWhyALibraryCannotServe) {
  EXPECT_THAT(engine_->LoadPlugin("/nonexistent/libplugin.so"), HasSubstr("cannot load /nonexistent/libplugin.so"));
  EXPECT_THAT(engine_->LoadPlugin(CORVANE_EMBEDDER_PATH), HasSubstr("has no CorvanePluginCApiRegisterWithRegistrar"));
}

}  // namespace
}  // namespace corvane::embedder::testing
