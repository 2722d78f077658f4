#!/usr/bin/env python3
"""make_sums.py FOLDER...: writes FOLDER/SHA256SUMS for the files laid out in each folder, in the form
sha256sum writes (digest, two blanks, name; sorted by name), rewritten only when it changes. The tests
change served files with it: a publisher's signature of the earlier sums (SHA256SUMS.sig, written by
tools/release/sign_product.sh) no longer signs them and is removed, so the folder is served unsigned."""
import hashlib
import os
import sys

NAME = "SHA256SUMS"
SIGNATURE = NAME + ".sig"


def sums_of(folder):
    lines = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if name in (NAME, SIGNATURE) or name.endswith(".tmp") or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    return "".join(lines).encode("utf-8")


def main(folders):
    for folder in folders:
        data = sums_of(folder)
        path = os.path.join(folder, NAME)
        try:
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        except FileNotFoundError:
            pass
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
        try:
            os.remove(os.path.join(folder, SIGNATURE))
        except FileNotFoundError:
            pass
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: make_sums.py FOLDER...")
    sys.exit(main(sys.argv[1:]))
