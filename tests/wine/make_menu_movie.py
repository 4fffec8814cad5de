#!/usr/bin/env python3
"""Writes a small movie for the movie-menu test: a 550x400 white stage whose movie menu
hides the player's entries and adds one item, "Paint it black". Its handler checks the
item it is given and sends the movie it is given (the root) to frame 2, which covers the
stage in black. Frame 1 stops.
  make_menu_movie.py OUT.swf"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_button_movie import define_rect, place, rect, tag  # noqa: E402
from make_save_movie import push  # noqa: E402

GET_VARIABLE, SET_VARIABLE, GET_MEMBER, SET_MEMBER = 0x1C, 0x1D, 0x4E, 0x4F
CALL_METHOD, NEW_OBJECT, POP, STOP, EQUALS, NOT = 0x52, 0x40, 0x17, 0x07, 0x49, 0x12
CAPTION = 'Paint it black'


def function(params, body):
    """DefineFunction without a name: leaves the function on the stack."""
    payload = b'\0' + struct.pack('<H', len(params))
    payload += b''.join(p.encode() + b'\0' for p in params)
    payload += struct.pack('<H', len(body))
    return bytes([0x9B]) + struct.pack('<H', len(payload)) + payload + body


def main():
    go = push(2, 1, 'obj') + bytes([GET_VARIABLE]) + push('gotoAndStop') + bytes([CALL_METHOD, POP])
    handler = (push('item') + bytes([GET_VARIABLE]) + push('caption') + bytes([GET_MEMBER]) +
               push(CAPTION) + bytes([EQUALS, NOT]) + bytes([0x9D]) + struct.pack('<Hh', 2, len(go)) +
               go)
    actions = push('cm', 0, 'ContextMenu') + bytes([NEW_OBJECT, SET_VARIABLE])
    actions += push(0, 'cm') + bytes([GET_VARIABLE]) + push('hideBuiltInItems') + \
        bytes([CALL_METHOD, POP])
    actions += function(['obj', 'item'], handler) + push(CAPTION, 2, 'ContextMenuItem') + \
        bytes([NEW_OBJECT])
    actions += push(1, 'cm') + bytes([GET_VARIABLE]) + push('customItems') + \
        bytes([GET_MEMBER]) + push('push') + bytes([CALL_METHOD, POP])
    actions += push('_root') + bytes([GET_VARIABLE]) + push('menu', 'cm') + \
        bytes([GET_VARIABLE, SET_MEMBER, STOP, 0])
    tags = tag(9, bytes([255, 255, 255]))
    tags += define_rect(4, 11000, 8000, (0, 0, 0))
    tags += tag(12, actions) + tag(1, b'')
    tags += place(2, 4, 0, 0) + tag(1, b'') + tag(0, b'')
    body = rect(0, 11000, 0, 8000) + struct.pack('<BBH', 0, 12, 2) + tags
    with open(sys.argv[1], 'wb') as f:
        f.write(b'FWS' + bytes([8]) + struct.pack('<I', 8 + len(body)) + body)


if __name__ == '__main__':
    main()
