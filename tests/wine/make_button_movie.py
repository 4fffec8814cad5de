#!/usr/bin/env python3
"""Writes a small movie for the button test: a 550x400 stage, white, with a button over
its middle half (up red, over blue, down green) whose release goes to frame 2, which
covers the stage in black; typing "k" does the same. Frame 1 stops.
  make_button_movie.py OUT.swf"""
import struct
import sys


class Bits:
    def __init__(self):
        self.out, self.cur, self.n = bytearray(), 0, 0

    def ub(self, v, n):
        for i in range(n - 1, -1, -1):
            self.cur = (self.cur << 1) | ((v >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.cur)
                self.cur, self.n = 0, 0

    def sb(self, v, n):
        self.ub(v & ((1 << n) - 1), n)

    def align(self):
        if self.n:
            self.ub(0, 8 - self.n)
        return bytes(self.out)


def nbits(*values):
    n = 1
    while any(not (-(1 << (n - 1)) <= v < (1 << (n - 1))) for v in values):
        n += 1
    return n


def rect(x0, x1, y0, y1):
    b, n = Bits(), nbits(x0, x1, y0, y1)
    b.ub(n, 5)
    for v in (x0, x1, y0, y1):
        b.sb(v, n)
    return b.align()


def translate(tx, ty):
    b = Bits()
    b.ub(0, 1)
    b.ub(0, 1)
    n = nbits(tx, ty)
    b.ub(n, 5)
    b.sb(tx, n)
    b.sb(ty, n)
    return b.align()


def tag(code, body):
    return struct.pack('<HI', code << 6 | 0x3F, len(body)) + body


def define_rect(cid, w, h, rgb):
    """DefineShape: a filled w x h rectangle from (0,0), no outline."""
    b = Bits()
    b.ub(1, 4)  # fill bits
    b.ub(0, 4)  # line bits
    b.ub(0b000101, 6)  # style change record: fill1 and a move
    b.ub(1, 5); b.sb(0, 1); b.sb(0, 1)  # move to (0, 0)
    b.ub(1, 1)  # fill1 = 1 (one fill bit)
    for dx, dy in ((w, 0), (0, h), (-w, 0), (0, -h)):
        n = max(nbits(dx, dy), 2)
        b.ub(1, 1); b.ub(1, 1); b.ub(n - 2, 4)
        if dx and dy:
            b.ub(1, 1); b.sb(dx, n); b.sb(dy, n)
        else:
            b.ub(0, 1); b.ub(1 if dy else 0, 1); b.sb(dy or dx, n)
    b.ub(0, 6)  # end of shape
    body = struct.pack('<H', cid) + rect(0, w, 0, h) + bytes([1, 0x00]) + bytes(rgb) + bytes([0])
    return tag(2, body + b.align())


def button(cid, states, actions):
    """DefineButton2: records (flags, character), then one condition action block."""
    records = b''
    for flags, character in states:
        records += struct.pack('<BHH', flags, character, 1) + translate(0, 0) + bytes([0])  # empty CXFORMWITHALPHA
    records += bytes([0])
    body = struct.pack('<HBH', cid, 0, 2 + len(records)) + records
    # Typing "k" runs the same actions: the key code sits in the high seven bits.
    body += struct.pack('<HBB', 4 + len(actions), 0, ord('k') << 1) + actions
    body += struct.pack('<HBB', 0, 0x08, 0) + actions  # last; OverDownToOverUp
    return tag(34, body)


def place(depth, character, x, y):
    return tag(26, struct.pack('<BHH', 0x06, depth, character) + translate(x, y))


def main():
    stop, end = bytes([0x07]), bytes([0])
    goto_and_stop_2 = bytes([0x81, 2, 0, 1, 0]) + stop
    tags = tag(9, bytes([255, 255, 255]))
    tags += define_rect(1, 5500, 4000, (255, 0, 0))
    tags += define_rect(2, 5500, 4000, (0, 0, 255))
    tags += define_rect(3, 5500, 4000, (0, 255, 0))
    tags += define_rect(4, 11000, 8000, (0, 0, 0))
    tags += button(10, [(0x01 | 0x08, 1), (0x02, 2), (0x04, 3)], goto_and_stop_2 + end)
    tags += place(1, 10, 2750, 2000)
    tags += tag(12, stop + end) + tag(1, b'')
    tags += place(2, 4, 0, 0) + tag(1, b'') + tag(0, b'')
    body = rect(0, 11000, 0, 8000) + struct.pack('<BBH', 0, 12, 2) + tags
    with open(sys.argv[1], 'wb') as f:
        f.write(b'FWS' + bytes([6]) + struct.pack('<I', 8 + len(body)) + body)


if __name__ == '__main__':
    main()
