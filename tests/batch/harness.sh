# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the checks that run the built quillet-batch (its path is their first
# argument): they work in a temporary folder, removed at the end, and count failures.
set -uo pipefail
batch=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
