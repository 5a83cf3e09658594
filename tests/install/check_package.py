#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the Debian package of the build with CPack and checks its contents and fields.

usage: check_package.py BUILD-DIR GUI(ON|OFF)
"""
import glob
import os
import subprocess
import sys
import tempfile


def main():
    build, gui = sys.argv[1], sys.argv[2] == "ON"
    with tempfile.TemporaryDirectory() as out:
        r = subprocess.run(["cpack", "-G", "DEB", "-B", out, "--config",
                            os.path.join(build, "CPackConfig.cmake")],
                           cwd=build, capture_output=True, text=True)
        packages = glob.glob(os.path.join(out, "quillet_*.deb"))
        if r.returncode != 0 or len(packages) != 1:
            print(f"cpack failed:\n{r.stdout}{r.stderr}")
            return 1
        deb = packages[0]
        fields = {}
        for field in ("Package", "Section", "Maintainer", "Depends", "Description"):
            fields[field] = subprocess.run(["dpkg-deb", "-f", deb, field], capture_output=True,
                                           text=True, check=True).stdout.strip()
        contents = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True,
                                  check=True).stdout
    failures = []
    wanted = ["./usr/bin/quillet-batch", "./usr/libexec/quillet/quillet-html5-parse",
              "./usr/share/doc/quillet/copyright"]
    if gui:
        wanted += ["./usr/bin/quillet", "./usr/share/quillet/Quillet.qhc",
                   "./usr/share/applications/io.github.quillet.Quillet.desktop"]
    for path in wanted:
        if not any(line.endswith(" " + path) for line in contents.splitlines()):
            failures.append(f"the package lacks {path}")
    depends = fields["Depends"]
    libraries = ["libqt6core6", "libsqlite3", "libgumbo"]
    if gui:
        libraries += ["libqt6widgets6", "libqt6help6", "libqscintilla2-qt6", "libqt6sql6-sqlite"]
    for library in libraries:
        if library not in depends:
            failures.append(f"Depends does not name {library}: {depends}")
    for field in ("Section", "Maintainer", "Description"):
        if not fields[field]:
            failures.append(f"the field {field} is empty")
    if fields["Package"] != "quillet":
        failures.append(f"the package is named {fields['Package']}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
