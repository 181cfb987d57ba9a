#!/usr/bin/env python3
"""Draws the program's pictures: the board picture (board.bmp, resource 103), the emblem
(emblem.bmp, resource 102) and the program icon (OmbrixEmulator.ico, resource 100).

Run it after changing the drawing or the main window's layout, and commit its output with
it:  python3 resources/make_pictures.py  (writes beside this script; --out DIR elsewhere).
Only the standard library is used, and the output is byte-for-byte the same on every run.

The main window lays out its rows of channel controls in units of 96 DPI; the pictures are
stored at twice that size and scaled down at run time (to half at 96 DPI, unscaled at
192 DPI). Each leader line on the board ends where one row sits, so the row rectangles
below must follow the layout that MainForm uses.
"""

import argparse
import math
import os
import struct

S = 2  # stored pixels per 96-DPI unit

# Where the main window places each row, in 96-DPI units: edit (x, y, w, h); the up-down
# sits right of the edit, 16 wide. Keyed by the part of the board the row belongs to.
EDIT_W, EDIT_H, SPIN_W = 39, 22, 16
ROWS = {
    "slider": (4, 27),   # "Sensor deslizante", wire channel 7
    "light": (189, 39),  # "Sensor de luz", channel 5
    "sound": (189, 185), # "Sensor de som", channel 6
    "A": (21, 254),      # "Entrada A", channel 4
    "B": (77, 254),      # channel 2
    "C": (133, 254),     # channel 1
    "D": (189, 254),     # channel 0
}
BUTTON_BOX = (198, 107, 120, 30)  # check box "Pressionado"

BOARD_W, BOARD_H = 518, 576
EMBLEM_W, EMBLEM_H = 145, 200


def leader_ends():
    """Where each leader line ends, in 96-DPI units: the edge of the row that faces the board."""
    ends = {}
    x, y = ROWS["slider"]
    ends["slider"] = (x + EDIT_W + SPIN_W, y + EDIT_H / 2)  # right edge of its up-down
    for part in ("light", "sound"):
        x, y = ROWS[part]
        ends[part] = (x, y + EDIT_H / 2)  # left edge of the edit
    bx, by, bw, bh = BUTTON_BOX
    ends["button"] = (bx, by + bh / 2)
    for part in "ABCD":
        x, y = ROWS[part]
        ends[part] = (x + EDIT_W / 2, y)  # top of the edit, at its middle
    return ends


# ---------------------------------------------------------------------------------------
# A small anti-aliased rasteriser: shapes are signed distance functions, painted with
# coverage clamp(0.5 - distance) over their bounding box.


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(colour) for _ in range(w * h)]

    def paint(self, bbox, sdf, colour, alpha=1.0):
        x0, y0, x1, y1 = bbox
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 2), min(self.h, int(math.ceil(y1)) + 2)
        r, g, b = colour
        for y in range(y0, y1):
            row = y * self.w
            cy = y + 0.5
            for x in range(x0, x1):
                d = sdf(x + 0.5, cy)
                if d >= 0.5:
                    continue
                a = alpha if d <= -0.5 else alpha * (0.5 - d)
                p = self.px[row + x]
                p[0] += (r - p[0]) * a
                p[1] += (g - p[1]) * a
                p[2] += (b - p[2]) * a

    # Shapes, all in stored pixels.
    def rect(self, x, y, w, h, colour, radius=0.0, alpha=1.0):
        cx, cy, hw, hh = x + w / 2, y + h / 2, w / 2, h / 2
        r = min(radius, hw, hh)

        def sdf(px, py):
            qx, qy = abs(px - cx) - hw + r, abs(py - cy) - hh + r
            outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
            return outside + min(max(qx, qy), 0.0) - r

        self.paint((x, y, x + w, y + h), sdf, colour, alpha)

    def frame(self, x, y, w, h, width, colour, radius=0.0):
        cx, cy, hw, hh = x + w / 2, y + h / 2, w / 2, h / 2
        r = min(radius, hw, hh)

        def sdf(px, py):
            qx, qy = abs(px - cx) - hw + r, abs(py - cy) - hh + r
            d = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
            return abs(d + width / 2) - width / 2

        self.paint((x, y, x + w, y + h), sdf, colour)

    def disc(self, cx, cy, radius, colour, alpha=1.0):
        self.paint((cx - radius, cy - radius, cx + radius, cy + radius),
                   lambda px, py: math.hypot(px - cx, py - cy) - radius, colour, alpha)

    def ring(self, cx, cy, radius, width, colour):
        self.paint((cx - radius - width, cy - radius - width, cx + radius + width, cy + radius + width),
                   lambda px, py: abs(math.hypot(px - cx, py - cy) - radius) - width / 2, colour)

    def line(self, points, width, colour, alpha=1.0):
        """A polyline of round-capped segments, painted as one shape."""
        segs = list(zip(points, points[1:]))
        hw = width / 2

        def sdf(px, py):
            best = 1e9
            for (ax, ay), (bx, by) in segs:
                dx, dy = bx - ax, by - ay
                t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1.0)
                t = min(1.0, max(0.0, t))
                best = min(best, math.hypot(px - ax - t * dx, py - ay - t * dy))
            return best - hw

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.paint((min(xs) - hw, min(ys) - hw, max(xs) + hw, max(ys) + hw), sdf, colour, alpha)

    def butt_line(self, a, b, width, colour):
        """A straight segment with square, unextended ends: ends exactly at a and b."""
        (ax, ay), (bx, by) = a, b
        length = math.hypot(bx - ax, by - ay)
        ux, uy = (bx - ax) / length, (by - ay) / length
        hw = width / 2

        def sdf(px, py):
            along = (px - ax) * ux + (py - ay) * uy
            across = abs(-(px - ax) * uy + (py - ay) * ux)
            return max(abs(along - length / 2) - length / 2, across - hw)

        self.paint((min(ax, bx) - hw, min(ay, by) - hw, max(ax, bx) + hw, max(ay, by) + hw), sdf, colour)

    def polygon(self, points, colour, alpha=1.0):
        n = len(points)

        def sdf(px, py):
            d = 1e9
            inside = False
            for i in range(n):
                ax, ay = points[i]
                bx, by = points[(i + 1) % n]
                dx, dy = bx - ax, by - ay
                t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1.0)
                t = min(1.0, max(0.0, t))
                d = min(d, math.hypot(px - ax - t * dx, py - ay - t * dy))
                if (ay > py) != (by > py) and px < ax + (py - ay) * dx / dy:
                    inside = not inside
            return -d if inside else d

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.paint((min(xs), min(ys), max(xs), max(ys)), sdf, colour, alpha)

    def text(self, x, y, s, size, colour):
        """Block capitals from a 5 x 7 grid; size is the height of one grid cell."""
        for ch in s:
            rows = FONT.get(ch)
            if rows:
                for j, bits in enumerate(rows):
                    for i in range(5):
                        if bits >> (4 - i) & 1:
                            self.rect(x + i * size, y + j * size, size, size, colour)
            x += 6 * size

    def pixels(self):
        return [tuple(min(255, max(0, int(round(c)))) for c in p) for p in self.px]


FONT = {
    "A": (0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11),
    "B": (0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E),
    "C": (0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E),
    "D": (0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E),
    "I": (0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E),
    "M": (0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11),
    "O": (0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E),
    "R": (0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11),
    "X": (0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11),
    "S": (0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E),
    "W": (0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A),
    "L": (0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F),
    "G": (0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F),
    "T": (0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04),
    "V": (0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04),
    "N": (0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11),
    "2": (0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F),
    "3": (0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E),
    "1": (0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E),
    "0": (0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E),
    "+": (0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00),
    "-": (0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00),
    ".": (0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C),
}

# ---------------------------------------------------------------------------------------
# The board picture.

PCB = (22, 84, 46)
PCB_EDGE = (14, 58, 30)
TRACE = (36, 122, 66)
PAD = (214, 186, 112)
SILK = (236, 240, 232)
CHIP = (28, 28, 30)
CHIP_TOP = (44, 44, 48)
PIN = (196, 198, 204)
WHITE = (255, 255, 255)


def via(c, x, y):
    c.disc(x, y, 3.2, PAD)
    c.disc(x, y, 1.4, (8, 30, 16))


def smd(c, x, y, vertical, body):
    """A small surface-mount resistor or capacitor centred at (x, y)."""
    if vertical:
        c.rect(x - 3.5, y - 7, 7, 4, PAD)
        c.rect(x - 3.5, y + 3, 7, 4, PAD)
        c.rect(x - 3, y - 4, 6, 8, body)
    else:
        c.rect(x - 7, y - 3.5, 4, 7, PAD)
        c.rect(x + 3, y - 3.5, 4, 7, PAD)
        c.rect(x - 4, y - 3, 8, 6, body)


def draw_board():
    c = Canvas(BOARD_W, BOARD_H)
    ends = {k: (x * S, y * S) for k, (x, y) in leader_ends().items()}

    # The board, in stored pixels.
    bx0, by0, bx1, by1 = 126, 14, 362, 468
    c.rect(bx0 + 5, by0 + 6, bx1 - bx0, by1 - by0, (12, 20, 14), radius=14)  # shadow
    c.rect(bx0, by0, bx1 - bx0, by1 - by0, PCB_EDGE, radius=14)
    c.rect(bx0 + 3, by0 + 3, bx1 - bx0 - 6, by1 - by0 - 6, PCB, radius=12)
    for hx, hy in ((bx0 + 16, by0 + 16), (bx1 - 16, by0 + 16), (bx0 + 16, by1 - 16), (bx1 - 16, by1 - 16)):
        c.disc(hx, hy, 9, PAD)
        c.disc(hx, hy, 5.5, (0, 0, 0))

    # Parts' positions. The right-hand parts and the slider's knob sit level with their rows,
    # so that their leader lines run straight out.
    slider = (160, 44, 30, 180)  # x, y, w, h of the slide potentiometer
    knob_y = ends["slider"][1]
    ldr = (332, ends["light"][1])
    button = (332, ends["button"][1])
    mic = (332, ends["sound"][1])
    terminals = [(174 + i * 46, 450) for i in range(4)]  # centres of A, B, C, D
    mcu = (214, 228, 84, 84)  # the microcontroller, a square flat pack
    uart = (250, 64, 40, 84)  # the serial interface chip, a DIP
    knees = (484, 484, 492, 477)  # where the lines of A to D turn towards their rows

    # Copper traces, under everything else.
    t = 3
    traces = [
        [(175, 226), (175, 250), (206, 250)],
        [(175, 44), (175, 36), (206, 36), (214, 44), (214, 140)],
        [(240, 42), (240, 64)], [(262, 42), (262, 64)],
        [(270, 148), (270, 222)], [(256, 148), (256, 222)],
        [(220, 170), (230, 180), (230, 222)],
        [(214, 140), (214, 200)],
        [(206, 270), (196, 270), (196, 300)],
        [(230, 318), (230, 360), (terminals[0][0], 372), (terminals[0][0], 430)],
        [(248, 318), (248, 376), (terminals[1][0], 392), (terminals[1][0], 430)],
        [(266, 318), (266, 392), (terminals[2][0], 400), (terminals[2][0], 430)],
        [(284, 318), (284, 370), (300, 386), (300, 410), (terminals[3][0], 420), (terminals[3][0], 430)],
        [(304, 240), (304, 130), (ldr[0] - 10, ldr[1] + 24), (ldr[0] - 10, ldr[1] + 12)],
        [(304, ends["button"][1]), (button[0] - 12, button[1])],
        [(304, 290), (304, mic[1] - 30), (mic[0] - 12, mic[1] - 14)],
        [(305, 60), (305, 54)], [(318, 54), (350, 54), (350, 270), (342, 278), (342, 294)],
        [(150, 330), (150, 420), (156, 426)],
        [(206, 300), (150, 300), (150, 330)],
    ]
    for tr in traces:
        c.line(tr, t, TRACE)
    for vx, vy in ((214, 140), (230, 180), (150, 330), (342, 294), (350, 54), (196, 300), (304, 124)):
        via(c, vx, vy)

    # The serial connector at the top edge.
    c.rect(224, 12, 56, 30, (150, 154, 160), radius=4)
    c.rect(230, 18, 44, 18, (70, 72, 78), radius=3)
    for i in range(5):
        c.disc(237 + i * 7.5, 24, 1.8, PAD)
    for i in range(4):
        c.disc(240.75 + i * 7.5, 30, 1.8, PAD)
    c.text(231, 46, "RS232", 1.0, SILK)

    # The serial interface chip, a 16-pin DIP, with its four capacitors.
    x, y, w, h = uart
    for i in range(8):
        c.rect(x - 5, y + 6 + i * 10, 6, 4, PIN)
        c.rect(x + w - 1, y + 6 + i * 10, 6, 4, PIN)
    c.rect(x, y, w, h, CHIP, radius=2)
    c.rect(x + 2, y + 2, w - 4, h - 4, CHIP_TOP, radius=2)
    c.disc(x + w / 2, y + 1, 4, CHIP)
    for sy in (108, 126, 144):
        smd(c, 232, sy, True, (150, 120, 80))

    # Voltage regulator and its capacitor beside the connector.
    c.rect(292, 30, 26, 18, (34, 34, 36), radius=1)
    c.rect(296, 22, 18, 8, PIN)
    for i in range(3):
        c.rect(295 + i * 8, 48, 4, 6, PIN)
    c.disc(214, 92, 10, (30, 50, 100))
    c.disc(214, 92, 8, (44, 72, 146))
    c.rect(205, 89, 18, 2, (150, 170, 210))

    # Crystal and two capacitors beside the microcontroller.
    c.rect(232, 168, 34, 14, (180, 184, 190), radius=7)
    c.rect(235, 171, 28, 8, (212, 214, 218), radius=4)
    smd(c, 226, 200, True, (150, 120, 80))
    smd(c, 274, 200, True, (150, 120, 80))

    # The microcontroller: a flat pack with pins on four sides.
    x, y, w, h = mcu
    c.frame(x - 10, y - 10, w + 20, h + 20, 1.2, SILK)
    for i in range(10):
        o = 10 + i * 7
        c.rect(x + o, y - 6, 3, 7, PIN)
        c.rect(x + o, y + h - 1, 3, 7, PIN)
        c.rect(x - 6, y + o, 7, 3, PIN)
        c.rect(x + w - 1, y + o, 7, 3, PIN)
    c.rect(x, y, w, h, CHIP, radius=3)
    c.rect(x + 3, y + 3, w - 6, h - 6, CHIP_TOP, radius=3)
    c.disc(x + 12, y + 12, 4, (26, 26, 28))
    c.text(x + 17, y + 36, "OMBRIX", 1.6, (150, 152, 160))

    # Pull-up resistors of the four inputs, and a programming header.
    for i in range(4):
        ry = 344 + i * 14
        c.rect(174, ry, 6, 6, PAD)
        c.rect(206, ry, 6, 6, PAD)
        c.rect(178, ry - 1, 30, 8, (214, 196, 150), radius=4)
        for j, band in enumerate(((140, 70, 30), (20, 20, 20), (200, 40, 30), (200, 170, 60))):
            c.rect(184 + j * 5, ry - 1, 2.5, 8, band)
    for i in range(3):
        for j in range(2):
            c.rect(330 + j * 12 - 4, 300 + i * 12 - 4, 8, 8, PAD)
            c.rect(330 + j * 12 - 2.5, 300 + i * 12 - 2.5, 5, 5, (20, 20, 22))
    c.frame(318, 288, 36, 36, 1.2, SILK)
    for sx in (236, 256, 276):
        smd(c, sx, 334, True, (40, 40, 44))

    # Power LED.
    c.rect(164, 250, 8, 12, (80, 10, 10), radius=2)
    c.disc(168, 256, 3, (235, 60, 50))
    c.text(160, 266, "ON", 1.2, SILK)

    # Slider at the upper left: a long slide potentiometer with its knob.
    x, y, w, h = slider
    c.frame(x - 5, y - 5, w + 10, h + 10, 1.2, SILK, radius=2)
    c.rect(x, y, w, h, (34, 36, 40), radius=3)
    c.rect(x + 2, y + 2, w - 4, h - 4, (58, 60, 66), radius=3)
    c.rect(x + w / 2 - 2, y + 10, 4, h - 20, (12, 12, 14), radius=2)
    c.rect(x - 3, knob_y - 12, w + 6, 24, (200, 202, 206), radius=3)
    c.rect(x - 1, knob_y - 10, w + 2, 20, (236, 236, 238), radius=2)
    for k in (-5, 0, 5):
        c.rect(x + 3, knob_y + k - 0.75, w - 6, 1.5, (150, 152, 158))

    # Light sensor at the upper right: a photoresistor with its zigzag track.
    cx, cy = ldr
    c.ring(cx, cy, 20, 1.2, SILK)
    c.disc(cx, cy, 15, (196, 80, 40))
    c.disc(cx, cy, 12.5, (232, 150, 80))
    zig = [(cx - 9, cy - 7)]
    for i in range(8):
        zig.append((cx + (9 if i % 2 == 0 else -9), cy - 7 + (i + 1) * 14 / 8))
    c.line(zig, 1.6, (120, 40, 20))

    # Push button at the right: a tactile switch with four legs.
    cx, cy = button
    c.frame(cx - 18, cy - 18, 36, 36, 1.2, SILK)
    for dx in (-13, 13):
        for dy in (-9, 9):
            c.rect(cx + dx - 3, cy + dy - 2, 6, 4, PIN)
    c.rect(cx - 12, cy - 12, 24, 24, (30, 30, 32), radius=2)
    c.disc(cx, cy, 8, (120, 124, 130))
    c.disc(cx, cy, 6.5, (70, 72, 78))

    # Sound sensor at the lower right: an electret microphone capsule.
    cx, cy = mic
    c.ring(cx, cy, 20, 1.2, SILK)
    c.disc(cx, cy, 15, (150, 154, 160))
    c.disc(cx, cy, 13, (30, 30, 32))
    for gx in range(-8, 9, 4):
        for gy in range(-8, 9, 4):
            if gx * gx + gy * gy <= 90:
                c.disc(cx + gx, cy + gy, 1.2, (90, 92, 98))

    # Resistance inputs A to D along the bottom edge: two-way screw terminals.
    for i, (cx, cy) in enumerate(terminals):
        c.rect(cx - 21, cy - 20, 42, 30, (30, 96, 178), radius=2)
        c.rect(cx - 21, cy + 4, 42, 6, (22, 70, 140))
        for dx in (-10, 10):
            c.disc(cx + dx, cy - 6, 7, (190, 194, 200))
            c.rect(cx + dx - 5, cy - 6.8, 10, 1.6, (90, 92, 98))
        c.text(cx - 4, cy - 37, "ABCD"[i], 1.6, SILK)

    # Leader lines: white, from each part to where its row of controls starts.
    lw = 2.0
    c.disc(slider[0] + slider[2] / 2, knob_y, 3.5, WHITE)
    c.butt_line((slider[0] + slider[2] / 2, knob_y), ends["slider"], lw, WHITE)
    for part, (px, py) in (("light", ldr), ("button", button), ("sound", mic)):
        c.disc(px, py, 3.5, WHITE)
        c.butt_line((px, py), ends[part], lw, WHITE)
    for i, part in enumerate("ABCD"):
        tx, ty = terminals[i]
        ex, ey = ends[part]
        c.disc(tx, ty - 6, 3.5, WHITE)
        c.line([(tx, ty - 6), (tx, knees[i]), (ex, knees[i])], lw, WHITE)
        c.butt_line((ex, knees[i]), (ex, ey), lw, WHITE)
    return c.pixels()


# ---------------------------------------------------------------------------------------
# The emblem: a dark-red shield on black with a ring and a signal trace.


def emblem_shapes(c, sx, sy, scale):
    """Draws the emblem into canvas c; the design is 145 x 200 units at (sx, sy)."""

    def P(x, y):
        return (sx + x * scale, sy + y * scale)

    shield = [P(72.5, 8), P(132, 26), P(132, 104), P(120, 140), P(72.5, 190), P(25, 140), P(13, 104), P(13, 26)]
    inner = [P(72.5, 20), P(121, 35), P(121, 102), P(111, 134), P(72.5, 175), P(34, 134), P(24, 102), P(24, 35)]
    c.polygon(shield, (122, 16, 18))
    c.polygon(inner, (24, 0, 2))
    cx, cy = P(72.5, 82)
    c.ring(cx, cy, 34 * scale, 9 * scale, (150, 22, 24))
    c.ring(cx, cy, 34 * scale, 3 * scale, (190, 48, 44))
    wave = [P(30, 82), P(52, 82), P(60, 62), P(70, 104), P(80, 56), P(88, 92), P(94, 82), P(115, 82)]
    c.line(wave, 5 * scale, (196, 56, 50))
    c.line([P(48, 150), P(97, 150)], 4 * scale, (122, 16, 18))
    c.line([P(58, 162), P(87, 162)], 4 * scale, (122, 16, 18))


def draw_emblem():
    c = Canvas(EMBLEM_W, EMBLEM_H)
    emblem_shapes(c, 0, 0, 1.0)
    return c.pixels()


# ---------------------------------------------------------------------------------------
# File writers.


def quantise(pixels, count):
    """Median cut over the distinct colours, weighted by use; returns palette and indices."""
    hist = {}
    for p in pixels:
        hist[p] = hist.get(p, 0) + 1
    colours = sorted(hist)
    if len(colours) <= count:
        palette = colours
    else:
        boxes = [colours]
        while len(boxes) < count:
            # Split the box with the widest channel range, weighted by its pixel count.
            def score(box):
                spans = [max(c[i] for c in box) - min(c[i] for c in box) for i in range(3)]
                return max(spans) * math.sqrt(sum(hist[c] for c in box)) if len(box) > 1 else -1

            boxes.sort(key=score, reverse=True)
            box = boxes.pop(0)
            if len(box) < 2:
                boxes.append(box)
                break
            spans = [max(c[i] for c in box) - min(c[i] for c in box) for i in range(3)]
            ch = spans.index(max(spans))
            box.sort(key=lambda c: (c[ch], c))
            total = sum(hist[c] for c in box)
            acc, cut = 0, 1
            for k, col in enumerate(box):
                acc += hist[col]
                if acc * 2 >= total:
                    cut = min(max(k + 1, 1), len(box) - 1)
                    break
            boxes += [box[:cut], box[cut:]]
        palette = []
        for box in sorted(boxes):
            n = sum(hist[c] for c in box)
            palette.append(tuple(int(round(sum(c[i] * hist[c] for c in box) / n)) for i in range(3)))
        # Pure black and white stay exact: the ground and the leader lines.
        for exact in ((0, 0, 0), (255, 255, 255)):
            if exact in hist and exact not in palette:
                nearest = min(range(len(palette)), key=lambda k: sum((palette[k][i] - exact[i]) ** 2 for i in range(3)))
                palette[nearest] = exact
        palette = sorted(set(palette))
    index = {}
    out = []
    for p in pixels:
        k = index.get(p)
        if k is None:
            k = min(range(len(palette)), key=lambda j: sum((palette[j][i] - p[i]) ** 2 for i in range(3)))
            index[p] = k
        out.append(k)
    return palette, out


def bmp_bytes(w, h, bpp, palette, indices):
    """A bottom-up BITMAPINFOHEADER file with a palette of 2**bpp entries."""
    entries = 1 << bpp
    palette = list(palette) + [(0, 0, 0)] * (entries - len(palette))
    stride = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(h - 1, -1, -1):
        line = indices[y * w:(y + 1) * w]
        if bpp == 8:
            row = bytes(line)
        else:
            row = bytes((line[i] << 4) | (line[i + 1] if i + 1 < w else 0) for i in range(0, w, 2))
        rows.append(row + b"\0" * (stride - len(row)))
    data = b"".join(rows)
    offset = 14 + 40 + 4 * entries
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(data), 2835, 2835, entries, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + info + pal + data


def icon_image(size):
    """One 32-bit icon image: the emblem shield on a transparent ground."""
    c = Canvas(size, size, (0, 0, 0))
    alpha = Canvas(size, size, (0, 0, 0))
    scale = size / 200.0
    ox = (size - 145 * scale) / 2
    emblem_shapes(c, ox, 0, scale)
    shield = [(72.5, 8), (132, 26), (132, 104), (120, 140), (72.5, 190), (25, 140), (13, 104), (13, 26)]
    alpha.polygon([(ox + x * scale, y * scale) for x, y in shield], (255, 255, 255))
    rgb, a = c.pixels(), alpha.pixels()
    rows = []
    for y in range(size - 1, -1, -1):
        rows.append(b"".join(struct.pack("<BBBB", *rgb[y * size + x][::-1], a[y * size + x][0]) for x in range(size)))
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_stride * size)  # the alpha channel decides; the mask shows all
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return info + b"".join(rows) + mask


def ico_bytes(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)))
    out = parser.parse_args().out
    os.makedirs(out, exist_ok=True)

    palette, idx = quantise(draw_board(), 256)
    with open(os.path.join(out, "board.bmp"), "wb") as f:
        f.write(bmp_bytes(BOARD_W, BOARD_H, 8, palette, idx))
    palette, idx = quantise(draw_emblem(), 16)
    with open(os.path.join(out, "emblem.bmp"), "wb") as f:
        f.write(bmp_bytes(EMBLEM_W, EMBLEM_H, 4, palette, idx))
    with open(os.path.join(out, "OmbrixEmulator.ico"), "wb") as f:
        f.write(ico_bytes([16, 32, 48]))


if __name__ == "__main__":
    main()
