// Every parameterised IID the Windows adapters use, recomputed from its type
// signature and compared with the constant the declarations carry. A wrong
// IID only fails on real Windows (E_NOINTERFACE), so this is where it is
// caught. Rows follow WINDOWS-ABI.md section B; the signatures are built
// from parts so that a default-interface IID we declare (IDispatcherQueue)
// is checked through the hash too.
#include "pinterface_iid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/windows/winrt_abi.h"
#include "platform/windows/winrt_media_abi.h"
#include "platform/windows/winrt_pinterface_iids.h"

namespace corvane::test {
namespace {

namespace winrt = platform::winrt;
namespace pinterface = platform::winrt::pinterface;
using winrt::ParseGuid;

// Generic (open) interfaces.
constexpr GUID kTypedEventHandler = ParseGuid("9de1c534-6ae1-11e0-84e1-18a905bcc53f");
constexpr GUID kIVectorView = ParseGuid("bbe1fa4c-b0e3-4583-baef-1f1b2e483e56");
constexpr GUID kIIterable = ParseGuid("faa585ea-6214-4217-afda-7f46de5869b3");
constexpr GUID kIIterator = ParseGuid("6a79e863-4300-459a-9966-cbb660963ee1");

// The parser reads the text in the SDK's field order: Data1..Data3 as
// numbers, then the eight Data4 bytes as written.
static_assert(winrt::IDispatcherQueue::kIid.Data1 == 0x603e88e4 && winrt::IDispatcherQueue::kIid.Data2 == 0xa338 &&
                  winrt::IDispatcherQueue::kIid.Data3 == 0x4ffe && winrt::IDispatcherQueue::kIid.Data4[0] == 0xa4 &&
                  winrt::IDispatcherQueue::kIid.Data4[1] == 0x57 && winrt::IDispatcherQueue::kIid.Data4[2] == 0xa5 &&
                  winrt::IDispatcherQueue::kIid.Data4[7] == 0x99,
              "ParseGuid field order");

struct IidRow {
  std::string name;
  std::string signature;
  GUID declared;
};

void PrintTo(const IidRow& row, std::ostream* out) { *out << row.name; }

std::vector<IidRow> Rows() {
  const std::string inspectable(kInspectableSignature);
  const std::string media_player =
      RuntimeClassSignature("Windows.Media.Playback.MediaPlayer", winrt::IMediaPlayer::kIid);
  const std::string session =
      RuntimeClassSignature("Windows.Media.Playback.MediaPlaybackSession", winrt::IMediaPlaybackSession::kIid);
  const std::string timed_track =
      RuntimeClassSignature("Windows.Media.Core.TimedMetadataTrack", winrt::ITimedMetadataTrack::kIid);
  const std::string time_span = StructSignature("Windows.Foundation.TimeSpan", {"i8"});
  const std::string time_range = StructSignature("Windows.Media.MediaTimeRange", {time_span, time_span});
  return {
      {"TypedEventHandler_MediaPlayer_IInspectable",
       PinterfaceSignature(kTypedEventHandler, {media_player, inspectable}), winrt::IMediaPlayerEventHandler::kIid},
      {"TypedEventHandler_MediaPlayer_MediaPlayerFailedEventArgs",
       PinterfaceSignature(kTypedEventHandler,
                           {media_player, RuntimeClassSignature("Windows.Media.Playback.MediaPlayerFailedEventArgs",
                                                                winrt::IMediaPlayerFailedEventArgs::kIid)}),
       winrt::IMediaPlayerFailedEventHandler::kIid},
      {"TypedEventHandler_MediaPlaybackSession_IInspectable",
       PinterfaceSignature(kTypedEventHandler, {session, inspectable}), winrt::IMediaPlaybackSessionEventHandler::kIid},
      {"TypedEventHandler_MediaPlaybackItem_IVectorChangedEventArgs",
       PinterfaceSignature(kTypedEventHandler, {RuntimeClassSignature("Windows.Media.Playback.MediaPlaybackItem",
                                                                      winrt::IMediaPlaybackItem::kIid),
                                                InterfaceSignature(winrt::IVectorChangedEventArgs::kIid)}),
       winrt::IMediaPlaybackItemTracksChangedHandler::kIid},
      {"TypedEventHandler_ISingleSelectMediaTrackList_IInspectable",
       PinterfaceSignature(kTypedEventHandler,
                           {InterfaceSignature(winrt::ISingleSelectMediaTrackList::kIid), inspectable}),
       winrt::ISingleSelectMediaTrackListEventHandler::kIid},
      {"TypedEventHandler_TimedMetadataTrack_MediaCueEventArgs",
       PinterfaceSignature(kTypedEventHandler,
                           {timed_track, RuntimeClassSignature("Windows.Media.Core.MediaCueEventArgs",
                                                               winrt::IMediaCueEventArgs::kIid)}),
       winrt::ITimedMetadataTrackCueEventHandler::kIid},
      {"TypedEventHandler_DispatcherQueue_IInspectable",
       PinterfaceSignature(
           kTypedEventHandler,
           {RuntimeClassSignature("Windows.System.DispatcherQueue", winrt::IDispatcherQueue::kIid), inspectable}),
       winrt::IDispatcherQueueShutdownCompletedHandler::kIid},
      {"TypedEventHandler_IInspectable_IInspectable",
       PinterfaceSignature(kTypedEventHandler, {inspectable, inspectable}),
       pinterface::kTypedEventHandler_IInspectable_IInspectable},
      {"IVectorView_AudioTrack",
       PinterfaceSignature(kIVectorView,
                           {RuntimeClassSignature("Windows.Media.Core.AudioTrack", winrt::IMediaTrack::kIid)}),
       winrt::IVectorViewOfAudioTrack::kIid},
      {"IVectorView_VideoTrack",
       PinterfaceSignature(kIVectorView,
                           {RuntimeClassSignature("Windows.Media.Core.VideoTrack", winrt::IMediaTrack::kIid)}),
       winrt::IVectorViewOfVideoTrack::kIid},
      {"IVectorView_TimedMetadataTrack", PinterfaceSignature(kIVectorView, {timed_track}),
       winrt::IVectorViewOfTimedMetadataTrack::kIid},
      {"IVectorView_HSTRING", PinterfaceSignature(kIVectorView, {std::string(kStringSignature)}),
       winrt::IVectorViewOfHString::kIid},
      {"IVectorView_MediaTimeRange", PinterfaceSignature(kIVectorView, {time_range}),
       winrt::IVectorViewOfMediaTimeRange::kIid},
      {"IIterable_MediaTimeRange", PinterfaceSignature(kIIterable, {time_range}),
       pinterface::kIIterable_MediaTimeRange},
      {"IIterator_MediaTimeRange", PinterfaceSignature(kIIterator, {time_range}),
       pinterface::kIIterator_MediaTimeRange},
  };
}

TEST(Sha1, MatchesTheStandardDigests_ForOneAndTwoBlocks) {
  const auto abc = Sha1("abc");
  EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Hex(abc.data(), abc.size()));
  const auto two_blocks = Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
  EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1", Hex(two_blocks.data(), two_blocks.size()));
}

class PinterfaceIidTest : public ::testing::TestWithParam<IidRow> {};

TEST_P(PinterfaceIidTest, DeclaredIid_EqualsTheHashOfItsSignature) {
  const IidRow& row = GetParam();
  EXPECT_EQ(FormatGuid(PinterfaceIid(row.signature)), FormatGuid(row.declared)) << row.signature;
}

INSTANTIATE_TEST_SUITE_P(SectionB, PinterfaceIidTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<IidRow>& info) { return info.param.name; });

}  // namespace
}  // namespace corvane::test
