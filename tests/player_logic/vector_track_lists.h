// Vector-backed engine track lists for tests of the pure player logic. They
// behave like the engine's lists (GetAt out of range raises E_BOUNDS) and
// record every selection and presentation change made through them.
#ifndef CORVANE_TESTS_PLAYER_LOGIC_VECTOR_TRACK_LISTS_H_
#define CORVANE_TESTS_PLAYER_LOGIC_VECTOR_TRACK_LISTS_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/media_engine.h"

namespace corvane::testing {

using platform::TimedMetadataKind;
using platform::TimedMetadataTrackPresentationMode;

template <typename Track>
class VectorTrackList : public platform::MediaTrackList<Track> {
 public:
  explicit VectorTrackList(std::vector<Track> tracks = {}) : tracks_(std::move(tracks)) {}

  uint32_t Size() const override { return static_cast<uint32_t>(tracks_.size()); }
  Track GetAt(uint32_t index) const override {
    if (index >= tracks_.size()) throw platform::hresult_error(platform::kBoundsError);
    return tracks_[index];
  }
  int32_t SelectedIndex() const override { return selected_; }
  void SelectedIndex(int32_t index) override {
    selected_ = index;
    selections.push_back(index);
  }

  // Every SelectedIndex set, in order.
  std::vector<int32_t> selections;

 private:
  std::vector<Track> tracks_;
  int32_t selected_ = -1;
};

class VectorTextTrackList : public platform::TimedMetadataTrackList {
 public:
  explicit VectorTextTrackList(std::vector<platform::TimedMetadataTrack> tracks = {})
      : tracks_(std::move(tracks)), modes_(tracks_.size(), TimedMetadataTrackPresentationMode::Hidden) {}

  uint32_t Size() const override { return static_cast<uint32_t>(tracks_.size()); }
  platform::TimedMetadataTrack GetAt(uint32_t index) const override { return tracks_.at(Checked(index)); }
  TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const override {
    return modes_.at(Checked(index));
  }
  void SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode mode) override {
    modes_.at(Checked(index)) = mode;
    modeChanges.emplace_back(index, mode);
  }

  // Every SetPresentationMode call, in order.
  std::vector<std::pair<uint32_t, TimedMetadataTrackPresentationMode>> modeChanges;

 private:
  uint32_t Checked(uint32_t index) const {
    if (index >= tracks_.size()) throw platform::hresult_error(platform::kBoundsError);
    return index;
  }
  std::vector<platform::TimedMetadataTrack> tracks_;
  std::vector<TimedMetadataTrackPresentationMode> modes_;
};

// A list claiming `size` identical tracks without storing them, for walks
// over more tracks than a 16-bit position can name.
template <typename Track>
class HugeTrackList : public platform::MediaTrackList<Track> {
 public:
  HugeTrackList(uint32_t size, Track track) : size_(size), track_(std::move(track)) {}
  uint32_t Size() const override { return size_; }
  Track GetAt(uint32_t index) const override {
    if (index >= size_) throw platform::hresult_error(platform::kBoundsError);
    ++reads;
    return track_;
  }
  int32_t SelectedIndex() const override { return -1; }
  void SelectedIndex(int32_t) override {}

  mutable uint64_t reads = 0;

 private:
  uint32_t size_;
  Track track_;
};

inline platform::AudioTrack Audio(std::string language, std::string name = {}, std::string label = {}) {
  platform::AudioTrack track;
  track.language = std::move(language);
  track.name = std::move(name);
  track.label = std::move(label);
  return track;
}

inline std::vector<platform::AudioTrack> AudioLanguages(std::initializer_list<const char*> languages) {
  std::vector<platform::AudioTrack> tracks;
  for (const char* language : languages) tracks.push_back(Audio(language));
  return tracks;
}

inline platform::VideoTrack Video(uint32_t width, uint32_t height, uint32_t bitRate) {
  platform::VideoTrack track;
  track.encoding.width = width;
  track.encoding.height = height;
  track.encoding.bitrate = bitRate;
  return track;
}

inline platform::TimedMetadataTrack Text(TimedMetadataKind kind, std::string language, std::string name = {},
                                         std::string label = {}) {
  platform::TimedMetadataTrack track;
  track.kind = kind;
  track.language = std::move(language);
  track.name = std::move(name);
  track.label = std::move(label);
  return track;
}

// An opened item with the given lists attached.
inline std::shared_ptr<platform::MediaPlaybackItem> OpenedItem(
    std::shared_ptr<platform::AudioTrackList> audio, std::shared_ptr<platform::TimedMetadataTrackList> text,
    std::shared_ptr<platform::VideoTrackList> video = nullptr) {
  auto item = std::make_shared<platform::MediaPlaybackItem>(platform::MediaSource::CreateFromUri("file:///a.mp4"));
  item->AttachTracks(std::move(audio), std::move(video), std::move(text));
  return item;
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLAYER_LOGIC_VECTOR_TRACK_LISTS_H_
