#include "player_e2e/plugin_session.h"

#include <array>
#include <cstdlib>

namespace corvane::testing {

void PluginSession::SetUp() {
  // Quiet, but clocked like a real device so that playback keeps real time.
  ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 0);
  engine_ = embedder::Engine::Start(options_);
  ASSERT_TRUE(engine_);
  ASSERT_EQ(engine_->LoadPlugin(CORVANE_PLUGIN_PATH), "");
}

void PluginSession::TearDown() {
  if (engine_) engine_->Shutdown();
}

embedder::MethodResponse PluginSession::Call(const std::string& method, const EncodableValue& arguments) {
  return embedder::InvokeMethod(*engine_, "CorvanePlugin", method, arguments, 10s);
}

embedder::MethodResponse PluginSession::CallWith(int64_t id, const std::string& method, const char* key,
                                                 EncodableValue value) {
  return Call(method,
              EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(id)}, {EncodableValue(key), value}}));
}

DartPlayer PluginSession::Create() {
  DartPlayer player;
  const auto created = Call("create");
  EXPECT_TRUE(created.IsSuccess()) << created.Describe();
  if (!created.IsSuccess()) return player;
  const auto& map = std::get<EncodableMap>(created.value);
  player.id = std::get<int64_t>(map.at(EncodableValue("id")));
  player.subtitleId = std::get<int64_t>(map.at(EncodableValue("subId")));
  player.events = std::make_unique<embedder::EventStream>(*engine_, "CorvanePlugin/" + std::to_string(player.id));
  const auto listened = player.events->Listen();
  EXPECT_TRUE(listened.IsSuccess()) << listened.Describe();
  return player;
}

void PluginSession::Open(const DartPlayer& player, const std::string& source) {
  const auto opened = CallWith(player.id, "open", "value", EncodableValue(source));
  EXPECT_TRUE(opened.IsSuccess()) << opened.Describe();
}

void PluginSession::Play(const DartPlayer& player) {
  const auto played = Call("play", EncodableValue(player.id));
  EXPECT_TRUE(played.IsSuccess()) << played.Describe();
}

std::optional<embedder::StreamEvent> WaitForAnyOf(embedder::EventStream& events,
                                                  std::initializer_list<const char*> names,
                                                  std::chrono::milliseconds timeout) {
  const std::vector<std::string> wanted(names.begin(), names.end());
  return events.WaitForEvent(
      [&](const embedder::StreamEvent& event) {
        for (const auto& name : wanted) {
          if (event.Name() == name) return true;
        }
        return false;
      },
      timeout);
}

std::vector<std::string> EventNames(const embedder::EventStream& events) {
  std::vector<std::string> names;
  for (const auto& event : events.History()) names.push_back(event.Name());
  return names;
}

int64_t IntegerOf(const embedder::StreamEvent& event, const char* key, int64_t fallback) {
  const EncodableValue* value = event.Find(key);
  if (value == nullptr) return fallback;
  if (const auto* wide = std::get_if<int64_t>(value)) return *wide;
  if (const auto* narrow = std::get_if<int32_t>(value)) return *narrow;
  return fallback;
}

std::vector<int64_t> Positions(const embedder::EventStream& events) {
  std::vector<int64_t> positions;
  for (const auto& event : events.History()) {
    if (event.Name() == "position") positions.push_back(IntegerOf(event, "value"));
  }
  return positions;
}

namespace {
std::array<uint8_t, 4> Middle(const embedder::TextureFrame& frame) {
  return frame.PixelAt(frame.width / 2, frame.height / 2);
}
}  // namespace

bool IsRed(const embedder::TextureFrame& frame) {
  const auto bgra = Middle(frame);
  return bgra[2] > 200 && bgra[1] < 60 && bgra[0] < 60 && bgra[3] == 255;
}

bool IsBlue(const embedder::TextureFrame& frame) {
  const auto bgra = Middle(frame);
  return bgra[0] > 200 && bgra[1] < 60 && bgra[2] < 60 && bgra[3] == 255;
}

size_t InkColumns(const embedder::TextureFrame& frame) {
  size_t columns = 0;
  for (size_t x = 0; x < frame.width; ++x) {
    for (size_t y = 0; y < frame.height; ++y) {
      if (frame.PixelAt(x, y)[3] > 128) {
        ++columns;
        break;
      }
    }
  }
  return columns;
}

}  // namespace corvane::testing
