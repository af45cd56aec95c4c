// Registration and the registration's resources, through the host library:
// apartment balancing, the capability outcomes, the shared device, and the
// calls that need no player.
#include <gtest/gtest.h>

#include "fake/fake_media_engine.h"
#include "plugin/fake_surface_device.h"
#include "plugin/plugin_harness.h"

namespace corvane::testing {
namespace {

using embedder::MethodResponse;
using namespace std::chrono_literals;

TEST(PluginRegistration, SetsUpAndCleansUp_InOrder_BalancingTheApartment) {
  LogRecorder log;
  FakePlatformLayer layer;
  layer.apartmentAnswer = platform::kFalse;  // already initialised here: still ours to balance
  layer.makeDevice = [] { return std::make_shared<FakeSurfaceDevice>(); };
  {
    PluginHarness host(layer);
    ASSERT_TRUE(host.Register());
    EXPECT_TRUE(host.Call("dispose").IsSuccess());
    host.Shutdown();
  }
  EXPECT_EQ(layer.apartmentInits, 1);
  EXPECT_EQ(layer.apartmentUninits, 1);
  const std::vector<std::string> expected = {
      "CorvanePlugin: Initializing global resources\n",   "CorvanePlugin: COM initialized in initGlobal\n",
      "CorvanePlugin: Full API support available\n",     "CorvanePlugin: D3D11 device created successfully\n",
      "CorvanePlugin: Cleaning up global resources\n",   "CorvanePlugin: COM uninitialized\n",
      "CorvanePlugin: Global cleanup completed\n"};
  int previous = -1;
  for (const auto& line : expected) {
    const int at = log.IndexOf(line);
    EXPECT_GT(at, previous) << line;
    previous = at;
  }
}

TEST(PluginRegistration, DoesNotUninitialize_AnApartmentOfAnotherModel) {
  LogRecorder log;
  FakePlatformLayer layer;
  layer.apartmentAnswer = platform::kChangedMode;
  {
    PluginHarness host(layer);
    ASSERT_TRUE(host.Register());
  }
  EXPECT_EQ(layer.apartmentUninits, 0);
  EXPECT_FALSE(log.Has("CorvanePlugin: COM uninitialized\n"));
}

TEST(PluginRegistration, ReportsEachMissingFacility_AndStillAnswers) {
  struct Case {
    const char* name;
    bool modern, withQueue;
    const char* line;
  };
  for (const Case& c : {Case{"pre-1803 system", false, true,
                             "CorvanePlugin: Skipping DispatcherQueue creation on pre-1803 Windows\n"},
                        Case{"no queue", true, false, "CorvanePlugin: Running without DispatcherQueueController\n"},
                        Case{"no device", true, true, "CorvanePlugin: Failed to create D3D11 device\n"}}) {
    SCOPED_TRACE(c.name);
    LogRecorder log;
    FakePlatformLayer layer;
    layer.modern = c.modern;
    layer.withQueue = c.withQueue;
    PluginHarness host(layer);
    ASSERT_TRUE(host.Register());
    EXPECT_TRUE(log.Has(c.line));
    EXPECT_EQ(host.Call("nothing").kind, MethodResponse::Kind::kNotImplemented);
    if (!c.modern) {
      EXPECT_TRUE(log.Has("CorvanePlugin: Using fallback mode for older Windows\n"));
      EXPECT_EQ(layer.queueRequests, 1) << "an older system still gets the queue the layer can offer";
    }
  }
}

TEST(PluginRegistration, OnAnOldSystem_PlayersGetNoFrameServerNorFrameHandlers) {
  LogRecorder log;
  FakePlatformLayer layer;
  layer.modern = false;
  auto engine = std::make_shared<FakeMediaEngine>();
  layer.makeEngine = [engine] { return engine; };
  PluginHarness host(layer);
  ASSERT_TRUE(host.Register());
  ASSERT_TRUE(host.Call("create").IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Video frame server not supported on this Windows version\n"));
  EXPECT_TRUE(log.Has("CorvanePlugin: Video frame handlers not supported on this Windows version\n"));
  EXPECT_FALSE(engine->LastPlayer()->Called("IsVideoFrameServerEnabled set"));
  EXPECT_TRUE(engine->LastPlayer()->Called("CommandManager.IsEnabled set", "false"));
  engine->LastPlayer()->Raise(kVideoFrameAvailable);
  ASSERT_TRUE(engine->WaitIdle(5s));
  EXPECT_EQ(engine->LastPlayer()->HandlerCount(kVideoFrameAvailable), 0u) << "a frame handler was subscribed";
}

TEST(PluginRegistration, WithoutAQueue_EngineTasksRunInline_OnTheEngineThread) {
  FakePlatformLayer layer;
  layer.withQueue = false;
  auto engine = std::make_shared<FakeMediaEngine>();
  layer.makeEngine = [engine] { return engine; };
  PluginHarness host(layer);
  ASSERT_TRUE(host.Register());
  const int64_t id = host.Create();
  embedder::EventStream events(host.engine(), PluginHarness::ChannelOf(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(host.Call("open", Args({{"id", EncodableValue(id)}, {"value", EncodableValue("/m/a.mp4")}})).IsSuccess());
  EXPECT_TRUE(events.WaitForEventNamed("mediaInfo", 5s));
  EXPECT_TRUE(engine->LastPlayer()->Called("Volume set")) << "the loading pass did not run";
}

TEST(PluginRegistration, TwoEngines_ShareOneDevice_UntilTheLastPluginGoes) {
  FakePlatformLayer layer;
  std::weak_ptr<FakeSurfaceDevice> made;
  layer.makeDevice = [&] {
    auto device = std::make_shared<FakeSurfaceDevice>();
    made = device;
    return device;
  };
  auto first = std::make_unique<PluginHarness>(layer);
  auto second = std::make_unique<PluginHarness>(layer);
  ASSERT_TRUE(first->Register());
  ASSERT_TRUE(second->Register());
  EXPECT_EQ(layer.devicesMade, 1);
  first.reset();
  EXPECT_FALSE(made.expired()) << "one plugin's destruction released what the other uses";
  EXPECT_TRUE(second->Call("dispose").IsSuccess());
  second.reset();
  EXPECT_TRUE(made.expired());
}

TEST(PluginRegistration, AnswersCallsWithoutAPlayer) {
  FakePlatformLayer layer;  // no engine: "create" must fail cleanly
  PluginHarness host(layer);
  ASSERT_TRUE(host.Register());

  EXPECT_EQ(host.Call("Play", EncodableValue(int64_t{1})).kind, MethodResponse::Kind::kNotImplemented);
  EXPECT_EQ(host.Call("stop", EncodableValue(int64_t{1})).kind, MethodResponse::Kind::kNotImplemented);
  ExpectError(host.Call("play", EncodableValue(int64_t{7})), "unknown_player", "7");
  ExpectError(host.Call("open", Args({{"id", EncodableValue(int64_t{9})}, {"value", EncodableValue("a.mp4")}})),
              "unknown_player", "9");
  EXPECT_TRUE(host.Call("dispose", EncodableValue(int64_t{7})).IsSuccess());
  EXPECT_TRUE(host.Call("dispose").IsSuccess());
  ExpectError(host.Call("open", EncodableValue(int64_t{7})), "invalid_argument", "open");
  ExpectError(host.Call("close", EncodableValue("7")), "invalid_argument", "close");
  ExpectError(host.Call("create"), "engine_error", "0x80004005");
  // A failed lookup adds no player: the id is still unknown afterwards.
  ExpectError(host.Call("pause", EncodableValue(int64_t{7})), "unknown_player", "7");
}

}  // namespace
}  // namespace corvane::testing
