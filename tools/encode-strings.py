#!/usr/bin/env python3
"""Turns a UTF-8 string source into Torva.Sys, byte for byte as
`torva-strings encode` does: UTF-16LE with byte-order mark, CR LF after every
line, scrambled with the chained XOR. For the Windows builds, which cannot run
the tool they build."""

import sys

START_BYTE = 0x52


def encode(source: bytes) -> bytes:
    text = source.decode("utf-8")  # a broken source fails loudly
    if text.startswith("\ufeff"):
        text = text[1:]
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    plain = "".join(line.removesuffix("\r") + "\r\n" for line in lines)
    data = b"\xff\xfe" + plain.encode("utf-16-le")
    out = bytearray(len(data))
    previous = START_BYTE
    for i, byte in enumerate(data):
        previous = byte ^ previous
        out[i] = previous
    return bytes(out)


def main() -> int:
    if len(sys.argv) != 3:
        print("usage: encode-strings.py IN.txt OUT.sys", file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as f:
        data = encode(f.read())
    with open(sys.argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
