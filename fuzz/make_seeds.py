#!/usr/bin/env python3
"""Writes the seed movies of fuzz/corpus: tiny movies of our own covering the main tags."""
import os, struct, zlib

class Bits:
    def __init__(self): self.out = bytearray(); self.cur = 0; self.n = 0
    def ub(self, v, n):
        for i in range(n - 1, -1, -1):
            self.cur = (self.cur << 1) | ((v >> i) & 1); self.n += 1
            if self.n == 8: self.out.append(self.cur); self.cur = 0; self.n = 0
    def sb(self, v, n): self.ub(v & ((1 << n) - 1), n)
    def align(self):
        if self.n: self.ub(0, 8 - self.n)
    def raw(self, b): self.align(); self.out += b
    def rect(self, x0, x1, y0, y1):
        self.align(); self.ub(16, 5)
        for v in (x0, x1, y0, y1): self.sb(v, 16)
        self.align()

def tag(code, body):
    if len(body) < 63: return struct.pack('<H', code << 6 | len(body)) + body
    return struct.pack('<HI', code << 6 | 63, len(body)) + body

def rect_shape(cid, w, h, rgb, code=2):
    b = Bits(); b.raw(struct.pack('<H', cid)); b.rect(0, w, 0, h)
    b.raw(bytes([1, 0]) + bytes(rgb) + (b'\xff' if code == 32 else b''))
    b.raw(bytes([1]) + struct.pack('<H', 20) + b'\0\0\0' + (b'\xff' if code == 32 else b''))
    b.ub(1, 4); b.ub(1, 4)
    b.ub(0b001101, 6); b.ub(1, 5); b.sb(0, 1); b.sb(0, 1); b.ub(1, 1); b.ub(1, 1)
    for dx, dy in ((w, 0), (0, h), (-w, 0), (0, -h)):
        b.ub(1, 1); b.ub(1, 1); b.ub(14, 4)
        if dx: b.ub(0, 1); b.ub(0, 1); b.sb(dx, 16)
        else: b.ub(0, 1); b.ub(1, 1); b.sb(dy, 16)
    b.ub(0, 6); b.align()
    return tag(code, bytes(b.out))

def place2(depth, cid=None, move=False, tx=0, name=None, ratio=None):
    flags = (0x02 if cid is not None else 0) | (0x01 if move else 0) | 0x04 | (0x20 if name else 0) | (0x10 if ratio is not None else 0)
    b = Bits(); b.raw(bytes([flags]) + struct.pack('<H', depth))
    if cid is not None: b.raw(struct.pack('<H', cid))
    b.ub(0, 1); b.ub(0, 1); b.ub(16, 5); b.sb(tx, 16); b.sb(0, 16); b.align()
    if ratio is not None: b.raw(struct.pack('<H', ratio))
    if name: b.raw(name.encode() + b'\0')
    return tag(26, bytes(b.out))

SHOW, END = tag(1, b''), tag(0, b'')

def movie(tags, version=8, frames=1, compress=False):
    b = Bits(); b.rect(0, 4000, 0, 3000); b.raw(bytes([0, 12]) + struct.pack('<H', frames)); b.raw(tags + END)
    body = bytes(b.out)
    head = (b'CWS' if compress else b'FWS') + bytes([version]) + struct.pack('<I', len(body) + 8)
    return head + (zlib.compress(body) if compress else body)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
os.makedirs(here, exist_ok=True)
bg = tag(9, bytes([200, 220, 255]))
shapes = rect_shape(1, 400, 300, (255, 0, 0)) + rect_shape(2, 100, 100, (0, 128, 255), 32)
seeds = {
    'rects.swf': movie(bg + shapes + place2(1, 1, name='a') + SHOW + place2(1, move=True, tx=200) + SHOW, frames=2),
    'rects_zlib.swf': movie(bg + shapes + place2(1, 1) + place2(2, 2, tx=500) + SHOW, version=6, compress=True),
    'sprite.swf': movie(shapes + tag(39, struct.pack('<HH', 5, 2) + place2(1, 2) + SHOW + place2(1, move=True, tx=100) + SHOW + END)
                        + place2(1, 5, name='clip') + tag(43, b'lbl\0') + SHOW + tag(28, struct.pack('<H', 1)) + SHOW, frames=2),
    'actions.swf': movie(shapes + place2(1, 1) + tag(12, bytes([0x96, 4, 0, 0, ord('h'), ord('i'), 0, 0x26, 0x07, 0])) + SHOW, version=5),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f: f.write(data)
print('wrote', len(seeds), 'seeds to', here)
