#!/usr/bin/env python3
"""Draws findfile.gif, the Find Citation screen's busy animation: a magnifying glass sweeping over a page of text.

Standard library only; run it again (python3 make_findfile.py) to redraw the committed file.
"""
import math
import struct
import sys

W, H = 48, 40
FRAMES = 12
DELAY_CS = 8  # hundredths of a second per frame

# index: colour
PALETTE = [
    (0xFF, 0xFF, 0xFF),  # 0 background (transparent)
    (0x30, 0x30, 0x30),  # 1 outline
    (0xFA, 0xFA, 0xF5),  # 2 paper
    (0x9A, 0xA4, 0xB0),  # 3 text lines
    (0xCF, 0xE4, 0xF7),  # 4 lens glass
    (0x8B, 0x5A, 0x2B),  # 5 handle
    (0x3B, 0x6E, 0xA8),  # 6 rim
    (0x55, 0x66, 0x77),  # 7 magnified text
]


def page(pixels):
    x0, y0, x1, y1 = 4, 2, 34, 37
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            pixels[y][x] = 1 if edge else 2
    for y in range(7, 35, 4):
        length = 24 if (y // 4) % 3 else 17
        for x in range(8, 8 + length):
            pixels[y][x] = 3


def glass(pixels, cx, cy):
    r = 7.0
    # handle, down and to the right
    for t in range(0, 11):
        hx = cx + (r + t) * 0.7071
        hy = cy + (r + t) * 0.7071
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                x, y = int(round(hx)) + dx, int(round(hy)) + dy
                if 0 <= x < W and 0 <= y < H and abs(dx) + abs(dy) < 2:
                    pixels[y][x] = 5
    for y in range(H):
        for x in range(W):
            d = math.hypot(x - cx, y - cy)
            if d <= r - 1.2:
                # what lies under the lens, drawn larger and darker
                under = pixels[int(round(cy + (y - cy) / 1.6))][int(round(cx + (x - cx) / 1.6))]
                pixels[y][x] = 7 if under == 3 else 4
            elif d <= r + 0.6:
                pixels[y][x] = 6


def frame(i):
    pixels = [[0] * W for _ in range(H)]
    page(pixels)
    a = 2 * math.pi * i / FRAMES
    glass(pixels, 19 + 8 * math.cos(a), 17 + 7 * math.sin(a))
    return pixels


def lzw(indices, min_size):
    """GIF's variable-length LZW, codes packed least significant bit first."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    table = {bytes([i]): i for i in range(clear)}
    size, next_code = min_size + 1, end + 1
    out, acc, bits = bytearray(), 0, 0

    def emit(code):
        nonlocal acc, bits
        acc |= code << bits
        bits += size
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8

    emit(clear)
    word = b""
    for index in indices:
        candidate = word + bytes([index])
        if candidate in table:
            word = candidate
            continue
        emit(table[word])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([i]): i for i in range(clear)}
            size, next_code = min_size + 1, end + 1
        word = bytes([index])
    if word:
        emit(table[word])
    emit(end)
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def gif():
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", W, H, 0xF2, 0, 0)  # global table of 8 colours
    for r, g, b in PALETTE:
        out += bytes((r, g, b))
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for i in range(FRAMES):
        out += b"\x21\xF9\x04" + struct.pack("<BHBB", 0x09, DELAY_CS, 0, 0)  # restore to background, index 0 clear
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, W, H, 0)
        out.append(3)
        out += blocks(lzw([p for row in frame(i) for p in row], 3))
    out.append(0x3B)
    return bytes(out)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else __file__.rsplit("/", 1)[0] + "/findfile.gif"
    with open(target, "wb") as f:
        f.write(gif())
