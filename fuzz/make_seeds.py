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

def u30(v):
    out = bytearray()
    while True:
        b = v & 0x7F; v >>= 7
        out.append(b | 0x80 if v else b)
        if not v: return bytes(out)

def abc_file():
    """A small ABC file: a class extending Sprite with a slot, an optional parameter and a
    try/catch, a Vector.<int> type name, and the script that defines the class."""
    def pool(entries): return u30(len(entries) + 1 if entries else 0) + b''.join(entries)
    def s(text): return u30(len(text)) + text.encode()
    def ns(kind, name): return bytes([kind]) + u30(name)
    def q(nsi, name): return b'\x07' + u30(nsi) + u30(name)
    def traits(*ts): return u30(len(ts)) + b''.join(ts)
    def body(method, code, exceptions=b'', count=0):
        return u30(method) + u30(2) + u30(2) + u30(0) + u30(2) + u30(len(code)) + code + u30(count) + exceptions + traits()
    strings = ['', 'Main', 'flash.display', 'Sprite', 'int', 'x', '__AS3__.vec', 'Vector', 'e', 'Error', 'trace']
    out = struct.pack('<HH', 16, 46)
    out += pool([u30(99), u30(0xFFFFFFFB)]) + pool([u30(7)]) + pool([struct.pack('<d', 1.5)]) + pool([s(t) for t in strings])
    out += pool([ns(0x16, 1), ns(0x16, 3), ns(0x16, 7), ns(0x18, 2), ns(0x05, 0)]) + pool([u30(2) + u30(1) + u30(2)])
    out += pool([q(1, 2), q(2, 4), q(1, 5), q(1, 6), q(3, 8), b'\x1d' + u30(5) + u30(1) + u30(3), q(1, 9), q(1, 10),
                 b'\x09' + u30(11) + u30(1), b'\x11'])
    plain = u30(0) + u30(0) + u30(0) + b'\x00'
    optional = u30(1) + u30(0) + u30(3) + u30(0) + b'\x88' + u30(1) + u30(1) + b'\x03' + u30(6)
    out += u30(3) + plain + plain + optional
    out += u30(1) + u30(11) + u30(1) + u30(6) + u30(9)  # metadata: trace(x="e")
    out += u30(1) + u30(1) + u30(2) + b'\x09' + u30(4) + u30(0) + u30(2)
    out += traits(u30(4) + b'\x40' + u30(0) + u30(3) + u30(1) + b'\x03' + u30(1) + u30(0))
    out += u30(1) + traits(u30(4) + b'\x06' + u30(0) + u30(6) + u30(0))
    out += u30(1) + u30(0) + traits(u30(1) + b'\x04' + u30(1) + u30(0))
    init = bytes([0xD0, 0x30, 0x47])
    ctor = bytes([0xD0, 0x30, 0xD0, 0x49, 0x00, 0x47, 0x29, 0x47])
    out += u30(3) + body(0, init) + body(1, init) + body(2, ctor, u30(2) + u30(5) + u30(6) + u30(8) + u30(7), 1)
    return out

def as3_movie(abc):
    attributes = tag(69, struct.pack('<I', 0x08))
    do_abc = tag(82, struct.pack('<I', 1) + b'frame1\0' + abc)
    symbols = tag(76, struct.pack('<HH', 1, 0) + b'Main\0')
    return movie(attributes + do_abc + symbols + SHOW, version=10)

def flv_packets(name, video):
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'movie', 'video', 'data', name)
    d = open(path, 'rb').read(); p = struct.unpack('>I', d[5:9])[0] + 4; out = []
    while p + 11 <= len(d):
        n = int.from_bytes(d[p + 1:p + 4], 'big')
        if d[p] == (9 if video else 8): out.append(d[p + 12:p + 11 + n])
        p += 15 + n
    return out

def video_movie():
    # Two H.263 frames placed with their ratios, and a Nellymoser sound started on the first.
    frames = flv_packets('h263.flv', True)[:2]
    stream = tag(60, struct.pack('<HHHHBB', 7, 2, 64, 48, 2, 2))
    nelly = b''.join(flv_packets('nelly16.flv', False)[:4])
    sound = tag(14, struct.pack('<HB', 8, 4 << 4 | 1 << 1) + struct.pack('<I', 1024) + nelly)
    tags = stream + sound + tag(15, struct.pack('<HB', 8, 0))
    for i, f in enumerate(frames):
        tags += tag(61, struct.pack('<HH', 7, i) + f) + place2(1, 7 if i == 0 else None, move=i > 0, ratio=i) + SHOW
    return movie(tags, frames=2)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
os.makedirs(here, exist_ok=True)
bg = tag(9, bytes([200, 220, 255]))
shapes = rect_shape(1, 400, 300, (255, 0, 0)) + rect_shape(2, 100, 100, (0, 128, 255), 32)
seeds = {
    'rects.swf': movie(bg + shapes + place2(1, 1, name='a') + SHOW + place2(1, move=True, tx=200) + SHOW, frames=2),
    'rects_zlib.swf': movie(bg + shapes + place2(1, 1) + place2(2, 2, tx=500) + SHOW, version=6, compress=True),
    'sprite.swf': movie(shapes + tag(39, struct.pack('<HH', 5, 2) + place2(1, 2) + SHOW + place2(1, move=True, tx=100) + SHOW + END)
                        + place2(1, 5, name='clip') + tag(43, b'lbl\0') + SHOW + tag(28, struct.pack('<H', 1)) + SHOW, frames=2),
    'abc.swf': as3_movie(abc_file()),
    'video.swf': video_movie(),
    'actions.swf': movie(shapes + place2(1, 1) + tag(12, bytes([0x96, 4, 0, 0, ord('h'), ord('i'), 0, 0x26, 0x07, 0])) + SHOW, version=5),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f: f.write(data)
print('wrote', len(seeds), 'seeds to', here)
