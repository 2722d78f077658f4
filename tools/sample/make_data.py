#!/usr/bin/env python3
"""make_data.py OUTDIR: the sample product's data files (deterministic bytes), written only when
their content changed so that the build does not see them as new every time."""
import os
import sys


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(out):
    # The company database the installer must never overwrite: a header, then zero-filled pages.
    mdb = bytearray(b"\x00\x01\x00\x00Standard Jet DB\x00" + bytes(4096 * 4 - 19))
    mdb[4096:4096 + 23] = b"Brantovik d.o.o. (test)"
    write(os.path.join(out, "firme.mdb"), bytes(mdb))
    # Program resources: every byte value, including zeros and bytes above 127, several times over.
    write(os.path.join(out, "ZunorRes.dat"), bytes(range(256)) * 64 + b"\r\n\x1a\x00end")
    # Archives the installer lists but must never fetch.
    rar = b"Rar!\x1a\x07\x00" + bytes((i * 37) % 256 for i in range(2048))
    write(os.path.join(out, "SETUP_ZUNOR.rar"), rar)
    write(os.path.join(out, "Zunor2021VK.rar"), rar[::-1])
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_data.py OUTDIR")
    sys.exit(main(sys.argv[1]))
