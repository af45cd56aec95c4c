#include "platform/windows/media/track_lists.h"

#include <string>
#include <utility>

#include "platform/windows/hstring.h"
#include "platform/windows/winrt_check.h"
#include "platform/windows/winrt_string.h"

namespace corvane::platform::windows {
namespace {

using winrt::Check;
using winrt::ComRef;

// Reads one string property through `getter` (a get_X of `object`).
template <typename Object, typename Getter>
std::string ReadString(Object* object, Getter getter) {
  winrt::HString text;
  Check((object->*getter)(text.Receive()), "reading a track's text failed");
  return winrt::ReadHString(text.get());
}

// Language and label, which every kind of track has through IMediaTrack.
template <typename Track>
void ReadCommonFacts(winrt::IMediaTrack* track, Track& facts) {
  facts.language = ReadString(track, &winrt::IMediaTrack::get_Language);
  facts.label = ReadString(track, &winrt::IMediaTrack::get_Label);
}

std::string ReadSubtype(const ComRef<winrt::IMediaEncodingProperties>& properties) {
  return properties ? ReadString(properties.get(), &winrt::IMediaEncodingProperties::get_Subtype) : std::string();
}

AudioTrack ReadAudioTrack(const ComRef<winrt::IMediaTrack>& track) {
  AudioTrack facts;
  ReadCommonFacts(track.get(), facts);
  ComRef<winrt::IAudioTrack> audio;
  Check(track.As(&audio), "an audio track without IAudioTrack");
  facts.name = ReadString(audio.get(), &winrt::IAudioTrack::get_Name);
  ComRef<winrt::IAudioEncodingProperties> encoding;
  Check(audio->GetEncodingProperties(encoding.Receive()), "reading an audio track's encoding failed");
  if (encoding) {
    Check(encoding->get_Bitrate(&facts.encoding.bitrate), "reading a bit rate failed");
    Check(encoding->get_ChannelCount(&facts.encoding.channelCount), "reading a channel count failed");
    Check(encoding->get_SampleRate(&facts.encoding.sampleRate), "reading a sample rate failed");
    ComRef<winrt::IMediaEncodingProperties> common;
    encoding.As(&common);  // without it the codec stays unknown
    facts.encoding.subtype = ReadSubtype(common);
  }
  return facts;
}

VideoTrack ReadVideoTrack(const ComRef<winrt::IMediaTrack>& track) {
  VideoTrack facts;
  ReadCommonFacts(track.get(), facts);
  ComRef<winrt::IVideoTrack> video;
  Check(track.As(&video), "a video track without IVideoTrack");
  facts.name = ReadString(video.get(), &winrt::IVideoTrack::get_Name);
  ComRef<winrt::IVideoEncodingProperties> encoding;
  Check(video->GetEncodingProperties(encoding.Receive()), "reading a video track's encoding failed");
  if (encoding) {
    Check(encoding->get_Bitrate(&facts.encoding.bitrate), "reading a bit rate failed");
    Check(encoding->get_Width(&facts.encoding.width), "reading a width failed");
    Check(encoding->get_Height(&facts.encoding.height), "reading a height failed");
    ComRef<winrt::IMediaEncodingProperties> common;
    encoding.As(&common);
    facts.encoding.subtype = ReadSubtype(common);
  }
  return facts;
}

TimedMetadataTrack ReadTextTrack(const ComRef<winrt::ITimedMetadataTrack>& track) {
  TimedMetadataTrack facts;
  winrt::TimedMetadataKind kind{};
  Check(track->get_TimedMetadataKind(&kind), "reading a text track's kind failed");
  facts.kind = static_cast<TimedMetadataKind>(kind);
  // Language and label come with IMediaTrack, the name with the newer
  // interface; a track without them keeps them unknown.
  ComRef<winrt::IMediaTrack> common;
  if (track.As(&common) >= 0) ReadCommonFacts(common.get(), facts);
  ComRef<winrt::ITimedMetadataTrack2> named;
  if (track.As(&named) >= 0) facts.name = ReadString(named.get(), &winrt::ITimedMetadataTrack2::get_Name);
  return facts;
}

static_assert(static_cast<int32_t>(TimedMetadataKind::Subtitle) ==
                  static_cast<int32_t>(winrt::TimedMetadataKind::Subtitle) &&
              static_cast<int32_t>(TimedMetadataKind::Speech) == static_cast<int32_t>(winrt::TimedMetadataKind::Speech));
static_assert(static_cast<int32_t>(TimedMetadataTrackPresentationMode::PlatformPresented) ==
              static_cast<int32_t>(winrt::TimedMetadataTrackPresentationMode::PlatformPresented));

template <typename View>
uint32_t SizeOf(const ComRef<View>& list) {
  uint32_t size = 0;
  Check(list->get_Size(&size), "reading a track list's size failed");
  return size;
}

template <typename View, typename Element>
ComRef<Element> ElementAt(const ComRef<View>& list, uint32_t index) {
  ComRef<Element> element;
  Check(list->GetAt(index, element.Receive()), "reading a track failed");
  if (!element) throw hresult_error(kBoundsError, "no track at that index");
  return element;
}

// Audio and video: a vector view of IMediaTrack with single selection.
template <typename Track, typename View, Track (*kRead)(const ComRef<winrt::IMediaTrack>&)>
class SelectableTrackList final : public MediaTrackList<Track> {
 public:
  explicit SelectableTrackList(ComRef<View> list) : list_(std::move(list)) {
    Check(list_.As(&selection_), "a track list without selection");
  }
  uint32_t Size() const override { return SizeOf(list_); }
  Track GetAt(uint32_t index) const override { return kRead(ElementAt<View, winrt::IMediaTrack>(list_, index)); }
  int32_t SelectedIndex() const override {
    int32_t index = -1;
    Check(selection_->get_SelectedIndex(&index), "reading the selected track failed");
    return index;
  }
  void SelectedIndex(int32_t index) override {
    Check(selection_->put_SelectedIndex(index), "selecting a track failed");
  }

 private:
  const ComRef<View> list_;
  ComRef<winrt::ISingleSelectMediaTrackList> selection_;
};

class TextTrackList final : public TimedMetadataTrackList {
 public:
  explicit TextTrackList(ComRef<winrt::IVectorViewOfTimedMetadataTrack> list) : list_(std::move(list)) {
    Check(list_.As(&modes_), "a text track list without presentation modes");
  }
  uint32_t Size() const override { return SizeOf(list_); }
  TimedMetadataTrack GetAt(uint32_t index) const override {
    return ReadTextTrack(ElementAt<winrt::IVectorViewOfTimedMetadataTrack, winrt::ITimedMetadataTrack>(list_, index));
  }
  TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const override {
    winrt::TimedMetadataTrackPresentationMode mode{};
    Check(modes_->GetPresentationMode(index, &mode), "reading a presentation mode failed");
    return static_cast<TimedMetadataTrackPresentationMode>(mode);
  }
  void SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode mode) override {
    Check(modes_->SetPresentationMode(index, static_cast<winrt::TimedMetadataTrackPresentationMode>(mode)),
          "setting a presentation mode failed");
  }

 private:
  const ComRef<winrt::IVectorViewOfTimedMetadataTrack> list_;
  ComRef<winrt::IMediaPlaybackTimedMetadataTrackList> modes_;
};

}  // namespace

std::shared_ptr<AudioTrackList> WrapAudioTracks(ComRef<winrt::IVectorViewOfAudioTrack> list) {
  return std::make_shared<SelectableTrackList<AudioTrack, winrt::IVectorViewOfAudioTrack, &ReadAudioTrack>>(
      std::move(list));
}

std::shared_ptr<VideoTrackList> WrapVideoTracks(ComRef<winrt::IVectorViewOfVideoTrack> list) {
  return std::make_shared<SelectableTrackList<VideoTrack, winrt::IVectorViewOfVideoTrack, &ReadVideoTrack>>(
      std::move(list));
}

std::shared_ptr<TimedMetadataTrackList> WrapTimedMetadataTracks(ComRef<winrt::IVectorViewOfTimedMetadataTrack> list) {
  return std::make_shared<TextTrackList>(std::move(list));
}

}  // namespace corvane::platform::windows
