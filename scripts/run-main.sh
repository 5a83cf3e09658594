#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main job: starts the Quillet window in a working folder that holds the word-list
# database (made with the default lists when there is none) and the sample page, so that
# Open File finds oldpage.htm there.
#
# Without a display ($DISPLAY and $WAYLAND_DISPLAY empty, and no QT_QPA_PLATFORM chosen)
# it says so, checks on a virtual display (xvfb-run) that the window starts, repairs the
# sample page with the batch tool instead, and tells how to see the window:
#   QT_QPA_PLATFORM=vnc:size=1280x800 ./setup.sh run   then a VNC viewer on port 5900.
set -euo pipefail
build=${1:?usage: run-main.sh BUILD-DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
run="$build/run"
mkdir -p "$run"
cd "$run"
[ -f SkipList.db ] || "$build/src/quillet-batch" wordlists init
[ -f oldpage.htm ] || cp "$root/samples/oldpage.htm" oldpage.htm

if [ -n "${QT_QPA_PLATFORM:-}" ] || [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting Quillet in $run (File > Open File shows oldpage.htm there)."
    exec "$build/src/quillet"
fi

echo "No display: \$DISPLAY and \$WAYLAND_DISPLAY are empty, so the window cannot be shown here."
if command -v xvfb-run > /dev/null; then
    # The window runs until it is closed; five seconds alive on a virtual display shows
    # that it starts.
    status=0
    timeout 5 xvfb-run -a "$build/src/quillet" > /dev/null 2>&1 || status=$?
    if [ "$status" -eq 124 ]; then
        echo "Start-up check: the window started on a virtual display (xvfb-run) and ran for 5 s."
    else
        echo "Start-up check FAILED: the window ended with status $status on a virtual display." >&2
        exit 1
    fi
fi
"$build/src/quillet-batch" fix oldpage.htm -o oldpage.fix
echo "The batch tool repaired the sample page instead: $run/oldpage.fix"
echo "To see the window: log in with a display (or ssh -X), or serve it over VNC with"
echo "  QT_QPA_PLATFORM=vnc:size=1280x800 ./setup.sh run"
echo "and connect a VNC viewer to this machine's port 5900."
