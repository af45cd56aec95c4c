#include "player/player_events.h"

#include <gtest/gtest.h>

#include <ostream>


namespace corvane::player {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using platform::MediaPlayerError;

// EncodableValue equality compares the alternative too, so these rows pin
// the value kinds Dart decodes (int32 vs int64, double, bool).
struct EventRow {
  const char* name;
  EncodableMap actual;
  EncodableMap expected;
};
void PrintTo(const EventRow& row, std::ostream* os) { *os << row.name; }

class PlayerEventTable : public ::testing::TestWithParam<EventRow> {};

TEST_P(PlayerEventTable, HasExactKeysAndValueKinds) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

EncodableValue Key(const char* key) { return EncodableValue(key); }

INSTANTIATE_TEST_SUITE_P(
    Events, PlayerEventTable,
    ::testing::Values(
        EventRow{"PositionIs64BitEvenWhenSmall", PositionEvent(5),
                 {{Key("event"), EncodableValue("position")}, {Key("value"), EncodableValue(int64_t{5})}}},
        EventRow{"BufferStartAndEndAre64Bit", BufferEvent(1000, 7'000'000'000),
                 {{Key("event"), EncodableValue("buffer")},
                  {Key("start"), EncodableValue(int64_t{1000})},
                  {Key("end"), EncodableValue(int64_t{7'000'000'000})}}},
        EventRow{"LoadingIsABool", LoadingEvent(true),
                 {{Key("event"), EncodableValue("loading")}, {Key("value"), EncodableValue(true)}}},
        EventRow{"SeekEndHasNoPayload", SeekEndEvent(), {{Key("event"), EncodableValue("seekEnd")}}},
        EventRow{"VideoSizeInDoubles", VideoSizeEvent(1920, 1080),
                 {{Key("event"), EncodableValue("videoSize")},
                  {Key("width"), EncodableValue(1920.0)},
                  {Key("height"), EncodableValue(1080.0)}}},
        EventRow{"FinishedHasNoPayload", FinishedEvent(), {{Key("event"), EncodableValue("finished")}}},
        EventRow{"ErrorCarriesName", ErrorEvent(MediaPlayerError::NetworkError),
                 {{Key("event"), EncodableValue("error")}, {Key("value"), EncodableValue("NetworkError")}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MediaPlayerErrorName, NamesEachError_AndUnknownForAnythingElse) {
  EXPECT_STREQ(MediaPlayerErrorName(MediaPlayerError::Unknown), "Unknown");
  EXPECT_STREQ(MediaPlayerErrorName(MediaPlayerError::Aborted), "Aborted");
  EXPECT_STREQ(MediaPlayerErrorName(MediaPlayerError::NetworkError), "NetworkError");
  EXPECT_STREQ(MediaPlayerErrorName(MediaPlayerError::DecodingError), "DecodingError");
  EXPECT_STREQ(MediaPlayerErrorName(MediaPlayerError::SourceNotSupported), "SourceNotSupported");
  EXPECT_STREQ(MediaPlayerErrorName(static_cast<MediaPlayerError>(5)), "Unknown");
  EXPECT_STREQ(MediaPlayerErrorName(static_cast<MediaPlayerError>(-1)), "Unknown");
}

}  // namespace
}  // namespace corvane::player
