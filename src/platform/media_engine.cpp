#include "platform/media_engine.h"

#include <cctype>

namespace corvane::platform {
namespace {

// An absolute URI starts with a scheme: a letter, then letters, digits,
// '+', '-' or '.', then ':'.
bool HasScheme(const std::string& uri) {
  if (uri.empty() || !std::isalpha(static_cast<unsigned char>(uri[0]))) return false;
  for (size_t i = 1; i < uri.size(); ++i) {
    const auto c = static_cast<unsigned char>(uri[i]);
    if (c == ':') return true;
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

template <typename Track>
class EmptyTrackList final : public MediaTrackList<Track> {
 public:
  uint32_t Size() const override { return 0; }
  Track GetAt(uint32_t) const override { throw hresult_error(kBoundsError, "track index out of range"); }
  int32_t SelectedIndex() const override { return -1; }
  void SelectedIndex(int32_t) override {}
};

class EmptyTimedMetadataTrackList final : public TimedMetadataTrackList {
 public:
  uint32_t Size() const override { return 0; }
  TimedMetadataTrack GetAt(uint32_t) const override {
    throw hresult_error(kBoundsError, "track index out of range");
  }
  TimedMetadataTrackPresentationMode PresentationMode(uint32_t) const override {
    throw hresult_error(kBoundsError, "track index out of range");
  }
  void SetPresentationMode(uint32_t, TimedMetadataTrackPresentationMode) override {
    throw hresult_error(kBoundsError, "track index out of range");
  }
};

}  // namespace

bool IsRemoteUri(const std::string& uri) {
  return uri.find("://") != std::string::npos && uri.rfind("file://", 0) != 0;
}

std::shared_ptr<MediaSource> MediaSource::CreateFromUri(const std::string& uri) {
  if (!HasScheme(uri)) throw hresult_error(kInvalidArgument, "not an absolute URI: " + uri);
  return std::make_shared<MediaSource>(uri);
}

void MediaSource::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
}

bool MediaSource::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

MediaPlaybackItem::MediaPlaybackItem(std::shared_ptr<MediaSource> source)
    : source_(std::move(source)),
      audio_(std::make_shared<EmptyTrackList<AudioTrack>>()),
      video_(std::make_shared<EmptyTrackList<VideoTrack>>()),
      text_(std::make_shared<EmptyTimedMetadataTrackList>()) {}

std::shared_ptr<AudioTrackList> MediaPlaybackItem::AudioTracks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return audio_;
}

std::shared_ptr<VideoTrackList> MediaPlaybackItem::VideoTracks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return video_;
}

std::shared_ptr<TimedMetadataTrackList> MediaPlaybackItem::TimedMetadataTracks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void MediaPlaybackItem::AttachTracks(std::shared_ptr<AudioTrackList> audio, std::shared_ptr<VideoTrackList> video,
                                     std::shared_ptr<TimedMetadataTrackList> text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (audio) audio_ = std::move(audio);
  if (video) video_ = std::move(video);
  if (text) text_ = std::move(text);
}

}  // namespace corvane::platform
