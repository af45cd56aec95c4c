// A cue already showing when the position gets somewhere is drawn at once,
// whatever brought the position there and whatever the subtitle format.
// The clips (cue_span.*) have a keyframe every second and one cue from 1.5
// to 7.5 s on each subtitle track, of a different length per track, so a
// jump to 4 s restarts the demuxer after the cue began: the cue is never
// read again on its own.
#include <gtest/gtest.h>

#include "player_e2e/plugin_session.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

enum class Reached { kStartPosition, kSeek, kSwitch, kShownAgain };

struct CueCase {
  const char* name;
  const char* media;
  int32_t track;     // the subtitle track whose cue must show
  const char* language;
  int32_t other;     // another subtitle track, shown before a switch
  Reached reached;
};

constexpr int64_t kInsideTheCue = 4000;

class CueInProgress : public PluginSession, public ::testing::WithParamInterface<CueCase> {
 protected:
  void Send(int64_t id, const std::string& method, EncodableMap arguments) {
    arguments[EncodableValue("id")] = EncodableValue(id);
    const auto answer = Call(method, EncodableValue(std::move(arguments)));
    ASSERT_TRUE(answer.IsSuccess()) << method << ": " << answer.Describe();
  }
  void Override(int64_t id, int32_t track) {
    Send(id, "overrideTrack", {{EncodableValue("groupId"), EncodableValue(2)},
                               {EncodableValue("trackId"), EncodableValue(track)},
                               {EncodableValue("enabled"), EncodableValue(true)}});
  }
  void SeekAndWait(DartPlayer& player, int64_t position) {
    Send(player.id, "seekTo", {{EncodableValue("position"), EncodableValue(position)}});
    ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 10s));
  }
  // The width of the ink the subtitle texture holds once some is drawn.
  size_t InkOnceDrawn(const DartPlayer& player, size_t unlike = 0) {
    const auto frame = engine().WaitForFrame(
        player.subtitleId,
        [unlike](const embedder::TextureFrame& f) { return InkColumns(f) > 0 && InkColumns(f) != unlike; }, 3s);
    return frame ? InkColumns(*frame) : 0;
  }
};

TEST_P(CueInProgress, IsDrawnAtOnce) {
  const CueCase& c = GetParam();
  CORVANE_REQUIRE_MEDIA(path, c.media);
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  const auto show = [&](bool value) {
    Send(player.id, "setShowSubtitle", {{EncodableValue("value"), EncodableValue(value)}});
  };
  Send(player.id, "setPreferredSubtitleLanguage", {{EncodableValue("value"), EncodableValue(c.language)}});
  show(true);
  // A start position is a position set while the source opens: sent right
  // behind "open", before anything can have loaded.
  embedder::InvokeMethodAsync(engine(), "CorvanePlugin", "open",
                              EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(player.id)},
                                                          {EncodableValue("value"), EncodableValue(path)}}),
                              [](const embedder::MethodResponse&) {});
  if (c.reached == Reached::kStartPosition) {
    Send(player.id, "seekTo", {{EncodableValue("position"), EncodableValue(kInsideTheCue)}});
  }
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  size_t before = 0;
  switch (c.reached) {
    case Reached::kStartPosition:
      break;
    case Reached::kSeek:
      SeekAndWait(player, kInsideTheCue);
      break;
    case Reached::kSwitch:
      Override(player.id, c.other);
      SeekAndWait(player, kInsideTheCue);
      before = InkOnceDrawn(player);
      ASSERT_GT(before, 0u) << "the other track's cue shows before the switch";
      Override(player.id, c.track);
      break;
    case Reached::kShownAgain:
      show(false);
      SeekAndWait(player, kInsideTheCue);
      show(true);
      break;
  }
  EXPECT_GT(InkOnceDrawn(player, before), 0u) << "the cue showing at 4 s is not drawn";
}

std::string CaseName(const ::testing::TestParamInfo<CueCase>& info) {
  static const char* const kReached[] = {"StartPosition", "Seek", "Switch", "ShownAgain"};
  return std::string(info.param.name) + "_" + kReached[static_cast<int>(info.param.reached)];
}

std::vector<CueCase> AllCases() {
  const CueCase tracks[] = {
      {"MatroskaSubRip", "cue_span.mkv", 0, "en", 2, Reached::kStartPosition},
      {"MatroskaAss", "cue_span.mkv", 1, "de", 0, Reached::kStartPosition},
      {"MatroskaWebVtt", "cue_span.mkv", 2, "fr", 0, Reached::kStartPosition},
      {"Mp4MovText", "cue_span.mp4", 0, "en", 1, Reached::kStartPosition},
  };
  std::vector<CueCase> cases;
  for (const CueCase& track : tracks) {
    for (Reached reached : {Reached::kStartPosition, Reached::kSeek, Reached::kSwitch, Reached::kShownAgain}) {
      CueCase c = track;
      c.reached = reached;
      cases.push_back(c);
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, CueInProgress, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace corvane::testing
