#!/usr/bin/env python3
"""Writes the engine tests' files made by other tools into OUTDIR.

Archives by Info-ZIP `zip` (stored and deflated) and by Python's zipfile
writing to a stream that cannot seek (so every member carries a data
descriptor); PNGs by ImageMagick `convert` in the colour types and depths the
texture loader must read. The pixel patterns are formulas that the tests
compute again (engine_fixture_test.cpp), so nothing binary is committed.
"""
import io
import os
import subprocess
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


def noise(count):
    state, out = 12345, bytearray()
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out)


# Payloads: text that deflates well, and bytes that do not.
payloads = {
    "alpha.txt": b"".join(b"line %d of the alpha member\n" % i for i in range(2000)),
    "beta.bin": noise(70000),
    "gamma.txt": b"g",
}
for name, data in payloads.items():
    with open(path(name), "wb") as f:
        f.write(data)
names = sorted(payloads)
for target, level in (("zip_stored.zip", "-0"), ("zip_deflated.zip", "-9")):
    if os.path.exists(path(target)):
        os.remove(path(target))
    subprocess.run(["zip", "-q", "-X", "-j", level, path(target)] + [path(n) for n in names],
                   check=True)


class Unseekable(io.RawIOBase):
    def __init__(self, sink):
        self.sink = sink

    def writable(self):
        return True

    def seekable(self):
        return False

    def write(self, data):
        self.sink.write(data)
        return len(data)


with open(path("python_descriptors.zip"), "wb") as sink:
    with zipfile.ZipFile(Unseekable(sink), "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for name in names:
            archive.writestr(name, payloads[name])

# Image patterns, 16 x 8; the tests use the same formulas.
W, H = 16, 8


def grey(x, y):
    return (x * 16 + y * 2) & 0xFF


def rgb(x, y):
    return (x * 16) & 0xFF, (y * 32) & 0xFF, ((x + y) * 8) & 0xFF


def alpha(x, y):
    return (x * 17 + y * 5) & 0xFF


def binary_alpha(x, y):
    return 0 if (x + y) % 3 == 0 else 255


with open(path("src_grey.pgm"), "wb") as f:
    f.write(b"P5\n%d %d\n255\n" % (W, H))
    f.write(bytes(grey(x, y) for y in range(H) for x in range(W)))
with open(path("src_rgb.ppm"), "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (W, H))
    f.write(bytes(c for y in range(H) for x in range(W) for c in rgb(x, y)))
for name, a in (("src_rgba.pam", alpha), ("src_rgba_binary.pam", binary_alpha)):
    with open(path(name), "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (W, H))
        f.write(bytes(c for y in range(H) for x in range(W) for c in rgb(x, y) + (a(x, y),)))

conversions = [
    ("png_grey8.png", ["src_grey.pgm", "-define", "png:color-type=0", "-depth", "8"]),
    ("png_grey16.png", ["src_grey.pgm", "-depth", "16", "-define", "png:bit-depth=16"]),
    ("png_palette.png", ["src_rgb.ppm", "PNG8:"]),
    ("png_rgb.png", ["src_rgb.ppm", "PNG24:"]),
    ("png_rgb16.png", ["src_rgb.ppm", "-depth", "16", "PNG48:"]),
    ("png_rgb_interlaced.png", ["src_rgb.ppm", "-interlace", "PNG", "PNG24:"]),
    ("png_rgba.png", ["src_rgba.pam", "PNG32:"]),
    ("png_rgba16_interlaced.png", ["src_rgba.pam", "-depth", "16", "-interlace", "PNG", "PNG64:"]),
    ("png_palette_alpha.png", ["src_rgba_binary.pam", "PNG8:"]),
]
for target, args in conversions:
    source, options = args[0], args[1:]
    prefix = ""
    if options and options[-1].endswith(":"):
        prefix = options.pop()
    subprocess.run(["convert", path(source)] + options + [prefix + path(target)], check=True)
# A glTF quad written here (JSON, base64 buffer), packed with the PNGs by both
# tools: the engine must load meshes and textures from archives it did not write.
import base64
import json
import struct

positions = [-1, 1, 0, 1, 1, 0, 1, -1, 0, -1, -1, 0]
normals = [0, 0, 1] * 4
uvs = [0, 0, 1, 0, 1, 1, 0, 1]
indices = [0, 3, 2, 0, 2, 1]
buffer = (struct.pack("<12f", *positions) + struct.pack("<12f", *normals) +
          struct.pack("<8f", *uvs) + struct.pack("<6H", *indices))
gltf = {
    "asset": {"version": "2.0", "generator": "make_fixtures.py"},
    "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2},
                                "indices": 3}]}],
    "buffers": [{"byteLength": len(buffer),
                 "uri": "data:application/octet-stream;base64," + base64.b64encode(buffer).decode()}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48},
                    {"buffer": 0, "byteOffset": 48, "byteLength": 48},
                    {"buffer": 0, "byteOffset": 96, "byteLength": 32},
                    {"buffer": 0, "byteOffset": 128, "byteLength": 12}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3",
                   "min": [-1, -1, 0], "max": [1, 1, 0]},
                  {"bufferView": 1, "componentType": 5126, "count": 4, "type": "VEC3"},
                  {"bufferView": 2, "componentType": 5126, "count": 4, "type": "VEC2"},
                  {"bufferView": 3, "componentType": 5123, "count": 6, "type": "SCALAR"}],
}
with open(path("quad.mesh"), "w") as f:
    json.dump(gltf, f)
assets = ["quad.mesh"] + [target for target, _ in conversions]
if os.path.exists(path("assets_zip.zip")):
    os.remove(path("assets_zip.zip"))
subprocess.run(["zip", "-q", "-X", "-j", "-9", path("assets_zip.zip")] + [path(n) for n in assets],
               check=True)
with open(path("assets_python.zip"), "wb") as sink:
    with zipfile.ZipFile(Unseekable(sink), "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for name in assets:
            archive.write(path(name), name)

with open(path("stamp"), "w") as f:
    f.write("ok\n")
