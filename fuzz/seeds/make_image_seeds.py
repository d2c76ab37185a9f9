#!/usr/bin/env python3
"""Seeds of the image-loader target: images made by lumo-mkimage (MKIMAGE, default
build/bin/lumo-mkimage), each behind the target's three set-up bytes: a mode byte (bit 0 the
open-file dialog, bit 1 the skip flag, bit 2 a camera registered) and the camera's signature."""
import os
import subprocess
import sys
import tempfile

out = sys.argv[1]
mkimage = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "build", "bin", "lumo-mkimage")
os.makedirs(out, exist_ok=True)


def put(name, mode, sig, image):
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([mode]) + (bytes([0]) if mode & 2 else b"") + sig + image)


with tempfile.TemporaryDirectory() as tmp:
    for chip, length, sig in (("QT7421", 512, b"ED"), ("QT7844", 1024, b"CG"), ("QT7233", 512, b"CK")):
        path = os.path.join(tmp, "fw.bin")
        subprocess.check_call([mkimage, "-o", path, "--chip", chip, "--length", str(length)])
        with open(path, "rb") as f:
            image = f.read()
        put(f"{chip}-path-camera", 4, sig, image)
        put(f"{chip}-dialog-camera", 5, sig, image)
        put(f"{chip}-path-skip", 6, sig, image[:300])
        put(f"{chip}-wrong-camera", 4, b"AX", image)
    put("empty-dialog", 1, b"ED", b"")
