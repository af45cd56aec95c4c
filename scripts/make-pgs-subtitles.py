#!/usr/bin/env python3
"""Writes a small bitmap subtitle stream as a raw PGS (.sup) file.

    scripts/make-pgs-subtitles.py <out.sup> [--width 320] [--height 240]
                                  [--start 0.5] [--end 2.0]

ffmpeg cannot encode bitmap subtitles from text, so the test media gets its
bitmap stream from here and ffmpeg only muxes it (-c:s copy).

The stream holds two display sets:
  * at --start: an epoch start showing one object, an opaque white 64x32
    rectangle with a one-pixel transparent border, centred horizontally in
    the lower part of the picture;
  * at --end: a set with no objects, which clears the screen.

Each display set is the usual sequence of segments: presentation
composition (PCS), window definition (WDS), palette (PDS, first set only),
object (ODS, first set only), end of display set (END). Every segment starts
with "PG", its presentation and decoding time stamps (90 kHz), its type and
its payload size, all big-endian.
"""

import argparse
import struct
import sys

PTS_CLOCK = 90_000  # PGS time stamps count a 90 kHz clock

SEGMENT_PDS = 0x14
SEGMENT_ODS = 0x15
SEGMENT_PCS = 0x16
SEGMENT_WDS = 0x17
SEGMENT_END = 0x80

COMPOSITION_NORMAL = 0x00
COMPOSITION_EPOCH_START = 0x80
FRAME_RATE_CODE = 0x10  # the value every PGS stream carries here
OBJECT_FIRST_AND_LAST = 0xC0

TRANSPARENT = 0  # palette entry 0 is never defined, so it stays transparent
WHITE = 1

RECT_WIDTH = 64
RECT_HEIGHT = 32


def segment(kind, pts, payload):
    # Decoding time stamps are left at 0, as most encoders do.
    return b"PG" + struct.pack(">IIBH", pts, 0, kind, len(payload)) + payload


def presentation_composition(width, height, number, state, objects):
    """objects: (object id, window id, x, y) of each object shown."""
    payload = struct.pack(">HHBHBBBB", width, height, FRAME_RATE_CODE, number, state,
                          0x00,  # not a palette-only update
                          0,  # palette id
                          len(objects))
    for object_id, window_id, x, y in objects:
        payload += struct.pack(">HBBHH", object_id, window_id, 0x00, x, y)  # 0x00: not cropped
    return payload


def window_definition(windows):
    """windows: (window id, x, y, width, height) of each window."""
    payload = struct.pack(">B", len(windows))
    for window_id, x, y, w, h in windows:
        payload += struct.pack(">BHHHH", window_id, x, y, w, h)
    return payload


def palette_definition():
    # Entries are id, Y, Cr, Cb, alpha: video-range white, fully opaque.
    return struct.pack(">BB", 0, 0) + struct.pack(">BBBBB", WHITE, 235, 128, 128, 255)


def run(length, colour):
    """One run of the PGS run-length code."""
    assert 0 < length < 16384
    if colour != 0 and length <= 2:
        return bytes([colour]) * length
    if colour == 0:
        if length < 64:
            return bytes([0, length])
        return bytes([0, 0x40 | (length >> 8), length & 0xFF])
    if length < 64:
        return bytes([0, 0x80 | length, colour])
    return bytes([0, 0xC0 | (length >> 8), length & 0xFF, colour])


def end_of_line():
    return bytes([0, 0])


def rectangle_bitmap(width, height):
    """A filled rectangle with a transparent one-pixel border, run-length coded."""
    border_row = run(width, TRANSPARENT) + end_of_line()
    inner_row = run(1, TRANSPARENT) + run(width - 2, WHITE) + run(1, TRANSPARENT) + end_of_line()
    return border_row + inner_row * (height - 2) + border_row


def object_definition(object_id, width, height, bitmap):
    # The data length counts the width and height fields as well (24 bits).
    data = struct.pack(">HH", width, height) + bitmap
    if len(data) >= 1 << 24:
        raise ValueError("object too large for one segment")
    return (struct.pack(">HBB", object_id, 0, OBJECT_FIRST_AND_LAST) + len(data).to_bytes(3, "big") + data)


def to_pts(seconds):
    return round(seconds * PTS_CLOCK)


def pgs_stream(width, height, start, end):
    x = (width - RECT_WIDTH) // 2
    y = height - RECT_HEIGHT - height // 8
    window = (0, x, y, RECT_WIDTH, RECT_HEIGHT)

    shown = to_pts(start)
    cue = b"".join([
        segment(SEGMENT_PCS, shown,
                presentation_composition(width, height, 0, COMPOSITION_EPOCH_START, [(0, 0, x, y)])),
        segment(SEGMENT_WDS, shown, window_definition([window])),
        segment(SEGMENT_PDS, shown, palette_definition()),
        segment(SEGMENT_ODS, shown,
                object_definition(0, RECT_WIDTH, RECT_HEIGHT, rectangle_bitmap(RECT_WIDTH, RECT_HEIGHT))),
        segment(SEGMENT_END, shown, b""),
    ])

    cleared = to_pts(end)
    clear = b"".join([
        segment(SEGMENT_PCS, cleared, presentation_composition(width, height, 1, COMPOSITION_NORMAL, [])),
        segment(SEGMENT_WDS, cleared, window_definition([window])),
        segment(SEGMENT_END, cleared, b""),
    ])
    return cue + clear


def main(argv):
    parser = argparse.ArgumentParser(description="Write a two-display-set PGS subtitle stream.")
    parser.add_argument("output")
    parser.add_argument("--width", type=int, default=320)
    parser.add_argument("--height", type=int, default=240)
    parser.add_argument("--start", type=float, default=0.5, help="when the rectangle shows, in seconds")
    parser.add_argument("--end", type=float, default=2.0, help="when the screen is cleared, in seconds")
    args = parser.parse_args(argv)
    if args.width < RECT_WIDTH or args.height < RECT_HEIGHT * 2:
        parser.error("the picture is too small for the rectangle")
    if not 0 <= args.start < args.end:
        parser.error("--start must be before --end")
    with open(args.output, "wb") as out:
        out.write(pgs_stream(args.width, args.height, args.start, args.end))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
