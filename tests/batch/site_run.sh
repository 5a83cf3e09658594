#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the built quillet-batch over folder trees where the check needs the program itself:
#   site_run.sh BATCH interrupt    Ctrl+C (SIGINT) in the middle of a large run
#   site_run.sh BATCH patch        patch -p1 applies --diff, CR LF lines and all
#   site_run.sh BATCH other-user   a page its user may not read, run as another user
#   site_run.sh BATCH parallel     the README's recipe with GNU parallel, on this machine
# Exits 77 (skipped) when what a check needs is missing here.
source "$(dirname "$0")/harness.sh"
check=$2
skip() {
    echo "skipped: $*"
    exit 77
}
finish() {
    [ "$failures" -eq 0 ] && echo "$check: passed"
    exit $((failures > 0))
}

"$batch" wordlists init --wordlists "$work/lists.db" 2>/dev/null || fail "wordlists init"
lists=(--wordlists "$work/lists.db")

case $check in
interrupt)
    # 400 pages and, in the middle, a named pipe: the run waits on it, is interrupted
    # there, and must finish what it has started, write nothing more, and say so. Every
    # output is then whole or missing.
    mkdir site
    for i in $(seq -w 1 400); do printf '<p>page %s<div>x</div>\r\n' "$i" >"site/p$i.htm"; done
    mkfifo site/p200b.htm
    (cd site && ls) | sed 's|^|site/|' >list
    set -m  # the run gets Ctrl+C as from a terminal, not ignored as in the background
    "$batch" fix -j2 --output-dir out "${lists[@]}" --files-from list --report report.jsonl \
        2>err.log &
    run=$!
    exec 3>site/p200b.htm  # returns once the run reads the pipe
    kill -INT "$run"
    printf '<p>piped<div>' >&3
    exec 3>&-
    wait "$run"
    status=$?
    [ "$status" = 130 ] || fail "exit status $status after Ctrl+C, expected 130: $(tail -3 err.log)"
    summary=$(tail -1 err.log)
    [[ "$summary" =~ ^interrupted:\ ([0-9]+)\ pages\ read,\ ([0-9]+)\ changed ]] ||
        fail "no summary: $summary"
    read_count=${BASH_REMATCH[1]:-0}
    changed=${BASH_REMATCH[2]:-0}
    written=$(ls out/site | wc -l)
    whole=$(grep -l '</p>' out/site/* | wc -l)
    [ "$written" = "$changed" ] || fail "$written pages written, the summary says $changed"
    [ "$whole" = "$written" ] || fail "a page was written in part"
    [ "$(cat out/site/p200b.htm 2>/dev/null)" = '<p>piped</p><div>' ] ||
        fail "the page under way was not finished"
    [ -e out/site/p400.htm ] && fail "a page after the interruption was written"
    [ "$read_count" -ge 201 ] && [ "$read_count" -lt 400 ] || fail "$read_count pages read"
    [ "$(grep -c '"type":"page"' report.jsonl)" = "$read_count" ] || fail "the report lacks pages"
    grep -q '"interrupted":true' report.jsonl || fail "the report's summary is missing"
    ;;
patch)
    # Lines ended by CR LF, a last line without a newline, UTF-8, and pages left alone.
    mkdir -p site/sub
    printf '<p>one\r\n<p>two\r\n<div>x</div>\r\n<p>three<ul>\r\n<li>a\r\n</ul>' >site/crlf.htm
    printf 'a\nb\nc\nd\n<p>x<div>\ne\nf\ng\nh\ni\nj\nk\n<p>\xc3\xa9<h1>\n' >site/sub/two.htm
    printf '<p>done</p>\n' >site/done.htm
    printf '<p>no newline<table>' >site/sub/last.html
    cp -a site replaced
    "$batch" fix -q -r "${lists[@]}" replaced --in-place || fail "fix --in-place"
    "$batch" fix -q -r "${lists[@]}" site --diff >site.patch
    [ $? = 1 ] || fail "--diff with changes did not exit 1"
    cp -a site before
    out=$(patch -p1 <site.patch 2>&1) || fail "patch -p1 refused the diff: $out"
    diff -r site replaced >/dev/null || fail "the patched tree differs from --in-place: $(diff -r site replaced)"
    "$batch" fix -q -r "${lists[@]}" site --diff >again.patch
    [ $? = 0 ] && [ ! -s again.patch ] || fail "--diff after the patch: $(cat again.patch)"
    "$batch" fix -q -r "${lists[@]}" site --check || fail "--check after the patch did not exit 0"
    # The diff reverses too.
    patch -p1 -R <site.patch >/dev/null 2>&1 || fail "patch -R refused the diff"
    diff -r site before >/dev/null || fail "the reversed tree differs from the original"
    ;;
other-user)
    # Root reads everything: run as nobody over a tree that nobody may read but one page.
    command -v setpriv >/dev/null || skip "setpriv is missing"
    as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    chmod 755 "$work"
    "${as_nobody[@]}" "$batch" --version >/dev/null 2>&1 ||
        skip "the program cannot be run as nobody here (not root, or its folder is closed)"
    mkdir site
    for name in a b c; do printf '<p>%s<div>' "$name" >"site/$name.htm"; done
    chmod 600 site/b.htm
    chmod 777 site
    chmod 644 lists.db
    out=$(HOME="$work" "${as_nobody[@]}" "$batch" fix -r "${lists[@]}" site 2>&1)
    status=$?
    [ "$status" = 1 ] || fail "exit status $status with an unreadable page, expected 1"
    [[ "$out" == *"quillet-batch: site/b.htm: cannot read the page: Permission denied"* ]] ||
        fail "the unreadable page was not named with its reason: $out"
    [ "$(cat site/a.fix)" = '<p>a</p><div>' ] && [ "$(cat site/c.fix)" = '<p>c</p><div>' ] ||
        fail "the readable pages were not repaired: $out"
    [ -e site/b.fix ] && fail "an output was written for the unreadable page"
    [[ "$out" == *"3 pages read, 2 changed, 0 unchanged, 1 failed"* ]] || fail "summary: $out"
    ;;
parallel)
    # The README's recipe: the list of pages split among jobs by GNU parallel (here on this
    # machine alone), each job's report on its standard output.
    command -v parallel >/dev/null || skip "GNU parallel is not installed (Debian package parallel)"
    mkdir -p site/news site/docs
    for i in $(seq 1 40); do
        printf '<p>news %s<div>\n' "$i" >"site/news/n$i.htm"
        printf '<p>doc %s<ul>\n' "$i" >"site/docs/d$i.html"
    done
    find site -type f \( -name '*.htm' -o -name '*.html' \) -print0 |
        parallel -0 --pipe --recend '\0' -N 25 --wd . -j2 -S : \
            "$batch" fix "${lists[@]}" --files-from - -0 --in-place -q --report - >report.jsonl
    status=$?
    [ "$status" = 0 ] || fail "parallel ended with status $status"
    [ "$(grep -c '"type":"page"' report.jsonl)" = 80 ] || fail "the reports do not name 80 pages"
    [ "$(grep -c '"type":"summary"' report.jsonl)" -ge 2 ] || fail "the list was not split"
    [ "$(grep -l '</p>' site/*/* | wc -l)" = 80 ] || fail "not every page was repaired"
    [ "$(grep -c '"status":"changed"' report.jsonl)" = 80 ] || fail "the reports miss changes"
    ;;
*)
    echo "unknown check $check"
    exit 2
    ;;
esac
finish
