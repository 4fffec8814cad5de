#!/usr/bin/env python3
"""Writes a small movie for the save test: a 550x400 white stage whose first frame opens
the shared object "run", then stores seen = true in it and flushes. When it held `seen`
already (a save from an earlier run) the movie goes to frame 2, which covers the stage in
black; else it stops on the white frame.
  make_save_movie.py OUT.swf"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_button_movie import define_rect, place, rect, tag  # noqa: E402


def push(*items):
    body = b''
    for item in items:
        if item is True:
            body += bytes([5, 1])
        elif isinstance(item, int):
            body += bytes([7]) + struct.pack('<i', item)
        else:
            body += bytes([0]) + item.encode() + bytes([0])
    return bytes([0x96]) + struct.pack('<H', len(body)) + body


GET_VARIABLE, SET_VARIABLE, GET_MEMBER, SET_MEMBER = 0x1C, 0x1D, 0x4E, 0x4F
CALL_METHOD, POP, STOP = 0x52, 0x17, 0x07


def branch(code, offset):
    return bytes([code]) + struct.pack('<Hh', 2, offset)


def main():
    # The frame's actions may run more than once (a rewind, a loop): the save is looked
    # at only the first time, and what was found decides every time.
    open_run = (push('so', 'run', 1, 'SharedObject') + bytes([GET_VARIABLE]) + push('getLocal') +
                bytes([CALL_METHOD, SET_VARIABLE]))
    seen = push('found', 'so') + bytes([GET_VARIABLE]) + push('data') + bytes([GET_MEMBER]) + \
        push('seen') + bytes([GET_MEMBER, SET_VARIABLE])
    save = (push('so') + bytes([GET_VARIABLE]) + push('data') + bytes([GET_MEMBER]) +
            push('seen', True) + bytes([SET_MEMBER]) + push(0, 'so') + bytes([GET_VARIABLE]) +
            push('flush') + bytes([CALL_METHOD, POP]))
    first = push('started', True) + bytes([SET_VARIABLE]) + open_run + seen + save
    found = bytes([0x81, 2, 0, 1, 0, STOP])  # gotoAndStop(2)
    white = bytes([STOP]) + branch(0x99, len(found))  # stop here, jump over `found`
    actions = (push('started') + bytes([GET_VARIABLE]) + branch(0x9D, len(first)) + first +
               push('found') + bytes([GET_VARIABLE]) + branch(0x9D, len(white)) + white + found +
               bytes([0]))
    tags = tag(9, bytes([255, 255, 255]))
    tags += define_rect(4, 11000, 8000, (0, 0, 0))
    tags += tag(12, actions) + tag(1, b'')
    tags += place(2, 4, 0, 0) + tag(1, b'') + tag(0, b'')
    body = rect(0, 11000, 0, 8000) + struct.pack('<BBH', 0, 12, 2) + tags
    with open(sys.argv[1], 'wb') as f:
        f.write(b'FWS' + bytes([6]) + struct.pack('<I', 8 + len(body)) + body)


if __name__ == '__main__':
    main()
