#!/usr/bin/env python3
"""Writes a movie of text in device fonts for the text test: a 420x300 stage, white, a
line in _sans across its top quarter (black, 24 px), three lines in a field one line high
across the middle, and in its bottom fifth an empty bordered input field in _sans. No scripts.
  make_text_movie.py OUT.swf"""
import struct
import sys

# The SWF basics the button test movie is written with.
from make_button_movie import rect, tag


def device_font(cid, name):
    """DefineFont2 with a name and no glyphs: text in it uses the system's face."""
    return tag(48, struct.pack('<HBBB', cid, 0, 0, len(name)) + name.encode() + struct.pack('<HH', 0, 2))


def edit_text(cid, x, y, w, h, font, size, text, editable, border, multiline=False):
    flags1 = 0x80 | 0x04 | 0x01  # has text, has colour, has font
    if multiline:
        flags1 |= 0x20
    if not editable:
        flags1 |= 0x08  # read-only
    flags2 = 0x08 if border else 0x00
    body = struct.pack('<H', cid) + rect(x, x + w, y, y + h) + bytes([flags1, flags2])
    body += struct.pack('<HH', font, size) + bytes([0, 0, 0, 255]) + b'\0' + text.encode() + b'\0'
    return tag(37, body)


def place(depth, character):
    return tag(26, struct.pack('<BHH', 0x02, depth, character))


def main():
    tags = tag(9, bytes([255, 255, 255]))
    tags += device_font(1, '_sans')
    tags += edit_text(2, 400, 400, 7600, 900, 1, 480, 'Device text: Hamburgefonstiv', False, False)
    tags += edit_text(3, 400, 4700, 7600, 900, 1, 480, '', True, True)
    tags += edit_text(4, 400, 2600, 7600, 700, 1, 480, 'First line\rSecond line\rThird line', False, False, True)
    tags += place(1, 2) + place(2, 3) + place(3, 4) + tag(1, b'') + tag(0, b'')
    body = rect(0, 8400, 0, 6000) + struct.pack('<BBH', 0, 12, 1) + tags
    with open(sys.argv[1], 'wb') as f:
        f.write(b'FWS' + bytes([8]) + struct.pack('<I', 8 + len(body)) + body)


if __name__ == '__main__':
    main()
