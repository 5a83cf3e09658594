#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Several quillet-batch processes add entries to one word-list database at once.

usage: check_concurrent_wordlists.py QUILLET-BATCH

Eight processes, each adding 200 entries of its own, three rounds: every process succeeds,
says nothing but that it waits for another's lock, and every entry is in the list at the end.
"""
import os
import subprocess
import sys
import tempfile

PROCESSES = 8
ENTRIES = 200
ROUNDS = 3
WAITING = " is locked by another program; waiting up to "


def main():
    batch = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        db = os.path.join(work, "SkipList.db")
        subprocess.run([batch, "wordlists", "init", "--wordlists", db], check=True,
                       capture_output=True)
        expected = set()
        for round_ in range(ROUNDS):
            runs = []
            for process in range(PROCESSES):
                entries = [f"r{round_}p{process}e{i}" for i in range(ENTRIES)]
                expected.update(entries)
                runs.append(subprocess.Popen(
                    [batch, "wordlists", "add", "skip", "--wordlists", db, *entries],
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True))
            for process, run in enumerate(runs):
                out, err = run.communicate()
                unexpected = [line for line in err.splitlines() if WAITING not in line]
                if run.returncode != 0 or out or unexpected:
                    failures.append(f"round {round_}, process {process}: status "
                                    f"{run.returncode}, {out!r}, {err!r}")
        listed = subprocess.run([batch, "wordlists", "list", "skip", "--wordlists", db],
                                check=True, capture_output=True, text=True).stdout.splitlines()
        missing = expected - set(listed)
        if missing:
            failures.append(f"{len(missing)} of {len(expected)} entries are missing, "
                            f"such as {sorted(missing)[:3]}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
