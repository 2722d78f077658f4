#!/usr/bin/env python3
"""Writes ugovor.txt, the agreement shown in the window, from ugovor.utf8.txt.

The window converts the bytes with code page 1250, so the file is stored in that code page with
CR LF line ends (the last line too). The text must keep its exact shape: 10,527 characters, the
title line, one empty line, then articles "Član 1." to "Član 14.". The .txt it writes is checked in.
"""
import os
import sys

LENGTH = 10527
TITLE = "Ugovor o ustupanju softwera na kori[tenje"


def build(source_text):
    lines = source_text.replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    text = "\r\n".join(lines) + "\r\n"
    problems = []
    if len(text) != LENGTH:
        problems.append(f"{len(text)} characters, want {LENGTH} ({LENGTH - len(text):+d})")
    if lines[:2] != [TITLE, ""]:
        problems.append("must open with the title line and one empty line")
    headings = [line for line in lines if line.startswith("Član ")]
    if headings != [f"Član {n}." for n in range(1, 15)]:
        problems.append(f"article headings are {headings}")
    if len(lines) > 2 and lines[2] != "Član 1.":
        problems.append("the first article must follow the empty line")
    for ch in "čćšžđ":
        if ch not in text:
            problems.append(f"no {ch} in the text")
    return text.encode("cp1250"), problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "ugovor.utf8.txt"), encoding="utf-8") as f:
        data, problems = build(f.read())
    if problems:
        for p in problems:
            print("ugovor:", p, file=sys.stderr)
        return 1
    with open(os.path.join(here, "ugovor.txt"), "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
