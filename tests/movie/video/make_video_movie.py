#!/usr/bin/env python3
"""Writes video.swf, a movie with video and a speech sound for the program's own test:

  10 fps, 20 frames, a 320x240 stage filled by a 64x48 Sorenson H.263 stream (stretched
  five times): 1 s of blue (32, 80, 192), then 1 s of yellow (224, 192, 32); on the last
  frame the movie stops, the yellow frame left up. From the first frame, a speech sound
  (16 kHz) of 440 Hz plays four times over: 2 s of tone, Nellymoser or Speex.

The stream and the sound come from data/blue_yellow.flv and data/nelly16.flv or
data/speex.flv.
Usage: make_video_movie.py OUTPUT.swf [nellymoser|speex]
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def tag(code, body=b""):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 63, len(body)) + body


def flv_packets(name, video):
    d = open(os.path.join(HERE, "data", name), "rb").read()
    p = struct.unpack(">I", d[5:9])[0] + 4
    out = []
    while p + 11 <= len(d):
        n = int.from_bytes(d[p + 1:p + 4], "big")
        if d[p] == (9 if video else 8):
            out.append(d[p + 12:p + 11 + n])
        p += 15 + n
    return out


def place(depth, character=None, ratio=0, scale=None):
    """PlaceObject2 with a ratio, and on the first placing a scale-only matrix."""
    flags = 0x10 | (0x02 if character is not None else 0x01) | (0x04 if scale else 0)
    body = bytes([flags]) + struct.pack("<H", depth)
    if character is not None:
        body += struct.pack("<H", character)
    if scale:
        # MATRIX: HasScale, two 16.16 scales in 24 bits each, no rotate, no translation.
        bits = "1" + format(24, "05b")
        fixed = int(scale * 65536)
        bits += format(fixed, "024b") * 2 + "0" + format(0, "05b")
        bits += "0" * (-len(bits) % 8)
        body += int(bits, 2).to_bytes(len(bits) // 8, "big")
    return tag(26, body + struct.pack("<H", ratio))


def main(out, codec):
    frames = flv_packets("blue_yellow.flv", True)
    speex = codec == "speex"
    packets = flv_packets("speex.flv" if speex else "nelly16.flv", False)
    tone = b"".join(packets)
    # DefineSound: Nellymoser 16 kHz (format 4; 256 samples a 64-byte block) or Speex (11;
    # 320 samples a frame), mono.
    sound_format, samples = (11, len(packets) * 320) if speex else (4, len(tone) // 64 * 256)
    tags = tag(9, bytes([255, 255, 255]))
    tags += tag(60, struct.pack("<HHHHBB", 1, len(frames), 64, 48, 0x02, 2))
    tags += tag(14, struct.pack("<HB", 2, sound_format << 4 | 1 << 1) + struct.pack("<I", samples) + tone)
    tags += tag(15, struct.pack("<HBH", 2, 0x04, 4))  # StartSound, four times over
    for i, data in enumerate(frames):
        tags += tag(61, struct.pack("<HH", 1, i) + data)
        tags += place(1, 1, i, 5.0) if i == 0 else place(1, None, i)
        if i == len(frames) - 1:
            tags += tag(12, bytes([0x07, 0x00]))  # stop
        tags += tag(1)
    tags += tag(0)
    rect = "01110" + format(0, "014b") + format(6400, "014b") + format(0, "014b") + format(4800, "014b")
    rect += "0" * (-len(rect) % 8)
    body = int(rect, 2).to_bytes(len(rect) // 8, "big") + struct.pack("<BBH", 0, 10, len(frames)) + tags
    with open(out, "wb") as f:
        f.write(b"FWS" + bytes([8]) + struct.pack("<I", len(body) + 8) + body)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "nellymoser")
