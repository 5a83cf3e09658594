#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Installs the build into an empty DESTDIR and checks what a packager and a new user get.

usage: check_install.py BUILD-DIR GUI(ON|OFF) PAGE EXPECTED

- the layout under the prefix /usr, with no file more or less;
- the manual pages name the installed files, as installed under DESTDIR and with
  `--prefix` elsewhere;
- icons of the sizes their folders name, and a help collection that finds its topics
  beside itself;
- the installed programs run from another folder: version, help, usage errors, all
  without a display;
- the batch tool finds the helper that runs the HTML5 parser (`fix --html5` gives what the
  build tree gives), and says so clearly when the helper is missing;
- the first run of `quillet-batch fix PAGE` in an empty folder with an empty home: the
  result equals EXPECTED, the word lists are made in the per-user data folder (said once,
  on standard error, with the usual permissions), and nothing else is written.
"""
import gzip
import os
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile

APP_ID = "io.github.quillet.Quillet"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(program, *args, cwd, env):
    return subprocess.run([program, *args], cwd=cwd, env=env, capture_output=True, text=True)


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    return struct.unpack(">II", header[16:24]) if header[:8] == b"\x89PNG\r\n\x1a\n" else None


def expected_files(gui):
    files = {"bin/quillet-batch", "libexec/quillet/quillet-html5-parse",
             "share/man/man1/quillet-batch.1.gz",
             "share/doc/quillet/LICENSE", "share/doc/quillet/copyright",
             "share/doc/quillet/changelog.gz"}
    if gui:
        files |= {"bin/quillet", "share/man/man1/quillet.1.gz",
                  "share/quillet/Quillet.qhc", "share/quillet/Quillet.qch",
                  f"share/applications/{APP_ID}.desktop",
                  f"share/metainfo/{APP_ID}.metainfo.xml",
                  f"share/icons/hicolor/scalable/apps/{APP_ID}.svg"}
        files |= {f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIZES}
    return files


def check_layout(usr, gui):
    found = set()
    for folder, _, names in os.walk(usr):
        found |= {os.path.relpath(os.path.join(folder, n), usr) for n in names}
    wanted = expected_files(gui)
    check(found == wanted, f"installed files: missing {sorted(wanted - found)}, "
                           f"unexpected {sorted(found - wanted)}")
    for name in sorted(found & wanted):
        path = os.path.join(usr, name)
        if name.startswith(("bin/", "libexec/")):
            check(os.access(path, os.X_OK), f"{name} is not executable")
        if name.endswith(".png"):
            size = int(name.split("/")[3].split("x")[0])
            check(png_size(path) == (size, size), f"{name} is {png_size(path)}, not {size}")
    if gui:
        # The collection must name its documentation relative to itself to work anywhere.
        with sqlite3.connect(os.path.join(usr, "share/quillet/Quillet.qhc")) as db:
            registered = [row[0] for row in db.execute("SELECT FilePath FROM NamespaceTable")]
        check(registered == ["Quillet.qch"], f"the help collection registers {registered}")


def check_manuals(root, prefix, gui):
    """The manual pages installed under ROOT for PREFIX name the files that are installed
    there: the help, and the HTML5 parser's helper."""
    wanted = {f"{prefix}/libexec/quillet/quillet-html5-parse"}
    if gui:
        wanted.add(f"{prefix}/share/quillet/Quillet.qhc")
    named = set()
    for page in ["quillet-batch"] + (["quillet"] if gui else []):
        path = root + f"{prefix}/share/man/man1/{page}.1.gz"
        if not os.path.isfile(path):
            failures.append(f"{path} is missing")
            continue
        with gzip.open(path, "rt", encoding="utf-8") as f:
            text = re.sub(r"\\f[BIRP]", "", f.read()).replace("\\-", "-")
        check("@" not in text, f"{page}.1 holds a name not filled in")
        found = set(re.findall(re.escape(prefix) + r"/[\w./-]*\w", text))
        for name in sorted(found):
            check(os.path.exists(root + name), f"{page}.1 names {name}, which is not installed")
        named |= found
    check(wanted <= named, f"the manual pages do not name {sorted(wanted - named)}")


def check_programs(usr, gui, elsewhere, env):
    # No display of any kind: help and version must not need one.
    bare = {k: v for k, v in env.items()
            if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    programs = ["quillet-batch"] + (["quillet"] if gui else [])
    for program in programs:
        path = os.path.join(usr, "bin", program)
        r = run(path, "--version", cwd=elsewhere, env=bare)
        check(r.returncode == 0 and r.stdout.startswith(program + " ") and
              r.stdout.strip().split(" ")[1][0].isdigit(),
              f"{program} --version: status {r.returncode}, {r.stdout!r} {r.stderr!r}")
        r = run(path, "--help", cwd=elsewhere, env=bare)
        check(r.returncode == 0 and r.stdout.startswith(f"Usage: {program}"),
              f"{program} --help: status {r.returncode}, {r.stderr!r}")
        r = run(path, "--no-such-option", cwd=elsewhere, env=bare)
        check(r.returncode == 2 and "--help" in r.stderr,
              f"{program} with an unknown option: status {r.returncode}, {r.stderr!r}")


def check_html5_helper(usr, build, work, page, env):
    """fix --html5 from the installed tree, with its helper and without."""
    batch = os.path.join(usr, "bin", "quillet-batch")
    folder = os.path.join(work, "html5")
    os.makedirs(folder)
    shutil.copy(page, os.path.join(folder, "page.htm"))
    r = run(batch, "fix", "--html5", "page.htm", "-o", "installed.htm", cwd=folder, env=env)
    built = run(os.path.join(build, "src", "quillet-batch"), "fix", "--html5", "page.htm", "-o",
                "built.htm", cwd=folder, env=env)
    check(r.returncode == 0 and r.stderr.endswith(" </p> added\n") and built.returncode == 0,
          f"fix --html5 with the installed helper: status {r.returncode}, {r.stderr!r}")
    if r.returncode == 0 and built.returncode == 0:
        with open(os.path.join(folder, "installed.htm"), "rb") as a, \
                open(os.path.join(folder, "built.htm"), "rb") as b:
            check(a.read() == b.read(), "fix --html5 gives another page installed than built")

    helper = os.path.join(usr, "libexec", "quillet", "quillet-html5-parse")
    os.rename(helper, helper + ".away")
    try:
        r = run(batch, "fix", "--html5", "page.htm", "-o", "missing.htm", cwd=folder, env=env)
    finally:
        os.rename(helper + ".away", helper)
    check(r.returncode == 1 and
          r.stderr == f"quillet-batch: page.htm: the HTML5 parser helper {helper} is missing\n" and
          not os.path.exists(os.path.join(folder, "missing.htm")),
          f"fix --html5 without its helper: status {r.returncode}, {r.stderr!r}")


def check_first_run(usr, work, page, expected, env):
    batch = os.path.join(usr, "bin", "quillet-batch")
    home = os.path.join(work, "home")
    folder = os.path.join(work, "empty")
    os.makedirs(home)
    os.makedirs(folder)
    shutil.copy(page, os.path.join(folder, "page.htm"))
    fresh = dict(env, HOME=home)
    fresh.pop("XDG_DATA_HOME", None)
    lists = os.path.join(home, ".local/share/quillet/SkipList.db")

    os.umask(0o022)
    r = run(batch, "strip-spaces", "page.htm", "-o", "-", cwd=folder, env=fresh)
    check(r.returncode == 0 and not os.path.exists(lists), "strip-spaces made word lists")
    r = run(batch, "fix", "page.htm", cwd=folder, env=fresh)
    check(r.returncode == 0, f"first fix: status {r.returncode}, {r.stderr!r}")
    check(r.stderr.startswith(f"quillet-batch: created {lists} with the default word lists\n"),
          f"first fix does not say where it made the lists: {r.stderr!r}")
    check(os.path.isfile(lists) and os.stat(lists).st_mode & 0o777 == 0o644,
          "the per-user lists are missing or not rw-r--r--")
    with open(os.path.join(folder, "page.fix"), "rb") as got, open(expected, "rb") as want:
        check(got.read() == want.read(), "the first fix differs from the expected page")
    check(sorted(os.listdir(folder)) == ["page.fix", "page.htm"],
          f"the working folder holds {sorted(os.listdir(folder))}")

    r = run(batch, "fix", "page.htm", "-o", "again.htm", cwd=folder, env=fresh)
    check(r.returncode == 0 and "created" not in r.stderr, f"second fix: {r.stderr!r}")

    # A per-user file that is damaged is reported and left alone.
    with open(lists, "wb") as f:
        f.write(b"damaged")
    r = run(batch, "fix", "page.htm", "-o", "third.htm", cwd=folder, env=fresh)
    with open(lists, "rb") as f:
        kept = f.read()
    check(r.returncode == 1 and lists in r.stderr and kept == b"damaged",
          f"a damaged per-user file: status {r.returncode}, {r.stderr!r}, kept {kept!r}")

    # $XDG_DATA_HOME, when set, holds the per-user folder.
    xdg = os.path.join(work, "xdg")
    r = run(batch, "wordlists", "list", "include", cwd=folder, env=dict(fresh, XDG_DATA_HOME=xdg))
    check(r.returncode == 0 and "/div\n" in r.stdout and
          os.path.isfile(os.path.join(xdg, "quillet/SkipList.db")),
          f"lists under XDG_DATA_HOME: status {r.returncode}, {r.stderr!r}")


def main():
    build, gui, page, expected = sys.argv[1], sys.argv[2] == "ON", sys.argv[3], sys.argv[4]
    with tempfile.TemporaryDirectory() as work:
        dest = os.path.join(work, "dest")
        env = dict(os.environ, DESTDIR=dest)
        r = subprocess.run(["cmake", "--install", build, "--prefix", "/usr"], env=env,
                           capture_output=True, text=True)
        if r.returncode != 0:
            print(f"cmake --install failed:\n{r.stdout}{r.stderr}")
            return 1
        usr = os.path.join(dest, "usr")
        env.pop("DESTDIR")
        elsewhere = os.path.join(work, "elsewhere")
        os.makedirs(elsewhere)
        check_layout(usr, gui)
        check_manuals(dest, "/usr", gui)
        # Installed elsewhere, the pages name that place.
        local = os.path.join(work, "local")
        r = subprocess.run(["cmake", "--install", build, "--prefix", local + "/"],
                           capture_output=True, text=True)
        check(r.returncode == 0, f"cmake --install --prefix {local}: {r.stdout}{r.stderr}")
        check_manuals("", local, gui)
        check_programs(usr, gui, elsewhere, env)
        check_html5_helper(usr, build, work, page, env)
        check_first_run(usr, work, page, expected, env)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
