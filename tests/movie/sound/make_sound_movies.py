#!/usr/bin/env python3
"""Writes small movies with known sound for the tests of the sound path.

  stream.swf   10 fps, 25 frames: 5 frames without sound, then 20 frames of a 440 Hz
               stream sound (22050 Hz mono PCM, one block per frame) from 0.5 s to
               2.5 s; the last frame stops the movie. The quiet start keeps the sound
               clear of a program's start-up work.
  loop.swf     the same stream without the stop: it plays until the movie is closed.
  events.swf   10 fps, 20 frames: an 880 Hz event sound of 0.5 s (44100 Hz mono PCM)
               started on frames 0 and 10; the last frame stops the movie. Sound is
               heard from 0 to 0.5 s and from 1.0 to 1.5 s.

Each frame also shows a square whose colour changes, so the picture moves too.
Usage: make_sound_movies.py OUTPUT_DIR
"""
import math
import os
import struct
import sys

FPS = 10
FRAMES = 20
STREAM_LEAD = 5  # frames before the stream sound starts


def tag(code, body=b"", long_form=False):
    if len(body) < 63 and not long_form:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 63, len(body)) + body


def movie(tags, frames, width=4000, height=3000):
    # RECT with 15-bit fields: 0..width, 0..height in twips.
    nbits = 15
    bits = format(nbits, "05b") + "".join(format(v, "0%db" % nbits) for v in (0, width, 0, height))
    bits += "0" * (-len(bits) % 8)
    rect = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    body = rect + struct.pack("<BBH", 0, FPS, frames) + b"".join(tags) + tag(0)
    return b"FWS" + bytes([6]) + struct.pack("<I", 8 + len(body)) + body


def tone(hz, rate, count, amplitude=0.5):
    return b"".join(struct.pack("<h", int(round(amplitude * 32767 * math.sin(2 * math.pi * hz * i / rate))))
                    for i in range(count))


def rate_code(rate):
    return {5512: 0, 11025: 1, 22050: 2, 44100: 3}[rate]


def sound_format_byte(fmt, rate):  # 16-bit mono
    return bytes([(fmt << 4) | (rate_code(rate) << 2) | 0b10])


def square(frame):
    """DefineShape of a filled square in a colour of its own, placed at depth 1."""
    shape_id = 100 + frame
    r, g, b = (40 + 10 * frame) % 256, (200 - 7 * frame) % 256, (90 + 13 * frame) % 256
    # Bounds, one solid fill, no lines; a square from (500,500) to (3500,2500) as edges.
    def bits_of(value, n):
        return format(value & ((1 << n) - 1), "0%db" % n)
    rect_bits = bits_of(14, 5) + "".join(bits_of(v, 14) for v in (500, 3500, 500, 2500))
    rect_bits += "0" * (-len(rect_bits) % 8)
    rect = bytes(int(rect_bits[i:i + 8], 2) for i in range(0, len(rect_bits), 8))
    styles = bytes([1, 0x00, r, g, b]) + bytes([0])  # one solid fill, no line styles
    rec = "0001" + "0000"  # 1 fill bit, 0 line bits
    # Style change: move to (500,500), fill style 1.
    rec += "0" + "00011" + bits_of(14, 5) + bits_of(500, 14) + bits_of(500, 14) + "1"
    def line(dx, dy):
        n = 14
        if dy == 0:
            return "1" + "1" + bits_of(n - 2, 4) + "0" + "0" + bits_of(dx, n)
        return "1" + "1" + bits_of(n - 2, 4) + "0" + "1" + bits_of(dy, n)
    rec += line(3000, 0) + line(0, 2000) + line(-3000, 0) + line(0, -2000)
    rec += "000000"  # end of shape
    rec += "0" * (-len(rec) % 8)
    records = bytes(int(rec[i:i + 8], 2) for i in range(0, len(rec), 8))
    define = tag(2, struct.pack("<H", shape_id) + rect + styles + records)
    # PlaceObject2: first frame places, later frames replace the character at depth 1.
    flags = 0x02 | (0x01 if frame else 0)
    place = tag(26, bytes([flags]) + struct.pack("<HH", 1, shape_id))
    return define + place


STOP = tag(12, bytes([0x07, 0x00]))  # DoAction: Stop


def stream_movie(stop_at_end):
    rate = 22050
    per_frame = rate // FPS
    head = tag(18, bytes([0b00001010]) + sound_format_byte(3, rate) + struct.pack("<H", per_frame))
    samples = tone(440, rate, per_frame * FRAMES)
    tags = [tag(9, bytes([255, 255, 255])), head]
    total = STREAM_LEAD + FRAMES
    for f in range(total):
        if f >= STREAM_LEAD:
            block = f - STREAM_LEAD
            tags.append(tag(19, samples[block * per_frame * 2:(block + 1) * per_frame * 2], True))
        tags.append(square(f))
        if stop_at_end and f == total - 1:
            tags.append(STOP)
        tags.append(tag(1))
    return movie(tags, total)


def events_movie():
    rate = 44100
    count = rate // 2
    define = tag(14, struct.pack("<H", 1) + sound_format_byte(3, rate) + struct.pack("<I", count)
                 + tone(880, rate, count), True)
    start = tag(15, struct.pack("<H", 1) + bytes([0]))
    tags = [tag(9, bytes([255, 255, 255])), define]
    for f in range(FRAMES):
        tags.append(square(f))
        if f in (0, 10):
            tags.append(start)
        if f == FRAMES - 1:
            tags.append(STOP)
        tags.append(tag(1))
    return movie(tags, FRAMES)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in (("stream.swf", stream_movie(True)), ("loop.swf", stream_movie(False)),
                       ("events.swf", events_movie())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
