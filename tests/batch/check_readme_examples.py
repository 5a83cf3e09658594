#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the examples of the README's section "The batch tool", in their order, in an empty
folder holding the pages they name: each must succeed as written.

usage: check_readme_examples.py QUILLET-BATCH README
"""
import os
import re
import subprocess
import sys
import tempfile

# A page that the two ways of Fix File end differently: the word lists close the paragraph
# before the unknown element <bb>, an HTML5 parser only before <div>.
PAGE = b"<p>one<bb>two</bb><div>x</div>"
PAGE_BY_HTML5 = b"<p>one<bb>two</bb></p><div>x</div>"
PAGES = {
    "page.htm": PAGE,
    "other.htm": b"<P>a\r\n<P>b",
    "unix.htm": b"<p>one\ntwo</p>",
    "in.htm": b"  <p>a   b</p>  ",
    "old.htm": b"<meta charset=iso-8859-2><p>\xb1<table>",
    "site/index.htm": b"<p>a<div>",
    "site/sub/more.html": b"<p>b<ul>",
}


def examples(readme):
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index("\n## The batch tool\n"):]
    block = re.search(r"```sh\n(.*?)```", section, re.S).group(1)
    return [line for line in block.splitlines() if line.strip()]


def main():
    batch, readme = sys.argv[1], sys.argv[2]
    lines = examples(readme)
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name, content in PAGES.items():
            os.makedirs(os.path.dirname(os.path.join(work, name)), exist_ok=True)
            with open(os.path.join(work, name), "wb") as f:
                f.write(content)
        env = dict(os.environ, PATH=os.path.dirname(os.path.abspath(batch)) + ":" +
                   os.environ.get("PATH", ""), XDG_DATA_HOME=os.path.join(work, "data"))
        for line in lines:
            r = subprocess.run(["bash", "-c", line], cwd=work, env=env, capture_output=True)
            if r.returncode != 0:
                failures.append(f"{line!r}: status {r.returncode}, {r.stderr!r}")
            if line.startswith("quillet-batch fix --html5 page.htm"):
                with open(os.path.join(work, "page.fix"), "rb") as f:
                    written = f.read()
                if written != PAGE_BY_HTML5:
                    failures.append(f"{line!r} wrote {written!r} to page.fix")
    if len(lines) < 10:
        failures.append(f"only {len(lines)} examples found in {readme}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
