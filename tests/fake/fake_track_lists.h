// The fake engine's live track lists: the tracks of the scripted media,
// with selection and presentation modes that the player changes through
// them. Every change is recorded on the owning player; any operation can be
// scripted to fail there.
#ifndef CORVANE_TESTS_FAKE_FAKE_TRACK_LISTS_H_
#define CORVANE_TESTS_FAKE_FAKE_TRACK_LISTS_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media_engine.h"

namespace corvane::testing {

struct FakePlayerCore;

// Records (when `record`) and applies scripted failures through the player
// that owns a list; a list outliving its player raises kObjectClosed.
void EnterThroughCore(const std::weak_ptr<FakePlayerCore>& core, const std::string& name,
                      const std::string& argument, bool record);

template <typename Track>
class FakeTrackList final : public platform::MediaTrackList<Track> {
 public:
  FakeTrackList(std::weak_ptr<FakePlayerCore> core, std::string prefix, std::vector<Track> tracks, int32_t selected)
      : core_(std::move(core)), prefix_(std::move(prefix)), tracks_(std::move(tracks)), selected_(selected) {}

  uint32_t Size() const override {
    EnterThroughCore(core_, prefix_ + ".Size", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint32_t>(tracks_.size());
  }
  Track GetAt(uint32_t index) const override {
    EnterThroughCore(core_, prefix_ + ".GetAt", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= tracks_.size()) throw platform::hresult_error(platform::kBoundsError, "track index out of range");
    return tracks_[index];
  }
  int32_t SelectedIndex() const override {
    EnterThroughCore(core_, prefix_ + ".SelectedIndex get", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    return selected_;
  }
  void SelectedIndex(int32_t index) override {
    EnterThroughCore(core_, prefix_ + ".SelectedIndex set", std::to_string(index), true);
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < -1 || index >= static_cast<int32_t>(tracks_.size())) {
      throw platform::hresult_error(platform::kInvalidArgument, "no such track");
    }
    selected_ = index;
  }

 private:
  const std::weak_ptr<FakePlayerCore> core_;
  const std::string prefix_;
  mutable std::mutex mutex_;
  const std::vector<Track> tracks_;
  int32_t selected_;
};

class FakeTimedMetadataTrackList final : public platform::TimedMetadataTrackList {
 public:
  FakeTimedMetadataTrackList(std::weak_ptr<FakePlayerCore> core, std::vector<platform::TimedMetadataTrack> tracks)
      : core_(std::move(core)),
        tracks_(std::move(tracks)),
        modes_(tracks_.size(), platform::TimedMetadataTrackPresentationMode::Disabled) {}

  uint32_t Size() const override {
    EnterThroughCore(core_, "TimedMetadataTracks.Size", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint32_t>(tracks_.size());
  }
  platform::TimedMetadataTrack GetAt(uint32_t index) const override {
    EnterThroughCore(core_, "TimedMetadataTracks.GetAt", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    CheckIndex(index);
    return tracks_[index];
  }
  platform::TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const override {
    EnterThroughCore(core_, "TimedMetadataTracks.PresentationMode", "", false);
    std::lock_guard<std::mutex> lock(mutex_);
    CheckIndex(index);
    return modes_[index];
  }
  void SetPresentationMode(uint32_t index, platform::TimedMetadataTrackPresentationMode mode) override {
    EnterThroughCore(core_, "TimedMetadataTracks.SetPresentationMode",
                     std::to_string(index) + "," + std::to_string(static_cast<int>(mode)), true);
    std::lock_guard<std::mutex> lock(mutex_);
    CheckIndex(index);
    modes_[index] = mode;
  }

 private:
  void CheckIndex(uint32_t index) const {
    if (index >= tracks_.size()) throw platform::hresult_error(platform::kBoundsError, "track index out of range");
  }
  const std::weak_ptr<FakePlayerCore> core_;
  mutable std::mutex mutex_;
  const std::vector<platform::TimedMetadataTrack> tracks_;
  std::vector<platform::TimedMetadataTrackPresentationMode> modes_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_FAKE_FAKE_TRACK_LISTS_H_
