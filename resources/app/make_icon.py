#!/usr/bin/env python3
"""Draws the program's own icon: a law report volume with the scales of justice on its cover.

Writes lexorium.svg and lexorium-<size>.png for the sizes desktops use. Standard library only; run it again
(python3 make_icon.py) to redraw the committed files.
"""
import math
import struct
import zlib

SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
SAMPLES = 4  # per pixel and axis

COVER = (0x7A, 0x1F, 0x2B)
SPINE = (0x55, 0x14, 0x1D)
PAGES = (0xF4, 0xEE, 0xDC)
GOLD = (0xE8, 0xC1, 0x5A)

# Geometry in a 256 unit square, shared by the drawing and the SVG.
BOOK = (36, 16, 220, 240, 16)  # x0, y0, x1, y1, corner radius
PAGE_EDGE = (204, 28, 214, 228)
SPINE_BAND = (36, 16, 62, 240)
POST = ((134, 70), (134, 190), 9)
BEAM = ((86, 86), (182, 86), 8)
BASE = ((102, 194), (166, 194), 12)
KNOB = ((134, 68), 9)
PANS = [(86, 146), (182, 146)]
PAN_RADIUS = 21
CHORD_WIDTH = 4


def in_round_rect(x, y, rect):
    x0, y0, x1, y1, r = rect
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_rect(x, y, rect):
    x0, y0, x1, y1 = rect
    return x0 <= x <= x1 and y0 <= y <= y1


def near_segment(x, y, a, b, width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= (width / 2.0) ** 2


def chords(pan):
    cx, cy = pan
    top = (cx, BEAM[0][1])
    return [(top, (cx - PAN_RADIUS, cy)), (top, (cx + PAN_RADIUS, cy))]


def colour_at(x, y):
    """The colour at a point of the 256 square, or None outside the picture."""
    gold = (near_segment(x, y, *POST) or near_segment(x, y, *BEAM) or near_segment(x, y, *BASE)
            or (x - KNOB[0][0]) ** 2 + (y - KNOB[0][1]) ** 2 <= KNOB[1] ** 2)
    for pan in PANS:
        cx, cy = pan
        if y >= cy and (x - cx) ** 2 + (y - cy) ** 2 <= PAN_RADIUS ** 2:
            gold = True
        for a, b in chords(pan):
            if near_segment(x, y, a, b, CHORD_WIDTH):
                gold = True
    if gold:
        return GOLD
    if not in_round_rect(x, y, BOOK):
        return None
    if in_rect(x, y, PAGE_EDGE):
        return PAGES
    if in_rect(x, y, SPINE_BAND):
        return SPINE
    return COVER


def render(size):
    rows = []
    step = 256.0 / (size * SAMPLES)
    for py in range(size):
        row = bytearray([0])  # filter: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px * SAMPLES + sx + 0.5) * step, (py * SAMPLES + sy + 0.5) * step)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = SAMPLES * SAMPLES
            if a:
                row += bytes([r // a, g // a, b // a, round(255 * a / n)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9))
            + chunk(b"IEND", b""))


def hexcolour(c):
    return "#%02x%02x%02x" % c


def svg():
    x0, y0, x1, y1, r = BOOK
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '  <title>Lexorium</title>',
        '  <rect x="%d" y="%d" width="%d" height="%d" rx="%d" fill="%s"/>' % (x0, y0, x1 - x0, y1 - y0, r,
                                                                          hexcolour(COVER)),
        '  <path d="M%d %dH%dV%dH%dA%d %d 0 0 1 %d %dV%dA%d %d 0 0 1 %d %dZ" fill="%s"/>' % (
            SPINE_BAND[2], y0, SPINE_BAND[2], y1, x0 + r, r, r, x0, y1 - r, y0 + r, r, r, x0 + r, y0,
            hexcolour(SPINE)),
        '  <rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>' % (
            PAGE_EDGE[0], PAGE_EDGE[1], PAGE_EDGE[2] - PAGE_EDGE[0], PAGE_EDGE[3] - PAGE_EDGE[1], hexcolour(PAGES)),
        '  <g stroke="%s" stroke-linecap="round" fill="none">' % hexcolour(GOLD),
    ]
    for (a, b, w) in (POST, BEAM, BASE):
        parts.append('    <line x1="%d" y1="%d" x2="%d" y2="%d" stroke-width="%d"/>' % (a[0], a[1], b[0], b[1], w))
    for pan in PANS:
        for a, b in chords(pan):
            parts.append('    <line x1="%d" y1="%d" x2="%d" y2="%d" stroke-width="%d"/>' % (a[0], a[1], b[0], b[1],
                                                                                        CHORD_WIDTH))
    parts.append('  </g>')
    parts.append('  <circle cx="%d" cy="%d" r="%d" fill="%s"/>' % (KNOB[0][0], KNOB[0][1], KNOB[1], hexcolour(GOLD)))
    for cx, cy in PANS:
        parts.append('  <path d="M%d %dA%d %d 0 0 0 %d %dZ" fill="%s"/>' % (cx - PAN_RADIUS, cy, PAN_RADIUS,
                                                                           PAN_RADIUS, cx + PAN_RADIUS, cy,
                                                                           hexcolour(GOLD)))
    parts.append('</svg>')
    return "\n".join(parts) + "\n"


if __name__ == "__main__":
    for size in SIZES:
        with open("lexorium-%d.png" % size, "wb") as f:
            f.write(png(size, render(size)))
    with open("lexorium.svg", "w") as f:
        f.write(svg())
