#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the built quillet-batch on the sample pages and compares every output with the
# expected bytes.
set -euo pipefail
batch=$1
data=$2
samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$batch" wordlists init 2>/dev/null
"$batch" fix "$data/garden.htm" -o fixed.htm 2>fix.log
"$batch" strip-newlines fixed.htm -o joined.htm
"$batch" strip-spaces joined.htm -o spaced.htm
cmp fixed.htm "$data/garden.fixed.htm"
cmp joined.htm "$data/garden.joined.htm"
cmp spaced.htm "$data/garden.spaced.htm"
grep -qx ".*/garden.htm: 4 </p> added" fix.log

# The default output name, and standard input to standard output.
cp "$samples/oldpage.htm" Page.Old.htm
"$batch" fix Page.Old.htm 2>/dev/null
"$batch" fix - -o - <Page.Old.htm >piped.htm 2>/dev/null
cmp Page.Old.fix piped.htm
cmp Page.Old.fix "$data/oldpage.fixed.htm"
echo "golden outputs match"
