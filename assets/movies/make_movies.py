#!/usr/bin/env python3
"""Writes the movies Orvanta ships: the intro (Lumvex.swf) and a demo (demo.swf).

Both are drawn here from shapes, so the repository holds their source, not just bytes.
Usage: make_movies.py OUTPUT_DIR
"""
import math
import struct
import sys


class Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def u(self, value, nbits):
        for i in range(nbits - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc = self.n = 0

    def s(self, value, nbits):
        self.u(value & ((1 << nbits) - 1), nbits)

    def flush(self):
        if self.n:
            self.out.append(self.acc << (8 - self.n))
            self.acc = self.n = 0
        return bytes(self.out)


def sbits(*values):
    return max(max((abs(v).bit_length() + 1) for v in values), 1)


def rect(xmin, xmax, ymin, ymax):
    b = Bits()
    n = sbits(xmin, xmax, ymin, ymax)
    b.u(n, 5)
    for v in (xmin, xmax, ymin, ymax):
        b.s(v, n)
    return b.flush()


def matrix(scale=1.0, rotate=0.0, tx=0, ty=0):
    b = Bits()
    sx = int(round(scale * math.cos(rotate) * 65536))
    r0 = int(round(scale * math.sin(rotate) * 65536))
    if scale != 1.0 or rotate:
        b.u(1, 1)
        n = sbits(sx)
        b.u(n, 5)
        b.s(sx, n)
        b.s(sx, n)
    else:
        b.u(0, 1)
    if rotate:
        b.u(1, 1)
        n = sbits(r0, -r0)
        b.u(n, 5)
        b.s(r0, n)
        b.s(-r0, n)
    else:
        b.u(0, 1)
    n = sbits(tx, ty) if (tx or ty) else 0
    b.u(n, 5)
    if n:
        b.s(tx, n)
        b.s(ty, n)
    return b.flush()


def tag(code, body=b""):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


def rgba(c):
    return bytes(((c >> 16) & 255, (c >> 8) & 255, c & 255, (c >> 24) & 255))


def solid(c):
    return b"\x00" + rgba(c)


def gradient(kind, stops, mat):
    """kind 0x10 linear, 0x12 radial; stops: [(ratio, argb)]; mat: matrix bytes."""
    body = bytes([kind]) + mat + bytes([len(stops)])
    for ratio, c in stops:
        body += bytes([ratio]) + rgba(c)
    return body


def define_shape3(char_id, bounds, fills, lines, path_ops):
    """path_ops: ('move', x, y, fill0, fill1, line) | ('line', dx, dy) | ('curve', cx, cy, ax, ay)."""
    body = struct.pack("<H", char_id) + rect(*bounds)
    body += bytes([len(fills)]) + b"".join(fills)
    body += bytes([len(lines)])
    for width, c in lines:
        body += struct.pack("<H", width) + rgba(c)
    nf = max(len(fills).bit_length(), 1)
    nl = max(len(lines).bit_length(), 1)
    b = Bits()
    b.u(nf, 4)
    b.u(nl, 4)
    for op in path_ops:
        if op[0] == "move":
            _, x, y, f0, f1, ln = op
            b.u(0, 1)
            b.u(0, 1)  # new styles
            b.u(1, 1)  # line style
            b.u(1, 1)  # fill style 1
            b.u(1, 1)  # fill style 0
            b.u(1, 1)  # move to
            n = sbits(x, y)
            b.u(n, 5)
            b.s(x, n)
            b.s(y, n)
            b.u(f0, nf)
            b.u(f1, nf)
            b.u(ln, nl)
        elif op[0] == "line":
            _, dx, dy = op
            n = max(sbits(dx, dy), 2)
            b.u(1, 1)
            b.u(1, 1)
            b.u(n - 2, 4)
            b.u(1, 1)  # general line
            b.s(dx, n)
            b.s(dy, n)
        else:
            _, cx, cy, ax, ay = op
            n = max(sbits(cx, cy, ax, ay), 2)
            b.u(1, 1)
            b.u(0, 1)
            b.u(n - 2, 4)
            for v in (cx, cy, ax, ay):
                b.s(v, n)
    b.u(0, 6)
    body += b.flush()
    return tag(32, body)


def place(depth, char_id=None, mat=None, move=False, ratio=None):
    flags = (0x01 if move else 0) | (0x02 if char_id is not None else 0) | (0x04 if mat else 0)
    flags |= 0x10 if ratio is not None else 0
    body = bytes([flags]) + struct.pack("<H", depth)
    if char_id is not None:
        body += struct.pack("<H", char_id)
    if mat:
        body += mat
    if ratio is not None:
        body += struct.pack("<H", ratio)
    return tag(26, body)


def show_frame():
    return tag(1)


def stop_action():
    return tag(12, b"\x07\x00")


def movie(width_px, height_px, fps, frames, tags, background, version=6):
    body = rect(0, width_px * 20, 0, height_px * 20)
    body += struct.pack("<HH", int(fps * 256), frames)
    body += tag(9, bytes(((background >> 16) & 255, (background >> 8) & 255, background & 255)))
    body += b"".join(tags) + tag(0)
    return b"FWS" + bytes([version]) + struct.pack("<I", 8 + len(body)) + body


def circle_ops(r, f0, f1, ln):
    """A circle of radius r (twips) around the origin, as eight quadratic curves."""
    ops = [("move", r, 0, f0, f1, ln)]
    px, py = r, 0
    for i in range(1, 9):
        a = i * math.pi / 4
        x, y = r * math.cos(a), r * math.sin(a)
        mid = a - math.pi / 8
        cx, cy = r / math.cos(math.pi / 8) * math.cos(mid), r / math.cos(math.pi / 8) * math.sin(mid)
        icx, icy, ix, iy = int(round(cx)), int(round(cy)), int(round(x)), int(round(y))
        ops.append(("curve", icx - px, icy - py, ix - icx, iy - icy))
        px, py = ix, iy
    return ops


def polygon_ops(points, f0, f1, ln):
    ops = [("move", points[0][0], points[0][1], f0, f1, ln)]
    px, py = points[0]
    for x, y in points[1:] + points[:1]:
        ops.append(("line", x - px, y - py))
        px, py = x, y
    return ops


def star(r_out, r_in, n=5):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = -math.pi / 2 + i * math.pi / n
        pts.append((int(round(r * math.cos(a))), int(round(r * math.sin(a)))))
    return pts


def demo():
    tags = []
    # 1: a square with a linear gradient and an outline.
    grad = gradient(0x10, [(0, 0xFF2D6CDF), (128, 0xFF36C2B4), (255, 0xFFF2C14E)],
                    matrix(scale=2400 / 32768.0))
    tags.append(define_shape3(1, (-1240, 1240, -1240, 1240), [grad], [(40, 0xFF1B1F3B)],
                              polygon_ops([(-1200, -1200), (1200, -1200), (1200, 1200), (-1200, 1200)], 0, 1, 1)))
    # 2: a ball with a radial gradient.
    ball = gradient(0x12, [(0, 0xFFFFFFFF), (90, 0xFFFF7A59), (255, 0xFFB3261E)],
                    matrix(scale=1600 / 32768.0))
    tags.append(define_shape3(2, (-820, 820, -820, 820), [ball], [], circle_ops(800, 0, 1, 0)))
    # 3: a star, solid with an outline.
    tags.append(define_shape3(3, (-1300, 1300, -1300, 1300), [solid(0xFFFFD23F)], [(60, 0xFF6B4E16)],
                              polygon_ops(star(1250, 520), 0, 1, 1)))
    # 4: the floor band.
    tags.append(define_shape3(4, (0, 11000, 0, 900), [solid(0xFF263159)], [],
                              polygon_ops([(0, 0), (11000, 0), (11000, 900), (0, 900)], 0, 1, 0)))
    frames = 48
    tags.append(place(1, 4, matrix(tx=0, ty=7100)))
    for f in range(frames):
        t = f / frames
        angle = 2 * math.pi * t
        bounce = abs(math.sin(math.pi * 2 * t))
        first = f == 0
        tags.append(place(2, 1 if first else None, matrix(rotate=angle, tx=2600, ty=3600), move=not first))
        tags.append(place(3, 2 if first else None,
                          matrix(tx=int(5500 + 2500 * math.sin(angle)), ty=int(6200 - 3600 * bounce)),
                          move=not first))
        tags.append(place(4, 3 if first else None,
                          matrix(scale=0.7 + 0.3 * math.cos(angle), rotate=-angle, tx=8400, ty=3000),
                          move=not first))
        tags.append(show_frame())
    return movie(550, 400, 24, frames, tags, 0xE8EEF7)


def intro():
    tags = []
    colours = [0xFF2D6CDF, 0xFF36C2B4, 0xFFF2C14E, 0xFFFF7A59, 0xFFB3261E]
    for i, c in enumerate(colours):
        tags.append(define_shape3(10 + i, (0, 2200, 0, 8000), [solid(c)], [],
                                  polygon_ops([(0, 0), (2200, 0), (2200, 8000), (0, 8000)], 0, 1, 0)))
    # A ring: the inner circle runs the same way with the fill on its other side.
    tags.append(define_shape3(20, (-2100, 2100, -2100, 2100), [solid(0xFFFFFFFF)], [],
                              circle_ops(2000, 0, 1, 0) + circle_ops(1300, 1, 0, 0)))
    frames = 36
    for f in range(frames):
        t = min(1.0, f / 24)
        for i in range(len(colours)):
            slide = int((1 - t) ** 2 * 8000 * (1 if i % 2 else -1))
            first = f == 0
            tags.append(place(1 + i, 10 + i if first else None, matrix(tx=i * 2200, ty=slide),
                              move=not first))
        if f == 12:
            tags.append(place(10, 20, matrix(scale=0.05, tx=5500, ty=4000)))
        elif f > 12:
            s = min(1.0, (f - 12) / 12)
            tags.append(place(10, None, matrix(scale=0.05 + 0.95 * s, tx=5500, ty=4000), move=True))
        if f == frames - 1:
            tags.append(stop_action())
        tags.append(show_frame())
    return movie(550, 400, 24, frames, tags, 0x1B1F3B)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    with open(f"{out}/demo.swf", "wb") as f:
        f.write(demo())
    with open(f"{out}/Lumvex.swf", "wb") as f:
        f.write(intro())


if __name__ == "__main__":
    main()
