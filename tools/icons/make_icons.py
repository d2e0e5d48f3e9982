"""Draws the program's icons and writes them as .ico files.

Each icon is a list of simple shapes in a unit square, rendered with 4x4
supersampling at 16, 24, 32 and 48 pixels into 32-bit icons with alpha, so
that they sit transparent on the window's background.

usage: make_icons.py OUTPUT_FOLDER
"""

import math
import struct
import sys
from pathlib import Path

SIZES = (16, 24, 32, 48)
SAMPLES = 4

WHITE = (255, 255, 255, 255)
NAVY = (16, 54, 110, 255)
ORANGE = (255, 150, 30, 255)
RED = (220, 50, 40, 255)
GREEN = (40, 170, 80, 255)
YELLOW = (255, 214, 60, 255)
GREY = (90, 100, 120, 255)


def inside_polygon(x, y, points):
    hit = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def segment_distance(x, y, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length))
    return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy))


def covers(shape, x, y):
    kind = shape[0]
    if kind == "rect":
        _, x0, y0, x1, y1 = shape
        return x0 <= x <= x1 and y0 <= y <= y1
    if kind == "circle":
        _, cx, cy, r = shape
        return math.hypot(x - cx, y - cy) <= r
    if kind == "ring":
        _, cx, cy, r, w = shape
        return abs(math.hypot(x - cx, y - cy) - r) <= w / 2
    if kind == "line":
        _, x0, y0, x1, y1, w = shape
        return segment_distance(x, y, x0, y0, x1, y1) <= w / 2
    if kind == "poly":
        return inside_polygon(x, y, shape[1])
    raise ValueError(kind)


def render(layers, size):
    pixels = []
    for row in range(size):
        for col in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape, fill in layers:
                        if fill is None:  # a cut-out clears what lies below
                            if covers(shape, x, y):
                                colour = None
                        elif covers(shape, x, y):
                            colour = fill
                    if colour:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += colour[3]
            n = SAMPLES * SAMPLES
            alpha = a / n
            if alpha > 0:
                scale = a / 255.0
                pixels.append((round(r / scale), round(g / scale), round(b / scale), round(alpha)))
            else:
                pixels.append((0, 0, 0, 0))
    return pixels


def ico_image(pixels, size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for row in reversed(range(size)):
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            # Icons take straight, not premultiplied, alpha.
            rows.append(struct.pack("BBBB", min(b, 255), min(g, 255), min(r, 255), a))
    mask_row = ((size + 31) // 32) * 4
    return header + b"".join(rows) + b"\0" * (mask_row * size)


def write_ico(path, layers):
    images = [(size, ico_image(render(layers, size), size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    path.write_bytes(out + b"".join(data for _, data in images))


def page(fill, ink):
    return [
        (("poly", [(0.2, 0.08), (0.62, 0.08), (0.82, 0.28), (0.82, 0.92), (0.2, 0.92)]), ink),
        (("poly", [(0.26, 0.14), (0.58, 0.14), (0.58, 0.32), (0.76, 0.32), (0.76, 0.86), (0.26, 0.86)]), fill),
    ]


ICONS = {
    # The program: a wire running through a work piece, with its spark.
    "program": [
        (("circle", 0.5, 0.5, 0.47), NAVY),
        (("rect", 0.2, 0.55, 0.8, 0.78), GREY),
        (("line", 0.5, 0.1, 0.5, 0.9, 0.07), WHITE),
        (("poly", [(0.5, 0.42), (0.62, 0.52), (0.5, 0.5), (0.56, 0.64), (0.4, 0.5), (0.5, 0.52)]), YELLOW),
    ],
    "menu": [(("line", 0.18, y, 0.82, y, 0.12), WHITE) for y in (0.27, 0.5, 0.73)],
    "minimise": [(("line", 0.2, 0.72, 0.8, 0.72, 0.14), WHITE)],
    "maximise": [(("rect", 0.18, 0.18, 0.82, 0.82), WHITE), (("rect", 0.3, 0.34, 0.7, 0.7), None)],
    "close": [(("line", 0.2, 0.2, 0.8, 0.8, 0.14), WHITE), (("line", 0.8, 0.2, 0.2, 0.8, 0.14), WHITE)],
    "open": [
        (("poly", [(0.06, 0.22), (0.38, 0.22), (0.46, 0.32), (0.9, 0.32), (0.9, 0.84), (0.06, 0.84)]), ORANGE),
        (("poly", [(0.14, 0.44), (0.98, 0.44), (0.88, 0.84), (0.06, 0.84)]), YELLOW),
    ],
    "new": page(WHITE, NAVY) + [(("line", 0.62, 0.54, 0.62, 0.78, 0.08), GREEN),
                                 (("line", 0.5, 0.66, 0.74, 0.66, 0.08), GREEN)],
    "save": [
        (("rect", 0.12, 0.12, 0.88, 0.88), NAVY),
        (("rect", 0.26, 0.12, 0.74, 0.4), WHITE),
        (("rect", 0.58, 0.17, 0.68, 0.35), NAVY),
        (("rect", 0.24, 0.56, 0.76, 0.82), WHITE),
    ],
    "store": [
        (("poly", [(0.1, 0.45), (0.9, 0.45), (0.9, 0.9), (0.1, 0.9)]), ORANGE),
        (("rect", 0.1, 0.45, 0.9, 0.53), NAVY),
        (("line", 0.5, 0.06, 0.5, 0.4, 0.12), GREEN),
        (("poly", [(0.3, 0.32), (0.7, 0.32), (0.5, 0.56)]), GREEN),
    ],
    "direct": [
        (("line", 0.1, 0.5, 0.62, 0.5, 0.16), GREEN),
        (("poly", [(0.55, 0.22), (0.92, 0.5), (0.55, 0.78)]), GREEN),
    ],
    "machines": [
        (("circle", 0.5, 0.5, 0.3), GREY),
        *[(("line", 0.5 + 0.22 * math.cos(k * math.pi / 4), 0.5 + 0.22 * math.sin(k * math.pi / 4),
            0.5 + 0.42 * math.cos(k * math.pi / 4), 0.5 + 0.42 * math.sin(k * math.pi / 4), 0.13), GREY)
          for k in range(8)],
        (("circle", 0.5, 0.5, 0.12), None),
    ],
    "settings": [
        *[(("line", 0.14, y, 0.86, y, 0.07), NAVY) for y in (0.25, 0.5, 0.75)],
        (("circle", 0.35, 0.25, 0.1), ORANGE),
        (("circle", 0.65, 0.5, 0.1), ORANGE),
        (("circle", 0.45, 0.75, 0.1), ORANGE),
    ],
    # The icon of associated .3b files.
    "3b": page(WHITE, NAVY) + [(("line", 0.32, y, 0.7, y, 0.06), GREY) for y in (0.45, 0.58, 0.71)],
}


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, layers in ICONS.items():
        write_ico(out / f"{name}.ico", layers)


if __name__ == "__main__":
    main()
