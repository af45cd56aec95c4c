// The track lists an opened item carries: a snapshot of the media's track
// facts, with selection and presentation going through to the player.
//
// A list belongs to one source (by number). Once another source is set,
// its reads give the snapshot and -1 / Disabled, and its commands do
// nothing. Any thread.
#ifndef CORVANE_PLATFORM_GST_TRACK_LISTS_H_
#define CORVANE_PLATFORM_GST_TRACK_LISTS_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gst/player_core.h"
#include "platform/media_engine.h"

namespace corvane::platform::gst {

template <typename Track, TrackKind kKind>
class LiveTrackList final : public MediaTrackList<Track> {
 public:
  LiveTrackList(std::weak_ptr<PlayerCore> core, SourceNumber source, std::vector<Track> tracks)
      : core_(std::move(core)), source_(source), tracks_(std::move(tracks)) {}

  uint32_t Size() const override { return static_cast<uint32_t>(tracks_.size()); }
  Track GetAt(uint32_t index) const override {
    if (index >= tracks_.size()) throw hresult_error(kBoundsError, "track index out of range");
    return tracks_[index];
  }
  int32_t SelectedIndex() const override {
    auto core = core_.lock();
    return core ? core->SelectedIndex(kKind, source_) : -1;
  }
  void SelectedIndex(int32_t index) override {
    if (auto core = core_.lock()) core->Select(kKind, source_, index);
  }

 private:
  const std::weak_ptr<PlayerCore> core_;
  const SourceNumber source_;
  const std::vector<Track> tracks_;
};

using LiveAudioTrackList = LiveTrackList<AudioTrack, TrackKind::Audio>;
using LiveVideoTrackList = LiveTrackList<VideoTrack, TrackKind::Video>;

class LiveTextTrackList final : public TimedMetadataTrackList {
 public:
  LiveTextTrackList(std::weak_ptr<PlayerCore> core, SourceNumber source, std::vector<TimedMetadataTrack> tracks)
      : core_(std::move(core)), source_(source), tracks_(std::move(tracks)) {}

  uint32_t Size() const override { return static_cast<uint32_t>(tracks_.size()); }
  TimedMetadataTrack GetAt(uint32_t index) const override {
    CheckIndex(index);
    return tracks_[index];
  }
  TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const override {
    CheckIndex(index);
    auto core = core_.lock();
    return core ? core->TextMode(source_, index) : TimedMetadataTrackPresentationMode::Disabled;
  }
  void SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode mode) override {
    CheckIndex(index);
    if (auto core = core_.lock()) core->SetTextMode(source_, index, mode);
  }

 private:
  void CheckIndex(uint32_t index) const {
    if (index >= tracks_.size()) throw hresult_error(kBoundsError, "track index out of range");
  }
  const std::weak_ptr<PlayerCore> core_;
  const SourceNumber source_;
  const std::vector<TimedMetadataTrack> tracks_;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_TRACK_LISTS_H_
