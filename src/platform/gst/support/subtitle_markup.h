// Subtitle payloads as the text sink receives them, turned into cues for the
// rasterizer: Pango markup for the look of each run of text, a CueLayout for
// placement, size, outline and shadow.
//
// A cue's text is always well-formed Pango markup and isMarkup is always
// true: text escaped, elements balanced and nested (where the source's tags
// overlap, the inner ones are closed and reopened), only elements and
// attributes Pango 1.50 knows, with values it accepts (colours as
// "#rrggbb", alphas as 1 to 65535, so a fully transparent run gets 1: Pango
// reads 0 as opaque). Tags Pango cannot express are dropped, their text
// kept. Nothing is trusted: unterminated tags and braces become text,
// invalid UTF-8 becomes U+FFFD, NULs and other C0 controls but tab and line
// feed are dropped, nesting deeper than 32 is ignored, markup stops growing
// at 256 KiB, and the time taken is linear in the input.
//
// Pure; any thread.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_SUBTITLE_MARKUP_H_
#define CORVANE_PLATFORM_GST_SUPPORT_SUBTITLE_MARKUP_H_

#include <string_view>

#include "platform/gst/support/ass_script.h"
#include "platform/gst/subtitle_rasterizer.h"

namespace corvane::platform::gst {

// One Matroska ASS/SSA block: "ReadOrder,Layer,Style,Name,MarginL,MarginR,
// MarginV,Effect,Text", the text free to hold commas. A block with fewer
// fields is all text in the default style.
//
// The event's style gives the runs' font, weight, slant, underline,
// strike-out and colour, and the layout (sizes and margins as fractions of
// PlayRes; the event's non-zero margins win). Override blocks "{...}":
// - per run: \b \i \u \s \c \1c \alpha \1a \fn, and \r / \rStyle resetting
//   them to the event's style or the named one (the event's if unknown);
//   an empty value (\b, \c) also returns to the style's;
// - for the whole cue, as they stand when the first text is reached:
//   \3c \3a \4c \4a \bord \shad \fs (later ones cannot be drawn per run
//   and are ignored), and \alpha for outline and shadow too;
// - the first \an, \a (legacy numbering), \pos or \move (its start point)
//   places the cue;
// - \p1 to \p0 drops drawing commands; all other tags and text in braces
//   without a backslash are dropped.
// In the text, \N breaks the line, \n too under WrapStyle 2 and is a space
// otherwise, \h is a no-break space. BorderStyle 3's box is drawn as the
// runs' background in the outline colour, with no outline and no shadow.
SubtitleCue AssBlockToCue(const AssScript& script, std::string_view block);

// The text lines of one WebVTT cue, as Matroska stores them. <b> <i> <u>
// are kept; the standard colour classes (white, lime, cyan, red, yellow,
// magenta, blue, black, and bg_ for the background) on any tag colour its
// text; <c>, <v>, <lang>, <ruby> and timestamps keep only their text, <rt>
// not even that. Mismatched end tags are ignored, as WebVTT parsers do.
// Character references: &amp; &lt; &gt; &quot; &apos; &nbsp; &lrm; &rlm;
// and numeric ones. The layout is the default one.
SubtitleCue WebVttToCue(std::string_view payload);

// SubRip-style text: plain text with HTML-like tags, any case: <b> <i> <u>
// <s>, <font color face> (colour as "#rrggbb", "rrggbb", "#rgb", a CSS
// basic colour name, or "#aarrggbb" with aa ff opaque; size ignored), <br>
// for a line break, and Pango's own <span> with its foreground, background,
// alpha, bgalpha, font_family, weight, style, underline and strikethrough
// attributes (so text already converted to markup keeps its look; colour
// values come out as "#rrggbb"). The first {\anN} or legacy {\aN} sets the
// alignment; other {\...} blocks are dropped. Same character references as
// WebVTT; a '&' or '<' that starts none is text.
SubtitleCue SubRipToCue(std::string_view text);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_SUBTITLE_MARKUP_H_
