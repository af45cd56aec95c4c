#include "platform/gst/support/subtitle_markup.h"

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <string>

#include "platform/linux/glib_handles.h"

namespace corvane::platform::gst {
namespace {



// Pango's own parser is the judge of "valid markup".
void ExpectPangoAccepts(const std::string& markup) {
  GError* rawError = nullptr;
  const bool parsed = pango_parse_markup(markup.c_str(), -1, 0, nullptr, nullptr, nullptr, &rawError);
  const platform::ErrorPtr error(rawError);  // Adopt
  EXPECT_TRUE(parsed) << (error ? error->message : "") << " in: " << markup;
}

struct MarkupRow {
  const char* label;
  const char* input;
  const char* markup;
};

constexpr char kHeader[] =
    "[Script Info]\nPlayResX: 1920\nPlayResY: 1080\n\n"
    "[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
    "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
    "MarginR, MarginV, Encoding\n"
    "Style: Default,,54,&H00FFFFFF,&H000000FF,&H00102030,&H80000000,0,0,0,0,100,100,0,0,1,2.7,1.35,2,96,192,54,1\n"
    "Style: Sign,Serif,40,&H0000FFFF,&H0,&H0,&H0,-1,1,0,0,100,100,0,0,3,1,1,8,0,0,0,1\n";

TEST(AssScript, ColoursAreBlueFirstWithTransparencyForAlpha) {
  const struct {
    const char* label;
    const char* value;
    CueColour colour;
  } rows[] = {
      {"opaque_white", "&H00FFFFFF", {255, 255, 255, 255}},
      {"red_in_low_byte", "&H000000FF", {255, 0, 0, 255}},
      {"short_form_blue", "&HFF0000&", {0, 0, 255, 255}},
      {"alpha_inverted", "&H80112233", {0x33, 0x22, 0x11, 127}},
      {"lower_case", "&h00ff00", {0, 255, 0, 255}},
      {"ssa_decimal", "16711680", {0, 0, 255, 255}},
      {"ssa_negative_decimal", "-2147483648", {0, 0, 0, 127}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(ParseAssColour(row.value), row.colour);
  }
  EXPECT_FALSE(ParseAssColour("&H"));
  EXPECT_FALSE(ParseAssColour("white"));
}

TEST(AssScript, PlayResFallsBackTo384x288OrFourThirds) {
  const struct {
    const char* label;
    const char* header;
    double x, y;
  } rows[] = {
      {"both", "[Script Info]\nPlayResX: 1280\nPlayResY: 720", 1280, 720},
      {"x_only", "[Script Info]\r\nPlayResX: 640\r\n", 640, 480},
      {"y_only", "[Script Info]\nPlayResY: 720", 960, 720},
      {"none", "[Script Info]\nTitle: x", 384, 288},
      {"zero_is_absent", "[Script Info]\nPlayResX: 0\nPlayResY: 0", 384, 288},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const AssScript script = ParseAssScript(row.header);
    EXPECT_EQ(script.playResX, row.x);
    EXPECT_EQ(script.playResY, row.y);
  }
}

TEST(AssScript, SsaStylesUseTertiaryOutlineAndLegacyAlignment) {
  const AssScript script = ParseAssScript(
      "[V4 Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, BackColour, "
      "Bold, Italic, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, Encoding\n"
      "Style: Top,Arial,20,65535,0,16711680,0,-1,0,1,2,0,6,10,10,10,0,0\n"
      "Style: Mid,Arial,20,65535,0,0,0,0,0,1,2,0,10,10,10,10,0,0\n");
  ASSERT_EQ(script.styles.size(), 2u);
  const AssStyle& top = script.styles[0];
  EXPECT_EQ(top.primary, (CueColour{255, 255, 0, 255}));
  EXPECT_EQ(top.outline, (CueColour{0, 0, 255, 255}));
  EXPECT_EQ(top.weight, 700);
  EXPECT_EQ(top.alignment, 8);
  EXPECT_EQ(script.styles[1].alignment, 5);
  EXPECT_EQ(&script.StyleOrDefault("*Top"), &top);
  EXPECT_EQ(script.StyleOrDefault("Missing").name, "Default");  // the built-in one
}

TEST(AssBlock, StyleAndEventMarginsBecomeTheLayout) {
  const AssScript script = ParseAssScript(kHeader);
  const platform::gst::SubtitleCue cue = AssBlockToCue(script, "3,0,Default,,0,0,108,,Hello, world");
  EXPECT_EQ(cue.text, "Hello, world");
  EXPECT_TRUE(cue.isMarkup);
  EXPECT_EQ(cue.layout.alignment, 2);
  EXPECT_DOUBLE_EQ(cue.layout.fontSize, 54.0 / 1080);
  EXPECT_DOUBLE_EQ(cue.layout.marginLeft, 96.0 / 1920);
  EXPECT_DOUBLE_EQ(cue.layout.marginRight, 192.0 / 1920);
  EXPECT_DOUBLE_EQ(cue.layout.marginVertical, 108.0 / 1080);  // the event's, not the style's 54
  EXPECT_DOUBLE_EQ(cue.layout.outlineWidth, 2.7 / 1080);
  EXPECT_DOUBLE_EQ(cue.layout.shadowOffset, 1.35 / 1080);
  EXPECT_EQ(cue.layout.outlineColour, (CueColour{0x30, 0x20, 0x10, 255}));
  EXPECT_EQ(cue.layout.shadowColour, (CueColour{0, 0, 0, 127}));

  // BorderStyle 3: the box is the runs' background, in the outline colour.
  const platform::gst::SubtitleCue sign = AssBlockToCue(script, "4,0,Sign,,0,0,0,,Exit");
  EXPECT_EQ(sign.text,
            "<span font_family=\"Serif\" weight=\"bold\" style=\"italic\" foreground=\"#ffff00\" "
            "background=\"#000000\">Exit</span>");
  EXPECT_EQ(sign.layout.alignment, 8);
  EXPECT_EQ(sign.layout.outlineWidth, 0);
  EXPECT_EQ(sign.layout.shadowOffset, 0);
}

TEST(AssBlock, OverrideTagsBecomeRunsOfMarkup) {
  const AssScript script = ParseAssScript(kHeader);
  const MarkupRow rows[] = {
      {"escaped", R"(a<b & "c" 'd')", "a&lt;b &amp; &quot;c&quot; &apos;d&apos;"},
      {"bold_run", R"({\b1}x{\b0}y)", "<span weight=\"bold\">x</span>y"},
      {"weight", R"({\b900}x)", "<span weight=\"900\">x</span>"},
      {"colour_blue_first", R"({\c&H0000FF&}r{\1c&HFF0000&}b)",
       "<span foreground=\"#ff0000\">r</span><span foreground=\"#0000ff\">b</span>"},
      {"alpha_inverted", R"({\alpha&H80&}x)", "<span alpha=\"32639\">x</span>"},
      {"invisible_is_not_zero", R"({\1a&HFF&}x)", "<span alpha=\"1\">x</span>"},
      {"overlapping_styles", R"({\i1}a{\u1}b{\i0}c)",
       "<span style=\"italic\">a</span><span style=\"italic\" underline=\"single\">b</span>"
       "<span underline=\"single\">c</span>"},
      {"reset_to_event_style", R"({\i1\s1}a{\r}b)", "<span style=\"italic\" strikethrough=\"true\">a</span>b"},
      {"reset_to_named_style", R"({\rSign}x)",
       "<span font_family=\"Serif\" weight=\"bold\" style=\"italic\" foreground=\"#ffff00\">x</span>"},
      {"font_escaped", R"({\fnA&B}x)", "<span font_family=\"A&amp;B\">x</span>"},
      {"breaks", R"(a\Nb\nc\hd)", "a\nb c\xC2\xA0" "d"},
      {"dropped_tags_and_comments", R"({note}{\blur3\t(0,500,\frz(10)\b1)\k20\fscx120}x)", "x"},
      {"drawing_dropped", R"({\p1}m 0 0 l 10 10{\p0}x)", "x"},
      {"unterminated_brace", R"(a{\b1)", "a{\\b1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string block = std::string("0,0,Default,,0,0,0,,") + row.input;
    const platform::gst::SubtitleCue cue = AssBlockToCue(script, block);
    EXPECT_EQ(cue.text, row.markup);
    ExpectPangoAccepts(cue.text);
  }
}

TEST(AssBlock, PlacementAndCueWideTags) {
  const AssScript script = ParseAssScript(kHeader);
  const auto layout = [&](const char* text) {
    return AssBlockToCue(script, std::string("0,0,Default,,0,0,0,,") + text).layout;
  };
  const struct {
    const char* label;
    const char* text;
    int alignment;
  } alignments[] = {
      {"numpad", R"({\an7}x)", 7},   {"legacy_top", R"({\a6}x)", 8}, {"legacy_middle", R"({\a10}x)", 5},
      {"first_wins", R"({\an8}x{\an1}y)", 8}, {"invalid_ignored", R"({\an0\a4}x)", 2},
  };
  for (const auto& row : alignments) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(layout(row.text).alignment, row.alignment);
  }

  const platform::gst::CueLayout pos = layout(R"({\pos(480,810)}x)");
  EXPECT_TRUE(pos.hasAnchor);
  EXPECT_DOUBLE_EQ(pos.anchorX, 0.25);
  EXPECT_DOUBLE_EQ(pos.anchorY, 0.75);
  const platform::gst::CueLayout move = layout(R"({\move(960,540,0,0,0,500)}x)");
  EXPECT_DOUBLE_EQ(move.anchorX, 0.5);
  EXPECT_DOUBLE_EQ(move.anchorY, 0.5);

  const platform::gst::CueLayout look = layout(R"({\3c&HFF0000&\4a&H00&\bord0\shad5.4\fs108}x{\fs10\bord9}y)");
  EXPECT_EQ(look.outlineColour, (CueColour{0, 0, 255, 255}));
  EXPECT_EQ(look.shadowColour.alpha, 255);
  EXPECT_EQ(look.outlineWidth, 0);
  EXPECT_DOUBLE_EQ(look.shadowOffset, 5.4 / 1080);
  EXPECT_DOUBLE_EQ(look.fontSize, 0.1);  // tags after the first text cannot change the whole cue
}

TEST(WebVtt, TagsClassesAndReferences) {
  const MarkupRow rows[] = {
      {"basic_tags", "<b>b</b> <i>i</i> <u>u</u>", "<b>b</b> <i>i</i> <u>u</u>"},
      {"colour_classes", "<c.yellow.bg_blue>x</c>", "<span foreground=\"#ffff00\" background=\"#0000ff\">x</span>"},
      {"class_on_italic", "<i.red>x</i>", "<span style=\"italic\" foreground=\"#ff0000\">x</span>"},
      {"other_classes", "<c.loud>x</c>", "x"},
      {"voice_and_lang", "<v.first Bob>hi <lang en>there</lang></v>", "hi there"},
      {"ruby_without_rt", "<ruby>漢<rt>kan</ruby>字", "漢字"},
      {"timestamps", "a<00:00:01.000>b<01.500>c", "abc"},
      {"references", "&amp;&lt;&gt;&nbsp;&lrm;&#65;&#x42;&bogus;", "&amp;&lt;&gt;\xC2\xA0\xE2\x80\x8E" "AB&amp;bogus;"},
      {"mismatched_end_ignored", "<b>x<i>y</b>z</i>", "<b>x<i>yz</i></b>"},
      {"lone_lt_and_amp", "a < b & c\r\n", "a &lt; b &amp; c"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const platform::gst::SubtitleCue cue = WebVttToCue(row.input);
    EXPECT_EQ(cue.text, row.markup);
    EXPECT_TRUE(cue.layout.IsDefaultPlacement());
    ExpectPangoAccepts(cue.text);
  }
}

TEST(SubRip, HtmlTagsBecomePangoMarkup) {
  const MarkupRow rows[] = {
      {"font_hex", "<font color=\"#FF8000\">x</font>", "<span foreground=\"#ff8000\">x</span>"},
      {"font_bare_hex_unquoted", "<font color=00ff00>x</font>", "<span foreground=\"#00ff00\">x</span>"},
      {"font_css_name", "<FONT COLOR='Green'>x</FONT>", "<span foreground=\"#008000\">x</span>"},
      {"font_alpha_first", "<font color=\"#80FF0000\">x</font>",
       "<span foreground=\"#ff0000\" alpha=\"32896\">x</span>"},
      {"font_face_size", "<font face=\"A&amp;B\" size=\"40\">x</font>", "<span font_family=\"A&amp;B\">x</span>"},
      {"font_bad_colour", "<font color=\"nope\">x</font>", "x"},
      {"case_insensitive", "<B>x</B><I>y</I><S>z</S>", "<b>x</b><i>y</i><s>z</s>"},
      {"overlap_reopened", "<b>a<i>b</b>c</i>", "<b>a<i>b</i></b><i>c</i>"},
      {"pango_passthrough", "<span foreground=\"#ff0000\">red</span> <i>&amp;</i>",
       "<span foreground=\"#ff0000\">red</span> <i>&amp;</i>"},
      {"span_values_checked", "<span foreground=\"nope\" weight=\"heavy\" size=\"x\" onclick=\"y\">x</span>",
       "<span weight=\"heavy\">x</span>"},
      {"unknown_tag", "<marquee>x</marquee><br>y", "x\ny"},
      {"stray_close", "x</b></i>", "x"},
      {"lone_lt_and_amp", "1 < 2 && 3 <3", "1 &lt; 2 &amp;&amp; 3 &lt;3"},
      {"unterminated_tag", "<b x", "&lt;b x"},
      {"ass_blocks_stripped", "{\\an8}{\\pos(1,2)}x{\\b1}", "x"},
      {"plain_braces_kept", "{x}", "{x}"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const platform::gst::SubtitleCue cue = SubRipToCue(row.input);
    EXPECT_EQ(cue.text, row.markup);
    ExpectPangoAccepts(cue.text);
  }
  EXPECT_EQ(SubRipToCue("{\\an8}top").layout.alignment, 8);
  EXPECT_EQ(SubRipToCue("{\\a3}x{\\an7}").layout.alignment, 3);
  EXPECT_TRUE(SubRipToCue("{\\an2}x").layout.IsDefaultPlacement());
}

TEST(SubtitleMarkup, HostileInputStillYieldsValidMarkup) {
  const std::string deep = std::string(5000, '<') + "b>" + std::string(20000, 'x');
  std::string nested;
  for (int i = 0; i < 5000; ++i) nested += (i % 2) ? "<i>x" : "<b>y";
  for (int i = 0; i < 5000; ++i) nested += (i % 2) ? "</b>" : "</i>";
  const std::string rows[] = {
      std::string("a\xFF\xC3(b\xED\xA0\x80\0c\x01\x7F", 12),
      std::string(3'000'000, '<'),
      std::string(200'000, '{') + "\\b1",
      std::string(100'000, '&'),
      deep,
      nested,
      "{\\t(((((\\b1}x{\\pos(}{\\move(1)}\\",
      "<span alpha=\"0%\" bgalpha=\"70000\" weight=\"1\">x</span>",
      "<c.bg_red.><v><rt><ruby></rt>y<",
  };
  const AssScript script = ParseAssScript(std::string("[V4+ Styles]\nStyle: ") + std::string(10'000, ','));
  for (const std::string& row : rows) {
    for (const platform::gst::SubtitleCue& cue :
         {SubRipToCue(row), WebVttToCue(row), AssBlockToCue(script, "0,0,,,,,,," + row)}) {
      ExpectPangoAccepts(cue.text);
      EXPECT_LE(cue.text.size(), 300'000u);
    }
  }
}

}  // namespace
}  // namespace corvane::platform::gst
