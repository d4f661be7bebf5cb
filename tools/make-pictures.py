#!/usr/bin/env python3
"""Draws the add-in's pictures: a label tag on a pale ground.

Writes resources/pictures/ImgSmallIcon.gif (16x16, 128-colour palette),
ImgBigIcon.gif (32x32, 256 colours) and frmPicStore.ico (16x16, 8 bits per
pixel). The output depends on nothing but this file, so a build or a test can
run it again and compare. Standard library only.

    tools/make-pictures.py [output folder]
"""

import os
import struct
import sys


def palette(colours):
    """A palette of the given size: the tag's colours first, then a grey ramp."""
    named = [
        (0xF4, 0xF6, 0xF8),  # 0 ground
        (0x1F, 0x4E, 0x8C),  # 1 tag outline
        (0x3A, 0x7B, 0xD5),  # 2 tag body
        (0x8F, 0xBC, 0xF2),  # 3 tag highlight
        (0xFF, 0xFF, 0xFF),  # 4 hole
        (0xE0, 0x8A, 0x1E),  # 5 string
        (0xF2, 0xF2, 0xF2),  # 6 text lines on the tag
    ]
    rest = colours - len(named)
    ramp = [(v, v, v) for v in (round(i * 255 / (rest - 1)) for i in range(rest))]
    return named + ramp


def inside_tag(x, y, size):
    """The tag: a rectangle whose left end is a point, tilted by nothing."""
    s = size / 16.0
    left, right, top, bottom = 1.0 * s, 15.0 * s, 3.5 * s, 12.5 * s
    mid = (top + bottom) / 2
    point = 4.5 * s  # where the pointed end meets the rectangle
    if not (top <= y < bottom and left <= x < right):
        return False
    if x < point:
        # Triangle from (left, mid) to the corners at x = point.
        reach = (x - left) / (point - left) * (bottom - top) / 2
        return abs(y + 0.5 - mid) <= reach + 0.5
    return True


def draw(size):
    s = size / 16.0
    pixels = []
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            colour = 0
            if inside_tag(cx, cy, size):
                edge = not all(inside_tag(cx + dx, cy + dy, size)
                               for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                colour = 1 if edge else 2
                if not edge and cy < 6 * s:
                    colour = 3
                hole = ((cx - 4.5 * s) ** 2 + (cy - 8 * s) ** 2) ** 0.5
                if hole <= 1.0 * s + 0.2:
                    colour = 4
                # Two text lines written on the tag.
                if 7 * s <= cx < 13 * s and (7 * s <= cy < 7 * s + max(1, s) or
                                             9.5 * s <= cy < 9.5 * s + max(1, s)):
                    colour = 6
            elif cx < 4 * s and cy < 8 * s and abs((cx - 0.5 * s) - (cy - 4.5 * s) * 1.0) < 0.6 * s:
                colour = 5  # the string through the hole
            pixels.append(colour)
    return pixels


def lzw(indices, min_size):
    """GIF's variable-width LZW, codes packed least significant bit first."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, min_size + 1

    table, next_code, width = reset()
    emit(clear, width)
    run = ()
    for k in indices:
        grown = run + (k,)
        if grown in table:
            run = grown
            continue
        emit(table[run], width)
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            # The decoder learns each entry one code later, so it widens
            # its codes one step after the table outgrows the width.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = reset()
        run = (k,)
    emit(table[run], width)
    next_code += 1
    if next_code > (1 << width) and width < 12:
        width += 1
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def unlzw(data, min_size, count):
    """Decoder used to check the encoder on every run."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    pos, acc, nbits, out = 0, 0, 0, []
    table, width, prev = None, min_size + 1, None
    while True:
        while nbits < width:
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            width, prev = min_size + 1, None
            continue
        if code == end:
            break
        if prev is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else prev + prev[:1]
            table.append(prev + entry[:1])
            if len(table) == (1 << width) and width < 12:
                width += 1
        out.extend(entry)
        prev = entry
    assert len(out) == count
    return out


def gif(size, colours):
    bits = colours.bit_length() - 1
    assert 1 << bits == colours
    pixels = draw(size)
    data = lzw(pixels, bits)
    assert unlzw(data, bits, len(pixels)) == pixels
    out = bytearray(b"GIF89a")
    # Logical screen: global table present, colour resolution 8 bits.
    out += struct.pack("<HHBBB", size, size, 0x80 | 0x70 | (bits - 1), 0, 0)
    for r, g, b in palette(colours):
        out += bytes((r, g, b))
    # Graphic control extension: no disposal, no user input, no transparency.
    out += bytes((0x21, 0xF9, 4, 0x00, 0, 0, 0, 0))
    # One image over the whole screen, no local table, not interlaced.
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, size, size, 0)
    out.append(bits)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3B"
    return bytes(out)


def ico(size):
    pixels = draw(size)
    colours = palette(256)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    rows = [bytes(pixels[y * size:(y + 1) * size]) for y in range(size)]
    xor = b"".join(reversed(rows))  # bottom-up; 16 bytes a row is already aligned
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # every pixel opaque
    image = header + table + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "pictures")
    os.makedirs(folder, exist_ok=True)
    outputs = {
        "ImgSmallIcon.gif": gif(16, 128),
        "ImgBigIcon.gif": gif(32, 256),
        "frmPicStore.ico": ico(16),
    }
    for name, data in outputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
