// corvane_plugin.dll loaded as a Flutter app loads it, beside a fake
// flutter_windows.dll, and driven through its method channel under Wine.
// Wine has neither Windows.Media.Playback nor a dispatcher queue, so this
// shows the DLL loads, registers, answers and cleans up on the tiers Wine
// offers; the media path itself needs real Windows.
//
// The plugin's debug lines are read from standard error (CORVANE_DEBUG=1,
// set before the DLL loads; see stderr_capture.h).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "fake_flutter_host.h"
#include "host_session.h"
#include "stderr_capture.h"

namespace corvane::windows_test {
namespace {

using ::testing::HasSubstr;
using Kind = MethodReply::Kind;

constexpr char kChannel[] = "CorvanePlugin";

struct ModuleFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

std::wstring BesideExecutable(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

// True when `expected` occurs in `lines` in this order (other lines may
// come between).
bool ContainsInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  size_t next = 0;
  for (const std::string& line : lines) {
    if (next < expected.size() && line == expected[next]) ++next;
  }
  return next == expected.size();
}

size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  size_t count = 0;
  for (const std::string& each : lines) count += each == line ? 1 : 0;
  return count;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line;
  return text;
}

// Wine reports the Windows version its prefix is set to: Windows 7 by
// default, Windows 10 for a program named in the prefix's AppDefaults (how
// CMakeLists.txt runs this program a second time).
bool ReportsWindows10OrLater() {
  OSVERSIONINFOEXW wanted = {};
  wanted.dwOSVersionInfoSize = sizeof wanted;
  wanted.dwMajorVersion = 10;
  const ULONGLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&wanted, VER_MAJORVERSION, condition) != FALSE;
}

// What each registration logs for the dispatcher queue under Wine. As
// Windows 10: no Windows.System.DispatcherQueue class and no
// CoreMessaging.dll, so the message window is the tier. As an older Windows:
// no Windows Runtime queue is tried, and the message window serves. Never
// inline. The capability probe's own lines come once per process and are
// not part of it.
std::vector<std::string> WineQueueTier() {
  if (ReportsWindows10OrLater()) {
    return {
        "CorvanePlugin: Initializing global resources\n",
        "CorvanePlugin: COM initialized in initGlobal\n",
        "CorvanePlugin: DispatcherQueue::GetForCurrentThread() failed or not available\n",
        "CorvanePlugin: Attempting to create DispatcherQueueController\n",
        "CorvanePlugin: CoreMessaging.dll not found - running on older Windows version\n",
        "CorvanePlugin: Running without DispatcherQueueController\n",
        "CorvanePlugin: Using a message window for the dispatcher queue\n",
    };
  }
  return {
      "CorvanePlugin: Initializing global resources\n",
      "CorvanePlugin: COM initialized in initGlobal\n",
      "CorvanePlugin: Skipping DispatcherQueue creation on pre-1803 Windows\n",
      "CorvanePlugin: Using a message window for the dispatcher queue\n",
  };
}

class PluginDllTest : public ::testing::Test {
 protected:
  // The DLL stays loaded for the whole suite, as in an app.
  static void SetUpTestSuite() {
    // The plugin reads it at its first line, so before it loads.
    _putenv("CORVANE_DEBUG=1");
    const std::wstring path = BesideExecutable(L"corvane_plugin.dll");
    plugin_.reset(LoadLibraryW(path.c_str()));
    if (!plugin_) {
      loadError_ = GetLastError();
      return;
    }
    // Through void(*)(): GetProcAddress's type says nothing of the function.
    entry_ = reinterpret_cast<RegisterWithRegistrar>(reinterpret_cast<void (*)()>(
        GetProcAddress(plugin_.get(), "CorvanePluginCApiRegisterWithRegistrar")));
  }
  static void TearDownTestSuite() {
    entry_ = nullptr;
    plugin_.reset();
  }

  void SetUp() override {
    ASSERT_TRUE(plugin_) << "LoadLibrary(corvane_plugin.dll) failed with " << loadError_;
    ASSERT_NE(entry_, nullptr) << "corvane_plugin.dll does not export CorvanePluginCApiRegisterWithRegistrar";
    ASSERT_TRUE(log_.active());
    entry_(session_.registrar());
    ASSERT_TRUE(FakeFlutterHostHasHandler(session_.host(), kChannel)) << "registration installed no handler";
  }

  void TearDown() override { EXPECT_EQ(FakeFlutterHostMisuseCount(session_.host()), 0u) << log_.Text(); }

  static UniqueModule plugin_;
  static DWORD loadError_;
  static RegisterWithRegistrar entry_;

  // Outlives the session, so its shutdown is captured as well.
  StderrCapture log_;
  HostSession session_;
};

UniqueModule PluginDllTest::plugin_;
DWORD PluginDllTest::loadError_ = 0;
RegisterWithRegistrar PluginDllTest::entry_ = nullptr;

TEST_F(PluginDllTest, Create_AnswersEngineError_WhenMediaPlayerCannotBeActivated) {
  const MethodReply reply = session_.Call(kChannel, "create");

  ASSERT_EQ(reply.kind, Kind::kError) << reply.Describe();
  EXPECT_EQ(reply.errorCode, "engine_error");
  // REGDB_E_CLASSNOTREG: Wine registers no Windows.Media.Playback.MediaPlayer.
  EXPECT_THAT(reply.errorMessage, HasSubstr("0x80040154"));
  // No player was made: no texture, no event channel "CorvanePlugin/<id>".
  EXPECT_EQ(FakeFlutterHostTextureCount(session_.host()), 0u);
  EXPECT_EQ(FakeFlutterHostHandlerCount(session_.host()), 1u);
  // And the plugin goes on answering.
  EXPECT_EQ(session_.Call(kChannel, "dispose").kind, Kind::kSuccess);
}

TEST_F(PluginDllTest, UnknownMethod_AnswersNotImplemented) {
  const MethodReply reply = session_.Call(kChannel, "rewind");

  EXPECT_EQ(reply.kind, Kind::kNotImplemented) << reply.Describe();
}

TEST_F(PluginDllTest, Registration_ChoosesTheQueueTierWineOffers_AndLogsIt) {
  const std::vector<std::string> lines = log_.PluginLines();

  EXPECT_TRUE(ContainsInOrder(lines, WineQueueTier())) << Joined(lines);
  EXPECT_EQ(Count(lines, "CorvanePlugin: Failed to create a message window for the dispatcher queue\n"), 0u);
}

// Wine's Direct3D works under a display (Xvfb in CI) and fails without one;
// either way the plugin is registered (SetUp checks its handler) and says
// which way it went.
TEST_F(PluginDllTest, Registration_MakesTheDirect3DDeviceWhereItCan_AndRegistersEitherWay) {
  const std::vector<std::string> lines = log_.PluginLines();
  const bool withoutDisplay = std::getenv("CORVANE_EXPECT_NO_D3D11_DEVICE") != nullptr;

  EXPECT_EQ(Count(lines, "CorvanePlugin: D3D11 device created successfully\n"), withoutDisplay ? 0u : 1u)
      << Joined(lines);
  EXPECT_EQ(Count(lines, "CorvanePlugin: Failed to create D3D11 device\n"), withoutDisplay ? 1u : 0u)
      << Joined(lines);
  EXPECT_EQ(session_.Call(kChannel, "rewind").kind, Kind::kNotImplemented);
}

TEST_F(PluginDllTest, DestroyingTheRegistrar_CleansUpAndRemovesTheHandler) {
  FakeFlutterHostDestroyRegistrar(session_.host());

  EXPECT_TRUE(ContainsInOrder(log_.PluginLines(), {
                                                      "CorvanePlugin: Cleaning up global resources\n",
                                                      "CorvanePlugin: COM uninitialized\n",
                                                      "CorvanePlugin: Global cleanup completed\n",
                                                  }))
      << Joined(log_.PluginLines());
  EXPECT_EQ(FakeFlutterHostHandlerCount(session_.host()), 0u);
  EXPECT_EQ(FakeFlutterHostMessengerReferences(session_.host()), 0);
  EXPECT_EQ(session_.Call(kChannel, "create").kind, Kind::kNoHandler);
}

// A second engine in the same process, after the first has gone: nothing the
// first registration made (its window, its apartment) stands in the way.
TEST_F(PluginDllTest, RegisteringAgain_AfterTheFirstRegistrarIsDestroyed_SetsUpAfresh) {
  FakeFlutterHostDestroyRegistrar(session_.host());
  HostSession second;
  entry_(second.registrar());

  ASSERT_TRUE(FakeFlutterHostHasHandler(second.host(), kChannel));
  EXPECT_EQ(second.Call(kChannel, "rewind").kind, Kind::kNotImplemented);
  const std::vector<std::string> lines = log_.PluginLines();
  EXPECT_EQ(Count(lines, WineQueueTier().back()), 2u) << Joined(lines);
  FakeFlutterHostDestroyRegistrar(second.host());
  EXPECT_EQ(Count(log_.PluginLines(), "CorvanePlugin: Global cleanup completed\n"), 2u);
  EXPECT_EQ(FakeFlutterHostMisuseCount(second.host()), 0u);
}

}  // namespace
}  // namespace corvane::windows_test
