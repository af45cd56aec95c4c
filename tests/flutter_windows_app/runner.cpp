// A Flutter Windows app's runner, reduced to what the plugin meets: the
// generated registrant's call through the public header, on an engine that
// the fake flutter_windows.dll stands in for. Under Wine, which has no
// Windows.Media.Playback: prints one line per check, then PASS or FAIL, and
// exits 0 only when every check holds.
#include <corvane/corvane_plugin_c_api.h>

#include <cstdio>
#include <string>

#include "fake_flutter_host.h"
#include "host_session.h"

namespace {

using corvane::windows_test::HostSession;
using corvane::windows_test::MethodReply;
using Kind = MethodReply::Kind;

constexpr char kChannel[] = "CorvanePlugin";

int failures = 0;

void Check(bool holds, const std::string& what) {
  std::printf("%s: %s\n", holds ? "ok" : "FAILED", what.c_str());
  if (!holds) ++failures;
}

}  // namespace

int main() {
  {
    HostSession session;
    // generated_plugin_registrant.cc:
    //   CorvanePluginCApiRegisterWithRegistrar(registry->GetRegistrarForPlugin("CorvanePluginCApi"));
    CorvanePluginCApiRegisterWithRegistrar(session.registrar());
    Check(FakeFlutterHostHasHandler(session.host(), kChannel), "registration installs the \"CorvanePlugin\" handler");

    const MethodReply unknown = session.Call(kChannel, "rewind");
    Check(unknown.kind == Kind::kNotImplemented, "an unknown method answers not-implemented: " + unknown.Describe());

    const MethodReply create = session.Call(kChannel, "create");
    Check(create.kind == Kind::kError && create.errorCode == "engine_error" &&
              create.errorMessage.find("0x80040154") != std::string::npos,
          "\"create\" answers engine_error 0x80040154 (no MediaPlayer class under Wine): " + create.Describe());
    Check(FakeFlutterHostTextureCount(session.host()) == 0 && FakeFlutterHostHandlerCount(session.host()) == 1,
          "the failed \"create\" leaves no texture and no event channel");

    FakeFlutterHostDestroyRegistrar(session.host());
    Check(!FakeFlutterHostHasHandler(session.host(), kChannel), "destroying the registrar removes the handler");
    Check(FakeFlutterHostMessengerReferences(session.host()) == 0, "no messenger reference is left");
    Check(FakeFlutterHostMisuseCount(session.host()) == 0, "the engine functions were called as the embedding demands");
  }
  std::printf("runner: %d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
