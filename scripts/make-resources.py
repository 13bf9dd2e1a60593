#!/usr/bin/env python3
"""Draws the program's pictures: the toolbar strip (bitmap 731: 34 button images of 16 x 16,
8 bits per pixel), the program icon (503) and the two cursors (501 view, 502 drag).

usage: make-resources.py OUTPUT_FOLDER   writes toolbar.bmp, tessamor.ico, view.cur, drag.cur
"""
import math
import struct
import sys

FACE = (192, 192, 192)  # mapped to the button face by the toolbar
BLACK, WHITE = (0, 0, 0), (255, 255, 255)
GREY, DARK = (128, 128, 128), (64, 64, 64)
RED, GREEN, BLUE = (220, 30, 30), (30, 160, 40), (40, 70, 220)
NAVY, YELLOW, ORANGE = (20, 40, 120), (250, 210, 40), (240, 140, 20)
BROWN, SEPIA, SKY = (120, 80, 40), (190, 150, 100), (120, 180, 240)
FOLDER, PAPER, TEAL = (240, 200, 80), (250, 250, 240), (20, 150, 150)
PURPLE = (150, 60, 170)


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):  # inclusive corners
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def box(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r, c, width=1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - width <= d <= r:
                    self.put(x, y, c)

    def poly(self, pts, c):
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                inside = False
                j = len(pts) - 1
                for i in range(len(pts)):
                    xi, yi = pts[i]
                    xj, yj = pts[j]
                    if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.put(x, y, c)

    def glyph(self, x0, y0, rows, c):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == "#":
                    self.put(x0 + dx, y0 + dy, c)


def arrow(c, x0, y0, x1, y1, col):
    c.line(x0, y0, x1, y1, col)
    ang = math.atan2(y1 - y0, x1 - x0)
    for da in (2.5, -2.5):
        hx = round(x1 + 3 * math.cos(ang + da))
        hy = round(y1 + 3 * math.sin(ang + da))
        c.line(x1, y1, hx, hy, col)


def picture_frame(c):
    c.fill(1, 2, 14, 13, SKY)
    c.poly([(1, 14), (6, 7), (10, 14)], GREEN)
    c.poly([(6, 14), (11, 9), (15, 14)], (20, 110, 30))
    c.disc(11, 5, 1.8, YELLOW)
    c.box(1, 2, 14, 13, DARK)


def icon_quit(c):
    c.fill(3, 1, 10, 14, BROWN)
    c.box(3, 1, 10, 14, DARK)
    c.put(8, 8, YELLOW)
    arrow(c, 7, 8, 15, 8, RED)
    c.line(7, 7, 14, 7, RED)


def icon_open(c):
    c.poly([(1, 4), (6, 4), (7, 6), (14, 6), (14, 13), (1, 13)], (200, 150, 40))
    c.poly([(3, 8), (15, 8), (13, 14), (1, 14)], FOLDER)
    c.line(1, 4, 6, 4, DARK)
    c.line(1, 4, 1, 13, DARK)
    c.line(1, 14, 13, 14, DARK)
    c.line(3, 8, 15, 8, DARK)


def icon_save(c):
    c.fill(1, 1, 14, 14, NAVY)
    c.fill(4, 1, 11, 6, WHITE)
    c.fill(9, 2, 10, 5, NAVY)
    c.fill(3, 9, 12, 14, (200, 200, 200))
    c.box(1, 1, 14, 14, BLACK)


def icon_info(c):
    c.disc(8, 8, 7, BLUE)
    c.fill(7, 3, 8, 4, WHITE)
    c.fill(7, 6, 8, 12, WHITE)
    c.put(6, 6, WHITE)
    c.fill(6, 12, 9, 12, WHITE)


def icon_histogram(c):
    c.line(1, 14, 14, 14, BLACK)
    c.line(1, 1, 1, 14, BLACK)
    for x, h, col in ((3, 4, RED), (5, 9, RED), (7, 11, GREEN), (9, 7, GREEN), (11, 10, BLUE), (13, 5, BLUE)):
        c.fill(x, 14 - h, x + 1, 13, col)


def icon_undo(c):
    for a in range(0, 200, 4):
        t = math.radians(a - 10)
        c.put(round(8 + 5 * math.cos(t)), round(9 - 5 * math.sin(t)), BLUE)
        c.put(round(8 + 4 * math.cos(t)), round(9 - 4 * math.sin(t)), BLUE)
    c.poly([(0, 9), (6, 9), (3, 14)], BLUE)


def icon_original(c):
    picture_frame(c)
    c.fill(0, 0, 6, 6, WHITE)
    c.box(0, 0, 6, 6, DARK)
    arrow(c, 5, 3, 1, 3, RED)


def icon_negative(c):
    # Left half black with a white half disc, right half white with a black one.
    for y in range(1, 15):
        for x in range(1, 15):
            in_disc = (x + 0.5 - 8) ** 2 + (y + 0.5 - 8) ** 2 <= 16
            c.put(x, y, WHITE if (x < 8) == in_disc else BLACK)
    c.box(1, 1, 14, 14, DARK)


def ramp(c, a, b):
    for x in range(1, 15):
        t = (x - 1) / 13
        col = tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))
        c.fill(x, 2, x, 13, col)
    c.box(1, 2, 14, 13, DARK)


def icon_grey(c):
    ramp(c, (20, 20, 20), (240, 240, 240))


def icon_sepia(c):
    ramp(c, (60, 35, 15), (245, 225, 180))


def icon_rgb2(c):
    c.fill(1, 1, 7, 7, RED)
    c.fill(8, 1, 14, 7, GREEN)
    c.fill(1, 8, 7, 14, BLUE)
    c.fill(8, 8, 14, 14, YELLOW)
    c.box(1, 1, 14, 14, DARK)


def icon_bw2(c):
    for y in range(1, 15):
        for x in range(1, 15):
            c.put(x, y, BLACK if ((x - 1) // 3 + (y - 1) // 3) % 2 else WHITE)
    c.box(1, 1, 14, 14, DARK)


def icon_brighten(c):
    c.disc(8, 8, 3.6, YELLOW)
    for k in range(8):
        t = k * math.pi / 4
        c.line(round(8 + 5 * math.cos(t)), round(8 + 5 * math.sin(t)),
               round(8 + 7 * math.cos(t)), round(8 + 7 * math.sin(t)), ORANGE)


def icon_darken(c):
    c.disc(8, 8, 6.5, (230, 220, 120))
    c.disc(11, 6, 5.5, FACE)
    c.ring(8, 8, 6.5, NAVY, 0.8)


def icon_contrast(c):
    c.disc(8, 8, 7, BLACK)
    for y in range(16):
        for x in range(8, 16):
            if (x + 0.5 - 8) ** 2 + (y + 0.5 - 8) ** 2 <= 42:
                c.put(x, y, WHITE)
    c.ring(8, 8, 7, BLACK)


def icon_gamma(c):
    c.box(1, 1, 14, 14, GREY)
    for x in range(2, 14):
        y = 13 - round(11 * ((x - 2) / 11) ** 0.45)
        c.put(x, y, RED)
        c.put(x, y + 1, RED)
    c.glyph(9, 8, ["#..#", "#..#", ".##.", ".#..", ".#.."], BLUE)


def icon_linear(c):
    c.box(1, 1, 14, 14, GREY)
    c.line(4, 13, 11, 2, RED)
    c.line(5, 13, 12, 2, RED)
    c.line(2, 13, 4, 13, RED)
    c.line(12, 2, 13, 2, RED)


def icon_stretch(c):
    c.line(1, 14, 14, 14, BLACK)
    for x, h in ((6, 6), (8, 9), (10, 5)):
        c.fill(x, 14 - h, x + 1, 13, GREEN)
    arrow(c, 5, 4, 1, 4, RED)
    arrow(c, 11, 4, 15, 4, RED)


def icon_equalise(c):
    c.line(1, 14, 14, 14, BLACK)
    for x in range(2, 14, 2):
        c.fill(x, 7, x, 13, TEAL)
    c.line(1, 5, 14, 5, RED)


def icon_mosaic(c):
    cols = [RED, ORANGE, YELLOW, GREEN, SKY, BLUE, PURPLE, TEAL, SEPIA]
    for j in range(3):
        for i in range(3):
            c.fill(1 + 5 * i, 1 + 5 * j, 4 + 5 * i, 4 + 5 * j, cols[(i * 2 + j * 4) % 9])


def icon_rgb_adjust(c):
    for k, col in enumerate((RED, GREEN, BLUE)):
        x = 3 + 5 * k
        c.line(x, 1, x, 14, DARK)
        y = (4, 9, 6)[k]
        c.fill(x - 2, y, x + 2, y + 2, col)


def icon_hsv(c):
    for y in range(16):
        for x in range(16):
            dx, dy = x + 0.5 - 8, y + 0.5 - 8
            r = math.hypot(dx, dy)
            if r <= 7:
                h = (math.atan2(dy, dx) / (2 * math.pi)) % 1.0
                s = r / 7
                i = int(h * 6)
                f = h * 6 - i
                p, q, t = 1 - s, 1 - s * f, 1 - s * (1 - f)
                rgb = [(1, t, p), (q, 1, p), (p, 1, t), (p, q, 1), (t, p, 1), (1, p, q)][i % 6]
                c.put(x, y, tuple(int(v * 4) * 63 for v in rgb))


def icon_flip_v(c):
    c.poly([(8, 1), (13, 6), (3, 6)], BLUE)
    c.poly([(8, 14), (13, 9), (3, 9)], (150, 170, 240))
    c.line(1, 7, 14, 7, DARK)


def icon_flip_h(c):
    c.poly([(1, 8), (6, 3), (6, 13)], BLUE)
    c.poly([(14, 8), (9, 3), (9, 13)], (150, 170, 240))
    c.line(7, 1, 7, 14, DARK)


def icon_cone(c):
    c.poly([(8, 1), (14, 13), (2, 13)], ORANGE)
    c.poly([(8, 1), (8, 13), (2, 13)], (250, 190, 90))
    for x in range(2, 15):
        c.put(x, 13 + (1 if 4 < x < 12 else 0), BROWN)


def icon_sphere(c):
    for y in range(16):
        for x in range(16):
            d = math.hypot(x + 0.5 - 8, y + 0.5 - 8)
            if d <= 7:
                l = max(0.0, 1 - math.hypot(x + 0.5 - 6, y + 0.5 - 5) / 10)
                c.put(x, y, (int(40 + 180 * l), int(80 + 160 * l), 230))


def icon_ripple(c):
    c.fill(1, 1, 14, 14, SKY)
    for r in (2, 4.5, 7):
        c.ring(8, 8, r, NAVY)


def icon_rotate(c):
    c.fill(4, 4, 11, 11, SKY)
    c.box(4, 4, 11, 11, DARK)
    for a in range(200, 470, 5):
        t = math.radians(a)
        c.put(round(8 + 6.5 * math.cos(t)), round(8 + 6.5 * math.sin(t)), RED)
    c.poly([(13, 5), (15, 10), (10, 8)], RED)


def icon_trim(c):
    picture_frame(c)
    c.fill(0, 0, 15, 3, FACE)
    c.fill(0, 12, 15, 15, FACE)
    c.fill(0, 0, 3, 15, FACE)
    c.fill(12, 0, 15, 15, FACE)
    c.line(3, 0, 3, 12, BLACK)
    c.line(0, 12, 12, 12, BLACK)
    c.line(12, 3, 12, 15, BLACK)
    c.line(3, 3, 15, 3, BLACK)


def icon_slideshow(c):
    c.fill(1, 2, 14, 11, NAVY)
    c.box(1, 2, 14, 11, BLACK)
    c.poly([(6, 4), (11, 7), (6, 10)], WHITE)
    c.line(8, 11, 8, 14, DARK)
    c.line(5, 14, 11, 14, DARK)


def icon_blend(c):
    c.disc(6, 8, 5, RED)
    c.disc(10, 8, 5, BLUE)
    for y in range(16):
        for x in range(16):
            if (x + .5 - 6) ** 2 + (y + .5 - 8) ** 2 <= 25 and (x + .5 - 10) ** 2 + (y + .5 - 8) ** 2 <= 25:
                c.put(x, y, PURPLE)


def icon_thumbs(c):
    for j in range(2):
        for i in range(2):
            x, y = 1 + 7 * i, 1 + 7 * j
            c.fill(x, y, x + 5, y + 5, (SKY, YELLOW, GREEN, SEPIA)[i + 2 * j])
            c.box(x, y, x + 5, y + 5, DARK)


def printer(c):
    c.fill(4, 1, 11, 6, WHITE)
    c.box(4, 1, 11, 6, DARK)
    c.fill(1, 6, 14, 11, (170, 170, 170))
    c.box(1, 6, 14, 11, DARK)
    c.fill(4, 10, 11, 14, WHITE)
    c.box(4, 10, 11, 14, DARK)
    c.put(12, 8, GREEN)


def icon_print_fit(c):
    printer(c)
    c.line(5, 3, 10, 3, BLUE)
    c.line(5, 4, 10, 4, BLUE)


def icon_print_actual(c):
    printer(c)
    c.glyph(5, 11, ["#.#.#", "#...#", "#.#.#"], BLACK)


BUTTONS = [icon_quit, icon_open, icon_save, icon_info, icon_histogram, icon_undo, icon_original,
           icon_negative, icon_grey, icon_sepia, icon_rgb2, icon_bw2, icon_brighten, icon_darken,
           icon_contrast, icon_gamma, icon_linear, icon_stretch, icon_equalise, icon_mosaic,
           icon_rgb_adjust, icon_hsv, icon_flip_v, icon_flip_h, icon_cone, icon_sphere, icon_ripple,
           icon_rotate, icon_trim, icon_slideshow, icon_blend, icon_thumbs, icon_print_fit,
           icon_print_actual]
assert len(BUTTONS) == 34


def bmp8(width, height, rows):
    """An 8-bit bottom-up BMP file of rows (lists of RGB tuples, top row first)."""
    palette = []
    index = {}
    for row in rows:
        for c in row:
            if c not in index:
                index[c] = len(palette)
                palette.append(c)
    assert len(palette) <= 256, len(palette)
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (width + 3) & ~3
    bits = b"".join(bytes(index[c] for c in row) + b"\0" * (stride - width) for row in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    off = 14 + len(info) + len(table)
    return struct.pack("<2sIHHI", b"BM", off + len(bits), 0, 0, off) + info + table + bits


def icon_image(size):
    """The program icon, drawn at size x size: a framed landscape with a brush."""
    c = Canvas(16, 16, None)
    c.fill(0, 1, 15, 14, WHITE)
    c.fill(1, 2, 14, 13, SKY)
    c.poly([(1, 14), (6, 7), (10, 14)], GREEN)
    c.poly([(6, 14), (11, 9), (15, 14)], (20, 110, 30))
    c.disc(11, 5, 1.8, YELLOW)
    c.box(0, 1, 15, 14, NAVY)
    c.line(4, 12, 13, 3, BROWN)
    c.line(4, 13, 14, 3, BROWN)
    c.fill(2, 12, 4, 14, RED)
    k = size // 16
    return [[c.px[y // k][x // k] for x in range(size)] for y in range(size)]


def ico_entry_image(pixels, size):
    """32-bit BGRA image with its AND mask, as stored in .ico/.cur files."""
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(b"".join(struct.pack("BBBB", c[2], c[1], c[0], 255) if c else b"\0\0\0\0" for c in row)
                   for row in reversed(pixels))
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bitsrow = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                bitsrow[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bitsrow)
    return info + xor + mask


def mono_cursor(rows):
    """A 32 x 32 monochrome cursor image from a 32-row picture: # black, o white, . clear."""
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, 0, 0, 0, 2, 0)
    table = struct.pack("BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    xor, andm = b"", b""
    for row in reversed(rows):
        row = row.ljust(32, ".")
        x_bits, a_bits = 0, 0
        for ch in row:
            x_bits = (x_bits << 1) | (1 if ch == "o" else 0)
            a_bits = (a_bits << 1) | (1 if ch == "." else 0)
        xor += struct.pack(">I", x_bits)
        andm += struct.pack(">I", a_bits)
    return info + table + xor + andm


def icon_file(kind, images):
    """An .ico (kind 1) or .cur (kind 2) file; images are (size, data, hotspot)."""
    head = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data, hot in images:
        planes, bits = (1, 32) if kind == 1 else hot
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, planes, bits, len(data), offset)
        offset += len(data)
        blobs += data
    return head + entries + blobs


ARROW = [
    "#", "##", "#o#", "#oo#", "#ooo#", "#oooo#", "#ooooo#", "#oooooo#", "#ooooooo#", "#oooooooo#",
    "#ooooo#####", "#oo#oo#", "#o# #oo#", "##  #oo#", "#    #oo#", "     #oo#", "      ##",
]
HAND = [
    "", "", "", "", "", "", "", "",
    "         ## ##  ",
    "     ## #oo#oo##",
    "    #oo##oo#oo#o#",
    "    #oo##oo#oo#o#",
    "     #oo#oo#oo#o#",
    "   ## #ooooooooo#",
    "  #oo##oooooooo#",
    "  #ooo#ooooooooo#",
    "   #oooooooooooo#",
    "    #ooooooooooo#",
    "    #oooooooooo#",
    "     #ooooooooo#",
    "      #oooooooo#",
    "      #ooooooo#",
    "      #########",
]


def main():
    out = sys.argv[1]
    strip = Canvas(16 * len(BUTTONS), 16, FACE)
    for i, draw in enumerate(BUTTONS):
        cell = Canvas(16, 16, FACE)
        draw(cell)
        for y in range(16):
            for x in range(16):
                strip.px[y][16 * i + x] = cell.px[y][x]
    with open(f"{out}/toolbar.bmp", "wb") as f:
        f.write(bmp8(strip.w, 16, strip.px))
    with open(f"{out}/tessamor.ico", "wb") as f:
        f.write(icon_file(1, [(32, ico_entry_image(icon_image(32), 32), None),
                              (16, ico_entry_image(icon_image(16), 16), None)]))
    rows = lambda pic: [r.replace(" ", ".") for r in pic] + [""] * (32 - len(pic))
    with open(f"{out}/view.cur", "wb") as f:
        f.write(icon_file(2, [(32, mono_cursor(rows(ARROW)), (0, 0))]))
    with open(f"{out}/drag.cur", "wb") as f:
        f.write(icon_file(2, [(32, mono_cursor(rows(HAND)), (9, 12))]))


if __name__ == "__main__":
    main()
