// The text sink fed through a real pad, as playbin feeds it: what it takes
// for a cue when bitmap subtitle data arrives under text caps, as it does
// after a text stream switch that GStreamer's selector passes on without the
// new stream's caps. (Playing real media with a bitmap track: tracks_test.cpp.)
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "platform/gst/text_sink.h"

namespace corvane::platform::gst {
namespace {

constexpr GstClockTime kMs = GST_MSECOND;

// A PGS clearing display set as Matroska carries it (segments without the
// "PG" header): presentation composition for 320x240 with no objects, one
// window, end of set.
const std::vector<uint8_t> kPgsClearingSet = {
    0x16, 0x00, 0x0b, 0x01, 0x40, 0x00, 0xf0, 0x10, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,        // PCS
    0x17, 0x00, 0x0a, 0x01, 0x00, 0x00, 0x80, 0x00, 0xb2, 0x00, 0x40, 0x00, 0x20,              // WDS
    0x80, 0x00, 0x00};                                                                         // END

// appsrc -> TextSink in a playing pipeline; buffers go in with text caps.
class TextSinkFeed {
 public:
  TextSinkFeed() {
    pipeline_ = AdoptFloating(gst_pipeline_new("text-feed"));
    source_ = AdoptFloating(gst_element_factory_make("appsrc", "cues"));
    auto caps = AdoptMini(gst_caps_from_string("text/x-raw, format=(string)pango-markup"));
    g_object_set(source_.get(), "caps", caps.get(), "format", GST_FORMAT_TIME, nullptr);
    // The bin takes references of its own; ours keep the elements for the test.
    gst_bin_add_many(GST_BIN(pipeline_.get()), GST_ELEMENT(gst_object_ref(source_.get())),
                     GST_ELEMENT(gst_object_ref(sink_.Element())), nullptr);
    linked_ = gst_element_link(source_.get(), sink_.Element());
    playing_ = gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
  }
  ~TextSinkFeed() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }

  bool Ready() const { return linked_ && playing_; }

  void Push(const std::vector<uint8_t>& bytes, GstClockTime start, GstClockTime duration) {
    GstBuffer* buffer = gst_buffer_new_memdup(bytes.data(), bytes.size());
    GST_BUFFER_PTS(buffer) = start;
    GST_BUFFER_DURATION(buffer) = duration;
    gst_app_src_push_buffer(GST_APP_SRC(source_.get()), buffer);  // takes the buffer
  }
  void Push(const std::string& text, GstClockTime start, GstClockTime duration) {
    Push(std::vector<uint8_t>(text.begin(), text.end()), start, duration);
  }

  // Ends the stream and waits until the sink has seen everything before it.
  bool Drain() {
    gst_app_src_end_of_stream(GST_APP_SRC(source_.get()));
    auto bus = AdoptObject(gst_element_get_bus(pipeline_.get()));
    auto message = AdoptMini(gst_bus_timed_pop_filtered(bus.get(), 5 * GST_SECOND,
                                                        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    return message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS;
  }

  std::vector<std::string> TextsAt(GstClockTime position) const {
    std::vector<std::string> texts;
    for (const auto& cue : sink_.ActiveCues(position)) texts.push_back(cue.text);
    return texts;
  }

 private:
  struct GstInitialised {
    GstInitialised() { gst_init(nullptr, nullptr); }
  } gstInitialised_;  // before the sink, which makes elements
  TextSink sink_{TextSink::ChangedCallback{}};
  GObjectPtr<GstElement> pipeline_;
  GObjectPtr<GstElement> source_;
  bool linked_ = false;
  bool playing_ = false;
};

TEST(TextSinkUnderTextCaps, BitmapData_IsNoCue_WhileUtf8CuesAround_AreKept) {
  TextSinkFeed feed;
  ASSERT_TRUE(feed.Ready());
  feed.Push(std::string("Grüße <i>vom</i> Text"), 500 * kMs, 1000 * kMs);
  feed.Push(kPgsClearingSet, 1000 * kMs, 2000 * kMs);
  // Binary without NULs that is still not UTF-8 (a lone continuation byte).
  feed.Push(std::vector<uint8_t>{'A', 0x80, 'B'}, 1000 * kMs, 2000 * kMs);
  feed.Push(std::string("Zweiter\n"), 2500 * kMs, 500 * kMs);
  ASSERT_TRUE(feed.Drain());

  EXPECT_EQ(feed.TextsAt(700 * kMs), std::vector<std::string>{"Grüße <i>vom</i> Text"});
  EXPECT_TRUE(feed.TextsAt(1700 * kMs).empty()) << "the bitmap data became a cue";
  EXPECT_EQ(feed.TextsAt(2700 * kMs), std::vector<std::string>{"Zweiter"});
}

}  // namespace
}  // namespace corvane::platform::gst
