"""Decodes an image file with Pillow and writes its first frame as raw
8-bit RGBA, rows top to bottom: pil_decode.py FILE OUT.rgba"""
import sys

from PIL import Image


def main():
    source, target = sys.argv[1], sys.argv[2]
    with Image.open(source) as image:
        data = image.convert("RGBA").tobytes()
    with open(target, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
