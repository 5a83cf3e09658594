#!/usr/bin/env python3
"""Checks the default word lists against an HTML5 parser.

Each page is repaired with `quillet-batch fix` and the default lists; the page must
parse to the same tree before and after, so every inserted "</p>" stands where the
parser ends the paragraph by itself. Text is compared with its white space folded:
the only text that may move is white space after the body's end tag.
"""
import os
import subprocess
import sys
import tempfile

try:
    import html5lib
except ImportError:
    print("html5lib is not installed (Debian package python3-html5lib); check skipped")
    sys.exit(77)


def tree(page_bytes):
    document = html5lib.parse(page_bytes.decode("latin-1"), namespaceHTMLElements=False)
    events = []

    def text(value):
        folded = " ".join((value or "").split())
        if folded:
            events.append(("text", folded))

    def walk(element):
        tag = element.tag if isinstance(element.tag, str) else "#comment"
        events.append(("start", tag, tuple(sorted(element.attrib.items()))))
        text(element.text)
        for child in element:
            walk(child)
            text(child.tail)
        events.append(("end", tag))

    walk(document)
    # Merge neighbouring texts, which folding may have split.
    merged = []
    for event in events:
        if event[0] == "text" and merged and merged[-1][0] == "text":
            merged[-1] = ("text", merged[-1][1] + " " + event[1])
        else:
            merged.append(event)
    return merged


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i, x, y
    return min(len(a), len(b)), a[len(b):len(b) + 1], b[len(a):len(a) + 1]


def main():
    batch, pages = sys.argv[1], sys.argv[2:]
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([batch, "wordlists", "init"], cwd=work, check=True, capture_output=True)
        for page in pages:
            fixed = os.path.join(work, "fixed.htm")
            run = subprocess.run([batch, "fix", os.path.abspath(page), "-o", fixed],
                                 cwd=work, capture_output=True, text=True)
            if run.returncode != 0:
                print(f"{page}: quillet-batch failed: {run.stderr}")
                failures += 1
                continue
            before = open(page, "rb").read()
            after = open(fixed, "rb").read()
            added = after.count(b"</p>") - before.count(b"</p>")
            if tree(before) != tree(after):
                index, was, now = first_difference(tree(before), tree(after))
                print(f"{page}: the tree changed at event {index}: {was} became {now}")
                failures += 1
            else:
                print(f"{page}: same tree, {added} </p> added")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
