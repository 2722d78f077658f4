"""The README and the pages of docs/ stay true to the tree: every relative link and image names a file
that is there (and a heading of it, where it names one), the two commands' scripts exist, and every
screenshot the end-to-end tests take is named on the page that explains it.

Run by ctest (unit.docs) with the source tree as the argument; exits 1 and names every fault."""
import glob
import os
import re
import sys

LINK = re.compile(r'\]\(([^)\s]+)\)')
SHOT = re.compile(r'screenshot(?:_when_drawn)?\(\s*"([^"]+\.png)"|"([a-z0-9-]+\.png)"')


def anchors(text):
    """GitHub's anchors of a page's headings."""
    found = set()
    for heading in re.findall(r'^#+\s+(.+)$', text, re.M):
        slug = re.sub(r'[^\w\- ]', '', heading.strip().lower()).replace(' ', '-')
        found.add(slug)
    return found


def main(source):
    faults = []
    pages = [os.path.join(source, "README.md")] + sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    texts = {}
    for page in pages:
        with open(page, encoding="utf-8") as f:
            texts[page] = f.read()
    for page, text in texts.items():
        for target in LINK.findall(text):
            if re.match(r'[a-z]+:', target):
                continue
            path, _, anchor = target.partition('#')
            full = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            where = os.path.relpath(page, source)
            if not os.path.exists(full):
                faults.append(f"{where}: link to {target}: no such file")
            elif anchor and full.endswith(".md") and anchor not in anchors(open(full, encoding="utf-8").read()):
                faults.append(f"{where}: link to {target}: no such heading")
    for script in re.findall(r'^    bash (tools/\S+)', texts[pages[0]], re.M):
        if not os.path.exists(os.path.join(source, script)):
            faults.append(f"README.md: {script} does not exist")
    docs = "\n".join(text for page, text in texts.items() if page != pages[0])
    shots = set()
    for test in glob.glob(os.path.join(source, "tests", "e2e", "*.py")):
        with open(test, encoding="utf-8") as f:
            for a, b in SHOT.findall(f.read()):
                shots.add(a or b)
    if not shots:
        faults.append("no screenshot found in tests/e2e: the pattern no longer matches")
    for shot in sorted(shots):
        if f"`{shot}`" not in docs:
            faults.append(f"{shot}: taken by the e2e tests, named on no page of docs/")
    for fault in faults:
        print(fault)
    print(f"{len(pages)} pages, {len(shots)} screenshots checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
