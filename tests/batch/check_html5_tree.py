#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks Fix File against the HTML5 parser of the test suite (html5lib).

usage: check_html5_tree.py [--html5] QUILLET_BATCH PAGE...

Each page is repaired with `quillet-batch fix` (the default word lists) or, with --html5,
`quillet-batch fix --html5`. The output must be the page with "</p>" inserted and nothing
else, and the page must parse to the same tree before and after, so every "</p>" stands
where the parser ends the paragraph anyway. Pages are parsed from their bytes as a browser
reads them. With the word lists, text is compared with its white space folded: the only
text that may move is white space after the body's end tag. With --html5 the text must
stay exactly, and each page must get the number of "</p>" it says it expects.
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

# How many "</p>" each HTML5 sample page gets; each page says in its text why.
EXPECTED = {
    "cells-buttons.htm": 6, "html32-system-id.htm": 2, "nesting.htm": 10,
    "noscript-search.htm": 2, "public-id-html.htm": 2, "quirks-table.htm": 3, "raw-text.htm": 2,
    "standards-table.htm": 3, "unknown-foreign.htm": 2, "utf16.htm": 2, "utf8.htm": 2,
}


def tree(page_bytes, fold):
    """The parse tree as a list of events: elements with attributes, comments, text."""
    events = []

    def text(value):
        value = " ".join((value or "").split()) if fold else value
        if value:
            if events and events[-1][0] == "text":
                events[-1] = ("text", events[-1][1] + (" " if fold else "") + value)
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

    walk(html5lib.parse(page_bytes, useChardet=False))
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
    html5 = sys.argv[1] == "--html5"
    batch, pages = sys.argv[1 + html5], sys.argv[2 + html5:]
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([batch, "wordlists", "init"], cwd=work, check=True, capture_output=True)
        for page in pages:
            name = os.path.basename(page)
            fixed = os.path.join(work, "fixed.htm")
            run = subprocess.run([batch, "fix", *(["--html5"] if html5 else []),
                                  os.path.abspath(page), "-o", fixed],
                                 cwd=work, capture_output=True, text=True)
            if run.returncode != 0:
                print(f"{name}: quillet-batch failed: {run.stderr}")
                failures += 1
                continue
            before = open(page, "rb").read()
            after = open(fixed, "rb").read()
            added = inserted_only(decoded(before), decoded(after))
            problems = []
            if added is None:
                problems.append("the output is not the page with </p> inserted")
            elif html5 and added != EXPECTED.get(name):
                problems.append(f"{added} </p> inserted, {EXPECTED.get(name)} expected")
            was, now = tree(before, not html5), tree(after, not html5)
            if was != now:
                index = next((k for k, (x, y) in enumerate(zip(was, now)) if x != y),
                             min(len(was), len(now)))
                problems.append(f"the tree changed at event {index}: "
                                f"{was[index:index + 1]} became {now[index:index + 1]}")
            for problem in problems:
                print(f"{name}: {problem}")
            failures += bool(problems)
            if not problems:
                print(f"{name}: same tree, {added} </p> added")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
