"""The source folders are layers: a file includes headers of its own folder and of the folders below it,
never of one above. The installation logic and the shared vocabulary stay portable (no <windows.h>),
so the native tree builds and tests them.

Run by ctest (unit.layers) with the source tree as the argument; exits 1 and names every offending
include."""
import os
import re
import sys

# Lowest first.
LAYERS = ["common", "system", "download", "install", "window", "app"]
PORTABLE = {"common", "install"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def main(source):
    faults = []
    seen = 0
    for folder in LAYERS:
        for name in sorted(os.listdir(os.path.join(source, folder))):
            if not name.endswith((".h", ".cpp")):
                continue
            seen += 1
            path = f"{folder}/{name}"
            with open(os.path.join(source, folder, name), encoding="utf-8") as f:
                text = f.read()
            for kind, header in INCLUDE.findall(text):
                top = header.split("/", 1)[0]
                if kind == '"' and top in LAYERS and LAYERS.index(top) > LAYERS.index(folder):
                    faults.append(f"{path} includes {header}, from the {top}/ layer above {folder}/")
                if folder in PORTABLE and kind == "<" and header.lower() in ("windows.h", "wininet.h", "shlobj.h"):
                    faults.append(f"{path} includes <{header}>, but {folder}/ is portable")
    if seen == 0:
        faults.append(f"no sources found under {source}")
    for fault in faults:
        print(fault)
    print(f"{seen} files checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
