#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the Debian package of the build with CPack and checks it.

usage: check_package.py BUILD-DIR GUI(ON|OFF) [--lintian]

Without --lintian: its contents and fields, the changelog of its version, manual pages
that name the files it installs, and programs built with Debian's hardening flags. With --lintian: lintian at its default level reports no
error and no warning (exit status 77, a skip, when lintian is missing).
"""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile

# The files a package must hold and what its manual pages must name are those of an
# installation under /usr.
from check_install import check, check_manuals, expected_files, failures


def build_package(build, out):
    r = subprocess.run(["cpack", "-G", "DEB", "-B", out, "--config",
                        os.path.join(build, "CPackConfig.cmake")],
                       cwd=build, capture_output=True, text=True)
    packages = glob.glob(os.path.join(out, "quillet_*.deb"))
    if r.returncode != 0 or len(packages) != 1:
        print(f"cpack failed:\n{r.stdout}{r.stderr}")
        return None
    return packages[0]


def run_lintian(deb):
    # Every tag, however often it is given ("0": no limit).
    r = subprocess.run(["lintian", "--tag-display-limit", "0", deb], capture_output=True,
                       text=True)
    tags = [line for line in r.stdout.splitlines() if re.match(r"[EW]: ", line)]
    for tag in tags:
        failures.append(f"lintian: {tag}")
    if r.returncode != 0 and not tags:
        failures.append(f"lintian failed with status {r.returncode}: {r.stderr}")


def check_hardening(program, name):
    """What Debian's hardening flags leave in a program that readelf can see: relocations
    read-only (relro) and bound at start (now), position independence, and the stack
    protector."""
    dynamic = subprocess.run(["readelf", "-d", "-l", "--dyn-syms", "-W", program],
                             capture_output=True, text=True, check=True).stdout
    check("GNU_RELRO" in dynamic, f"{name} is not linked with -z relro")
    check(re.search(r"\(FLAGS(_1)?\).*\bNOW\b", dynamic), f"{name} is not linked with -z now")
    check(re.search(r"\(FLAGS_1\).*\bPIE\b", dynamic), f"{name} is not position independent")
    check("__stack_chk_fail" in dynamic, f"{name} has no stack protector")


def check_contents(deb, gui, out):
    fields = {}
    for field in ("Package", "Version", "Section", "Maintainer", "Depends", "Description"):
        fields[field] = subprocess.run(["dpkg-deb", "-f", deb, field], capture_output=True,
                                       text=True, check=True).stdout.strip()
    contents = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True,
                              check=True).stdout
    for path in sorted(expected_files(gui)):
        check(any(line.endswith(" ./usr/" + path) for line in contents.splitlines()),
              f"the package lacks /usr/{path}")
    depends = fields["Depends"]
    libraries = ["libqt6core6", "libsqlite3", "libgumbo"]
    if gui:
        libraries += ["libqt6widgets6", "libqt6help6", "libqscintilla2-qt6", "libqt6sql6-sqlite"]
    for library in libraries:
        check(library in depends, f"Depends does not name {library}: {depends}")
    for field in ("Section", "Maintainer", "Description"):
        check(fields[field], f"the field {field} is empty")
    check(fields["Package"] == "quillet", f"the package is named {fields['Package']}")

    root = os.path.join(out, "root")
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    programs = ["usr/bin/quillet-batch", "usr/libexec/quillet/quillet-html5-parse"]
    if gui:
        programs.append("usr/bin/quillet")
    for program in programs:
        check_hardening(os.path.join(root, program), program)
    changelog = os.path.join(root, "usr/share/doc/quillet/changelog.gz")
    if os.path.isfile(changelog):
        with gzip.open(changelog, "rt", encoding="utf-8") as f:
            first = f.readline()
        check(first.startswith(f"quillet ({fields['Version']}) "),
              f"the changelog's last entry is not of version {fields['Version']}: {first!r}")
    # The manual pages name the files where the package puts them.
    check_manuals(root, "/usr", gui)


def main():
    build, gui = sys.argv[1], sys.argv[2] == "ON"
    lintian = sys.argv[3:] == ["--lintian"]
    if lintian and not shutil.which("lintian"):
        print("lintian is not installed (Debian package lintian)")
        return 77
    with tempfile.TemporaryDirectory() as out:
        deb = build_package(build, out)
        if not deb:
            return 1
        if lintian:
            run_lintian(deb)
        else:
            check_contents(deb, gui, out)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
