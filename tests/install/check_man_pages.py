#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that each manual page, as the build writes it, matches its program's --help.

usage: check_man_pages.py MAN-DIR PROGRAM...

Every option that `PROGRAM --help` prints must appear in MAN-DIR/PROGRAM.1, and every
option the page names must be one that --help prints; for quillet-batch the same holds for
its commands. The lists of options are made from the table the program reads its options
by (the unit tests check how); what this catches is the written rest of a page naming an
option or a command that is gone, or leaving out one that came.
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w/$.-])(--?[A-Za-z][\w-]*)")
# The lines of the batch tool's help that introduce a command: "  fix [...", "  wordlists init".
COMMAND = re.compile(r"^  ([a-z][a-z-]+(?: (?:init|list|add|delete))?)(?: |$)", re.M)


def roff_text(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"^\.\\\".*\n", "", text, flags=re.M)  # comments
    text = re.sub(r"\\f[BIRP]", "", text)
    text = text.replace("\\-", "-").replace("\\(dq", '"').replace("\\&", "")
    text = text.replace("\\e", "\\")
    # Macro names are not words of the page.
    return re.sub(r"^\.[A-Za-z]+ ?", "", text, flags=re.M)


def main():
    man_dir, programs = sys.argv[1], sys.argv[2:]
    failures = []
    for program in programs:
        name = os.path.basename(program)
        usage = subprocess.run([program, "--help"], capture_output=True, text=True,
                               check=True).stdout
        path = os.path.join(man_dir, name + ".1")
        page = roff_text(path)
        helped = set(OPTION.findall(usage))
        described = set(OPTION.findall(page))
        for option in sorted(helped - described):
            failures.append(f"{name}: --help prints {option}, the manual page does not")
        for option in sorted(described - helped):
            failures.append(f"{name}: the manual page describes {option}, --help does not")
        for command in sorted(set(COMMAND.findall(usage))):
            if not re.search(r"(?<![\w-])" + re.escape(command) + r"(?![\w-])", page):
                failures.append(f"{name}: the manual page lacks the command '{command}'")
        with open(path, encoding="utf-8") as f:
            source = re.sub(r"^\.\\\".*\n", "", f.read(), flags=re.M)  # without comments
            for marker in sorted(set(re.findall(r"@[A-Z][\w ]*@", source))):
                if not marker.startswith("@INSTALLED_"):
                    failures.append(f"{name}: the manual page holds {marker}, not filled in")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
