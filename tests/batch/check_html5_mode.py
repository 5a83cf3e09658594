#!/usr/bin/env python3
"""Checks `quillet-batch fix --html5` against the HTML5 parser of the test suite.

usage: check_html5_mode.py QUILLET_BATCH PAGE...

Each page is repaired, and then: the output must be the page with "</p>" inserted and
nothing else, the number inserted must be the one expected for the page, and the page
must parse to exactly the same tree (white space included) before and after. Pages are
parsed from their bytes, as a browser reads them: byte-order mark, <meta charset>, else
windows-1252.
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

# How many "</p>" each sample page gets; each page says in its text why.
EXPECTED = {
    "cells-buttons.htm": 6,
    "html32-system-id.htm": 2,
    "nesting.htm": 10,
    "public-id-html.htm": 2,
    "quirks-table.htm": 3,
    "raw-text.htm": 2,
    "standards-table.htm": 3,
    "unknown-foreign.htm": 2,
    "utf16.htm": 2,
    "utf8.htm": 2,
}


def tree(page_bytes):
    """The parse tree as a list of events: elements with namespace and attributes,
    comments, and exact text."""
    document = html5lib.parse(page_bytes, useChardet=False)
    events = []

    def text(value):
        if value:
            if events and events[-1][0] == "text":
                events[-1] = ("text", events[-1][1] + value)
            else:
                events.append(("text", value))

    def walk(element):
        tag = element.tag if isinstance(element.tag, str) else "#comment"
        events.append(("start", tag, tuple(sorted(element.attrib.items()))))
        text(element.text)
        for child in element:
            walk(child)
            text(child.tail)
        events.append(("end", tag))

    walk(document)
    return events


def decoded(page_bytes):
    """The text of a page for comparing characters: UTF-16 by its mark, else bytes."""
    if page_bytes[:2] in (b"\xff\xfe", b"\xfe\xff"):
        return page_bytes.decode("utf-16")
    return page_bytes.decode("latin-1")


def inserted_only(before, after):
    """How many "</p>" turn `before` into `after`, or None when anything else differs."""
    i = j = added = 0
    while j < len(after):
        if after.startswith("</p>", j):
            if before.startswith("</p>", i):
                i += 4
            else:
                added += 1
            j += 4
        elif i < len(before) and before[i] == after[j]:
            i += 1
            j += 1
        else:
            return None
    return added if i == len(before) else None


def main():
    batch, pages = sys.argv[1], sys.argv[2:]
    help_text = subprocess.run([batch, "--help"], capture_output=True, text=True).stdout
    reads_utf16 = "--encoding" in help_text
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for page in pages:
            name = os.path.basename(page)
            before = open(page, "rb").read()
            if before[:2] in (b"\xff\xfe", b"\xfe\xff") and not reads_utf16:
                print(f"{name}: skipped, this quillet-batch reads no UTF-16")
                continue
            fixed = os.path.join(work, "fixed.htm")
            run = subprocess.run([batch, "fix", "--html5", os.path.abspath(page), "-o", fixed],
                                 cwd=work, capture_output=True, text=True)
            if run.returncode != 0:
                print(f"{name}: quillet-batch failed: {run.stderr}")
                failures += 1
                continue
            after = open(fixed, "rb").read()
            added = inserted_only(decoded(before), decoded(after))
            problems = []
            if added is None:
                problems.append("the output is not the page with </p> inserted")
            elif added != EXPECTED.get(name):
                problems.append(f"{added} </p> inserted, {EXPECTED.get(name)} expected")
            was, now = tree(before), tree(after)
            if was != now:
                index = next((k for k, (x, y) in enumerate(zip(was, now)) if x != y),
                             min(len(was), len(now)))
                problems.append(f"the tree changed at event {index}: "
                                f"{was[index:index + 1]} became {now[index:index + 1]}")
            for problem in problems:
                print(f"{name}: {problem}")
            if problems:
                failures += 1
            else:
                print(f"{name}: same tree, {added} </p> added")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
