#!/usr/bin/env bash
# The main job: repairs the sample page with the batch tool, creating the default
# word-list database in the run folder when there is none.
set -euo pipefail
build=${1:?usage: run-main.sh BUILD-DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
run="$build/run"
mkdir -p "$run"
cd "$run"
[ -f SkipList.db ] || "$build/src/quillet-batch" wordlists init
"$build/src/quillet-batch" fix "$root/samples/oldpage.htm" -o oldpage.fix
echo "Repaired page: $run/oldpage.fix"
