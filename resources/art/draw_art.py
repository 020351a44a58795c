#!/usr/bin/env python3
"""Draws the wizard picture (wizard.bmp, 119 x 258) and the program icon (setup.ico, 32 x 32):
a computer with floppy disks on a teal background, in the 16 standard Windows colours.

The outputs are committed beside this script; run it again after changing the drawing."""

import os
import struct

# The 16-colour Windows palette, index -> (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def dot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0, colour)
        self.fill(x0, y1, x1, y1, colour)
        self.fill(x0, y0, x0, y1, colour)
        self.fill(x1, y0, x1, y1, colour)

    def bevel(self, x0, y0, x1, y1, face, light=WHITE, dark=GRAY, edge=BLACK):
        """A raised box: light top-left, dark bottom-right, black outline."""
        self.fill(x0, y0, x1, y1, face)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y0 + 1, light)
        self.fill(x0 + 1, y0 + 1, x0 + 1, y1 - 1, light)
        self.fill(x0 + 1, y1 - 1, x1 - 1, y1 - 1, dark)
        self.fill(x1 - 1, y0 + 1, x1 - 1, y1 - 1, dark)
        self.frame(x0, y0, x1, y1, edge)

    def dither(self, x0, y0, x1, y1, a, b):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, a if (x + y) % 2 else b)


def floppy_35(c, x, y, body, label=WHITE):
    """A 3.5-inch disk, 22 x 23 pixels, top-left at (x, y)."""
    c.fill(x, y, x + 21, y + 22, body)
    c.frame(x, y, x + 21, y + 22, BLACK)
    c.dot(x + 21, y, TEAL if body != TEAL else AQUA)  # the cut corner
    c.fill(x + 5, y + 1, x + 16, y + 8, SILVER)        # metal shutter
    c.fill(x + 12, y + 2, x + 14, y + 7, GRAY)
    c.frame(x + 5, y + 1, x + 16, y + 8, BLACK)
    c.fill(x + 3, y + 11, x + 18, y + 21, label)       # paper label
    for line in (14, 17):
        c.fill(x + 5, y + line, x + 16, y + line, BLUE)


def floppy_525(c, x, y):
    """A 5.25-inch disk, 30 x 30 pixels."""
    c.fill(x, y, x + 29, y + 29, BLACK)
    c.frame(x, y, x + 29, y + 29, GRAY)
    for dy in range(-4, 5):  # the hub hole
        for dx in range(-4, 5):
            if dx * dx + dy * dy <= 16:
                c.dot(x + 15 + dx, y + 13 + dy, SILVER if dx * dx + dy * dy > 5 else TEAL)
    c.fill(x + 13, y + 20, x + 16, y + 28, GRAY)       # read slot
    c.fill(x + 3, y + 2, x + 9, y + 7, WHITE)          # label corner
    c.fill(x + 4, y + 4, x + 8, y + 4, RED)


def computer(c, x, y, scale_keys=True):
    """Monitor on a system unit with a keyboard; occupies about 100 x 130 pixels."""
    # Monitor.
    c.bevel(x + 8, y, x + 91, y + 66, SILVER)
    c.fill(x + 15, y + 7, x + 84, y + 55, BLACK)
    c.fill(x + 17, y + 9, x + 82, y + 53, NAVY)
    for row, width in enumerate((40, 52, 30, 46, 24, 36)):  # lines of text on the screen
        yy = y + 13 + row * 6
        c.fill(x + 21, yy, x + 21 + width, yy + 1, AQUA if row % 3 else WHITE)
    c.fill(x + 21, y + 49, x + 25, y + 50, WHITE)      # the cursor
    c.fill(x + 74, y + 59, x + 76, y + 61, LIME)       # power light
    c.fill(x + 36, y + 67, x + 63, y + 71, GRAY)       # stand
    c.fill(x + 28, y + 72, x + 71, y + 74, SILVER)
    c.frame(x + 28, y + 72, x + 71, y + 74, BLACK)
    # System unit.
    c.bevel(x, y + 76, x + 99, y + 102, SILVER)
    for slot in (0, 1):
        sx = x + 8 + slot * 34
        c.bevel(sx, y + 82, sx + 28, y + 96, SILVER, light=WHITE, dark=GRAY)
        c.fill(sx + 4, y + 88, sx + 24, y + 89, BLACK)  # drive slot
        c.fill(sx + 22, y + 92, sx + 24, y + 93, LIME if slot == 0 else GRAY)
    c.fill(x + 80, y + 84, x + 92, y + 86, GRAY)
    c.fill(x + 86, y + 92, x + 89, y + 95, RED)         # reset button
    # Keyboard.
    c.bevel(x + 2, y + 108, x + 97, y + 126, SILVER)
    if scale_keys:
        for row in range(3):
            for key in range(14 if row < 2 else 3):
                kx = x + 7 + key * 6 + (row % 2) * 2
                ky = y + 112 + row * 4
                if kx + 3 < x + 94:
                    c.fill(kx, ky, kx + 3, ky + 2, GRAY)
        c.fill(x + 25, y + 123, x + 70, y + 124, GRAY)  # space bar


def write_bmp(canvas, path):
    """A bottom-up 4-bit BMP with the 16-colour palette."""
    row_bytes = ((canvas.width + 1) // 2 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(canvas.width):
            value = canvas.pixels[y][x]
            row[x // 2] |= value << 4 if x % 2 == 0 else value
        pixels += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 4, 0, len(pixels),
                       2835, 2835, 16, 16)
    with open(path, "wb") as out:
        out.write(header + info + palette + pixels)


def write_ico(canvas, transparent, path):
    """One 32 x 32, 16-colour image; pixels of the transparent colour are masked out."""
    size = canvas.width
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(size // 2)
        bits = bytearray(4)
        for x in range(size):
            value = canvas.pixels[y][x]
            if value == transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
                value = BLACK
            row[x // 2] |= value << 4 if x % 2 == 0 else value
        xor += row
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                       0, 0, 16, 0)
    image = info + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


def draw_picture():
    # The dialog centres the picture in a taller frame and fills the rest with the colour of the
    # top-left pixel, so the picture's edges stay plain teal.
    c = Canvas(119, 258, TEAL)
    for y in range(6, 40, 3):                           # light falling from above
        c.dither(0, y, 118, y, TEAL, AQUA)
    c.dither(0, 14, 118, 26, TEAL, AQUA)
    computer(c, 9, 52)
    # Disks scattered in front of the computer.
    floppy_525(c, 10, 196)
    floppy_35(c, 46, 188, NAVY)
    floppy_35(c, 72, 204, BLACK, label=YELLOW)
    floppy_35(c, 40, 220, MAROON)
    return c


def draw_icon():
    c = Canvas(32, 32, FUCHSIA)
    c.bevel(3, 1, 26, 19, SILVER)
    c.fill(6, 4, 23, 15, NAVY)
    for row in range(3):
        c.fill(8, 6 + row * 3, 8 + (12, 8, 14)[row], 6 + row * 3, AQUA)
    c.fill(11, 20, 18, 21, GRAY)
    c.bevel(1, 22, 28, 29, SILVER)
    c.fill(5, 25, 15, 25, BLACK)
    c.fill(19, 19, 30, 30, NAVY)
    c.frame(19, 19, 30, 30, BLACK)
    c.fill(22, 20, 27, 23, SILVER)
    c.fill(21, 26, 28, 29, WHITE)
    return c


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(draw_picture(), os.path.join(here, "wizard.bmp"))
    write_ico(draw_icon(), FUCHSIA, os.path.join(here, "setup.ico"))
