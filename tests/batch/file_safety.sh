#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the built quillet-batch where a fault belongs to the process: file size and memory
# limits, closed and failing standard streams, a failing sync, file names that are not
# UTF-8, and a database creation killed midway. Checks that need the superuser (device
# nodes), tracing (strace) or an unsanitized build (memory limits) are skipped with a note.
source "$(dirname "$0")/harness.sh"
sanitized=${2:-OFF}
skip() { echo "skipped: $*"; }
# check WHAT EXPECTED-STATUS STATUS OUTPUT [TEXT THE OUTPUT MUST HOLD]
check() {
    [ "$3" = "$2" ] || fail "$1: exit status $3, expected $2 ($4)"
    if [ $# -ge 5 ]; then
        [[ "$4" == *"$5"* ]] || fail "$1: '$5' not in: $4"
    fi
}
# The folder holds exactly these names (no temporary file left).
holds() {
    local listed
    listed=$(ls -A | sort | tr '\n' ' ')
    [ "$listed" = "$2 " ] || fail "$1: the folder holds '$listed', expected '$2 '"
}

"$batch" wordlists init 2>/dev/null || fail "wordlists init"
printf '<p>a<div>' >small.htm
for i in $(seq 1 120000); do echo "<p>paragraph $i<div>x</div>"; done >big.htm
expected_fix=$'<p>a</p><div>'

# A full disk, by the file size limit with SIGXFSZ ignored: a large output is cut short,
# a small one is refused at its first byte. The old output stays.
printf 'old' >out.fix
out=$( (trap '' XFSZ; ulimit -f 200; exec "$batch" fix big.htm -o out.fix) 2>&1)
check "large output over the size limit" 1 $? "$out" "big.htm: cannot write out.fix: the disk is full"
out=$( (trap '' XFSZ; ulimit -f 0; exec "$batch" fix small.htm -o new.fix) 2>&1)
check "small output over the size limit" 1 $? "$out" "the disk is full (File too large)"
[ "$(cat out.fix)" = old ] || fail "the old output was changed"
holds "after the size limit" "SkipList.db big.htm out.fix small.htm"

# A database creation killed midway (SIGXFSZ not ignored) leaves nothing behind.
bash -c 'ulimit -f 1; "$0" wordlists init --wordlists killed.db; exit $?' "$batch" 2>/dev/null
check "wordlists init killed by SIGXFSZ" 153 $? ""
holds "after the killed creation" "SkipList.db big.htm out.fix small.htm"

# A closed pipe ends the run quietly with status 1.
"$batch" fix - <big.htm 2>pipe.err | head -c 10 >head.out
check "standard output to a closed pipe" 1 "${PIPESTATUS[0]}" "$(cat pipe.err)"
[ -s pipe.err ] && fail "a closed pipe was reported: $(cat pipe.err)"

# Closed standard streams are errors, not an empty page or a lost list.
out=$("$batch" fix - 2>&1 <&-)
check "closed standard input" 1 $? "$out" "standard input: cannot read the page: Bad file descriptor"
out=$( ("$batch" wordlists list skip >&-) 2>&1)
check "closed standard output" 1 $? "$out" "cannot write standard output: Bad file descriptor"

# A file name that is not UTF-8 names the same file throughout.
odd=$(printf 'caf\351')
cp small.htm "$odd.htm"
out=$("$batch" fix "$odd.htm" 2>&1)
check "a name that is not UTF-8" 0 $? "$out" "1 </p> added"
[ "$(cat "$odd.fix" 2>/dev/null)" = "$expected_fix" ] || fail "$odd.fix was not written"

# Standard output on a device that is full.
if mknod full c 1 7 2>/dev/null; then
    out=$("$batch" fix - <small.htm 2>&1 >full)
    check "standard output on a full device" 1 $? "$out" "cannot write standard output: the disk is full"
    out=$("$batch" wordlists list skip 2>&1 >full)
    check "a list on a full device" 1 $? "$out" "the disk is full (No space left on device)"
else
    skip "device nodes cannot be made here"
fi

# A sync that fails (as on a full disk that allocates late) fails the output, and the old
# one stays.
printf 'old' >synced.fix
if strace -qq -o strace.log -e trace=none true 2>/dev/null; then
    # LeakSanitizer cannot work under a tracer.
    out=$(ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o strace.log \
        -e trace=fsync -e inject=fsync:error=EIO "$batch" fix small.htm -o synced.fix 2>&1)
    check "a failed sync" 1 $? "$out" "small.htm: cannot write synced.fix: Input/output error"
    [ "$(cat synced.fix)" = old ] || fail "a failed sync replaced the old output"
    # Many pages are synced together, with one sync of the file system: when it fails,
    # every page of the batch fails and none is replaced.
    mkdir batch
    for i in 1 2 3 4 5 6; do printf '<p>%s<div>' "$i" >"batch/p$i.htm"; done
    out=$(ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o strace.log \
        -e trace=syncfs -e inject=syncfs:error=EIO "$batch" fix -q --in-place batch/p*.htm 2>&1)
    check "a failed sync of many pages" 1 $? "$out" "batch/p6.htm: cannot write batch/p6.htm: Input/output error"
    [ "$(cat batch/p*.htm)" = '<p>1<div><p>2<div><p>3<div><p>4<div><p>5<div><p>6<div>' ] ||
        fail "a failed sync replaced a page"
    [ "$(ls batch | wc -l)" = 6 ] || fail "a failed sync left files behind: $(ls batch)"
    rm -r batch
else
    skip "strace cannot trace here"
fi

# Endless input, under a memory limit: it fails alone and the run goes on. (A sanitized
# build reserves more address space than any such limit allows.)
if [ "$sanitized" = OFF ]; then
    mkfifo endless.htm
    yes '<p>x' >endless.htm 2>/dev/null &
    writer=$!
    out=$( (ulimit -v 1000000; exec "$batch" fix endless.htm small.htm) 2>&1)
    check "endless input" 1 $? "$out" "endless.htm: cannot read the page: it is too large to hold in memory"
    [[ "$out" == *"small.htm: 1 </p> added"* ]] || fail "the run stopped at the endless input: $out"
    kill "$writer" 2>/dev/null
    wait "$writer" 2>/dev/null
else
    skip "memory limits do not work with the sanitizers"
fi

[ "$failures" -eq 0 ] && echo "file safety checks passed"
exit $((failures > 0))
