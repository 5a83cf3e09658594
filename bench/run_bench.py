#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs Quillet's benchmarks and prints the results as Markdown for bench/README.md.

usage: run_bench.py BUILD_DIR [--runs N] [--skip-tidy] [--skip-engine] [--baseline QUILLET_BATCH] [--html5-only]
       run_bench.py BUILD_DIR --bytes-only [--runs N] [--baseline QUILLET_BATCH]
       run_bench.py BUILD_DIR --tree [--runs N] [--pages N] [--disk-pages N]

Generates 10, 50 and 100 MB old-style pages, runs the engine benchmarks, then times
whole programs on the 50 MB page: quillet-batch's three commands, the floor program
(read, widen, copy between "<", narrow, write) and tidy -q; and quillet-batch fix and the
floor on the same page in UTF-8 and in UTF-16LE (the floor decoding and encoding that
encoding); and, with --baseline, another build of
quillet-batch fix on the 50 MB page, for a before-and-after. Each program runs N times
(tidy once: it is slow), in rounds that run every program once, so that a change in the
machine's load falls on all of them alike; the median wall time and the largest peak
memory are reported.
Last, quillet-batch fix --html5 against the HTML5 parser alone on the same page, in turns,
and with --baseline that build's fix --html5 too (--html5-only runs just that).

The byte floor (bench/bytefloor: read the page, find every "<" with memchr, write it back in
one write to a temporary file in the output's folder, fsync, rename) against each repair of a
page in its own bytes: fix on the 50 MB page in Windows-1252 and in UTF-8, strip-newlines on
the fixed page, strip-spaces on the page, pages and outputs on a tmpfs (/dev/shm) so that no
disk's flush hides the work; in rounds that run each page's floor and then its repairs, the
output removed before each run; the medians of the times and of the ratios within a round,
and the peak memory (ru_maxrss) against the page (target: at most 1.25 x page + 16 MB). With
--baseline, that build's repairs run in the same rounds. --bytes-only runs just that.

--tree measures whole sites instead: a generated tree of --pages pages (5,000 by default) of
2 to 100 KB on a tmpfs (/dev/shm), where quillet-batch fix -r --output-dir with -j1 and -j2
and the tree floor (walk, read, memchr every "<", write through a temporary file with fsync
and rename) run in turns; the peak memory of -j1 and -j2, on that tree, on one four
times as large, and on 40 times as many pages of 10 bytes each; and on the real disk under bench/out/ (--disk-pages, 1,000 by default) the
floor with and without a flush per page against quillet-batch, which flushes its pages
with one sync of the file system per batch.
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import time


def run(cmd, cwd):
    """Wall seconds and peak resident memory (bytes) of one run of cmd."""
    os.sync()  # the previous run's output goes to disk now, not during this run
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_maxrss * 1024, proc.returncode


def run_sampled(cmd, cwd):
    """Wall seconds of one run of cmd, and the peak resident memory (bytes) of it and of
    each process it starts, sampled from /proc while they run."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peaks = {}
    while proc.poll() is None:
        pids = [proc.pid]
        try:
            for task in os.listdir(f"/proc/{proc.pid}/task"):
                with open(f"/proc/{proc.pid}/task/{task}/children") as children:
                    pids += [int(p) for p in children.read().split()]
        except OSError:
            pass
        for pid in pids:
            try:
                with open(f"/proc/{pid}/status") as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            peaks[pid] = max(peaks.get(pid, 0), int(line.split()[1]) * 1024)
            except OSError:
                pass
        time.sleep(0.005)
    wall = time.perf_counter() - start
    own = peaks.pop(proc.pid, 0)
    return wall, own, max(peaks.values(), default=0), proc.returncode


def html5_section(build, out, page50, runs, baseline=None):
    """quillet-batch fix --html5 and the parser alone, in turns on the 50 MB page; and the
    baseline build's fix --html5, when given."""
    batch = os.path.join(build, "src", "quillet-batch")
    parser = os.path.join(build, "bench", "html5parse")
    utf8 = os.path.join(out, "page50.utf8.htm")
    if not os.path.exists(utf8):
        with open(page50, "rb") as f:
            text = f.read().decode("cp1252")
        with open(utf8, "wb") as f:
            f.write(text.encode("utf-8"))
    result = os.path.join(out, "result.htm")
    fix, default, lean, base = [], [], [], []
    for _ in range(runs):
        for options, runs_of in (([], default), (["--lean"], lean)):
            proc = subprocess.Popen([parser, utf8] + options, stdout=subprocess.PIPE, text=True)
            seconds = proc.stdout.read()
            _, _, usage = os.wait4(proc.pid, 0)
            runs_of.append((float(seconds), usage.ru_maxrss * 1024))
        fix.append(run_sampled([batch, "fix", "--html5", page50, "-o", result], out))
        if baseline:
            base.append(run_sampled([baseline, "fix", "--html5", page50, "-o", result], out))
    parse_default = statistics.median(r[0] for r in default)
    parse_lean = statistics.median(r[0] for r in lean)
    wall = statistics.median(r[0] for r in fix)
    own = max(r[1] for r in fix)
    child = max(r[2] for r in fix)
    size = os.path.getsize(page50)
    print(f"## Fix File by HTML5 rules on the {size / 1e6:.0f} MB page "
          f"(median of {runs} runs, in turns)\n")
    print("| | time | peak memory |")
    print("|---|---|---|")
    print(f"| the parser alone, default options (parse only) | {parse_default:.3f} s | "
          f"{max(r[1] for r in default) / 1e6:.0f} MB |")
    print(f"| the parser alone, as Quillet calls it (parse only) | {parse_lean:.3f} s | "
          f"{max(r[1] for r in lean) / 1e6:.0f} MB |")
    print(f"| quillet-batch fix --html5 (whole run) | {wall:.3f} s | {own / 1e6:.0f} MB "
          f"+ parse process {child / 1e6:.0f} MB |")
    if base:
        print(f"| the same, baseline build | {statistics.median(r[0] for r in base):.3f} s | "
              f"{max(r[1] for r in base) / 1e6:.0f} MB + parse process "
              f"{max(r[2] for r in base) / 1e6:.0f} MB |")
    print(f"\nRatio fix --html5 / parser alone: {wall / parse_default:.2f} (default options), "
          f"{wall / parse_lean:.2f} (as Quillet calls it); target at most 1.5.\n")


def tree_runs(commands, cwd, runs):
    """Each command once per round, after its output folder is removed: the wall times,
    and, from one more run of each sampled from /proc, its peak memory (the resource
    usage of a child counts the memory of the process it was forked from)."""
    results = {name: [] for name, _, _ in commands}
    for _ in range(runs):
        for name, cmd, out in commands:
            shutil.rmtree(out, ignore_errors=True)
            os.sync()
            start = time.perf_counter()
            proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(proc.pid, 0)
            wall = time.perf_counter() - start
            if os.waitstatus_to_exitcode(status) != 0:
                raise SystemExit(f"{name} failed with status {status}")
            results[name].append((wall, usage.ru_utime + usage.ru_stime))
    peaks = {}
    for name, cmd, out in commands:
        shutil.rmtree(out, ignore_errors=True)
        peaks[name] = run_sampled(cmd, cwd)[1]
    return {name: (times, peaks[name]) for name, times in results.items()}


def median_time(results, name):
    return statistics.median(r[0] for r in results[name][0])


def median_cpu(results, name):
    return statistics.median(r[1] for r in results[name][0])


def round_ratio(results, top, bottom):
    """The median over the rounds of the ratio of two commands' times in the same round."""
    return statistics.median(a[0] / b[0] for a, b in zip(results[top][0], results[bottom][0]))


def tree_section(build, runs, pages, disk_pages):
    batch = os.path.join(build, "src", "quillet-batch")
    treegen = os.path.join(build, "bench", "treegen")
    floor = os.path.join(build, "bench", "treefloor")
    fast = "/dev/shm/quillet-bench-tree"

    def prepare(folder):
        """`folder` made afresh with word lists in it: the paths of the site and of the
        output in it, and the fix command from one to the other."""
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        lists = os.path.join(folder, "SkipList.db")
        subprocess.run([batch, "wordlists", "init", "--wordlists", lists], check=True,
                       capture_output=True)
        site, out = os.path.join(folder, "site"), os.path.join(folder, "out")
        return site, out, [batch, "fix", "-q", "-r", site, "--wordlists", lists,
                           "--output-dir", out]

    def generate(count, folder):
        made = subprocess.run([treegen, str(count), folder], check=True, capture_output=True,
                              text=True).stdout.split()
        return int(made[2]), int(made[5])  # total bytes, largest page

    site, out, fix = prepare(fast)
    total, largest = generate(pages, site)
    commands = [("floor", [floor, site, out], out),
                ("fix -j1", fix + ["-j1"], out),
                ("fix -j2", fix + ["-j2"], out)]
    results = tree_runs(commands, fast, runs)
    print(f"## A site of {pages} pages ({total / 1e6:.0f} MB, 2 to 100 KB, largest "
          f"{largest / 1e3:.0f} KB) on a tmpfs (median of {runs} rounds)\n")
    print("| program | wall time | processor time | pages/s | peak memory |")
    print("|---|---|---|---|---|")
    for name, _, _ in commands:
        wall = median_time(results, name)
        print(f"| {name} | {wall:.3f} s | {median_cpu(results, name):.3f} s | {pages / wall:.0f} | "
              f"{results[name][1] / 1e6:.1f} MB |")
    print(f"\nfix -j1 / floor: {round_ratio(results, 'fix -j1', 'floor'):.2f} (target at most 1.5); "
          f"fix -j1 / fix -j2: {round_ratio(results, 'fix -j1', 'fix -j2'):.2f} (target at "
          f"least 1.6).\n")
    for jobs in (1, 2):
        bound = jobs * 1.25 * largest + 32e6
        peak = results[f"fix -j{jobs}"][1]
        print(f"Peak memory of -j{jobs}: {peak / 1e6:.1f} MB; bound {jobs} × 1.25 × "
              f"{largest / 1e3:.0f} KB + 32 MB = {bound / 1e6:.1f} MB.")

    # The same on a tree four times as large: memory must not grow with the pages.
    shutil.rmtree(site)
    total, largest = generate(4 * pages, site)
    larger = tree_runs(commands[1:], fast, max(1, runs // 2))
    print(f"\nOn {4 * pages} pages ({total / 1e6:.0f} MB): peak memory "
          + ", ".join(f"{name} {larger[name][1] / 1e6:.1f} MB"
                      for name, _, _ in commands[1:]) + ".\n")
    # Many more pages, each of a few bytes: what each page costs the run beyond its text.
    shutil.rmtree(site)
    many = 40 * pages
    for number in range(many):
        folder = os.path.join(site, f"s{number // 5000}", f"t{number // 100 % 50}")
        if number % 100 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, f"page{number:07d}.htm"), "w") as page:
            page.write("<p>x<ul>\n")
    most = tree_runs(commands[1:], fast, 1)
    print(f"On {many} pages of 10 bytes: peak memory "
          + ", ".join(f"{name} {most[name][1] / 1e6:.1f} MB" for name, _, _ in commands[1:])
          + f"; bound 32 MB.\n")
    shutil.rmtree(fast)

    # A real disk: what a flush per page costs, and what one sync per batch of pages costs.
    disk = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out", "tree")
    site, out, fix = prepare(disk)
    total, largest = generate(disk_pages, site)
    commands = [("floor, a flush (fsync) per page", [floor, site, out], out),
                ("floor, no flush", [floor, site, out, "--no-sync"], out),
                ("fix -j1, one sync of the file system per batch", fix + ["-j1"], out)]
    results = tree_runs(commands, disk, runs)
    print(f"## {disk_pages} pages ({total / 1e6:.0f} MB) on the real disk (median of {runs} "
          f"rounds, each run after a sync)\n")
    print("| program | wall time | pages/s |")
    print("|---|---|---|")
    for name, _, _ in commands:
        wall = median_time(results, name)
        print(f"| {name} | {wall:.3f} s | {disk_pages / wall:.0f} |")
    print(f"\nA flush per page: {round_ratio(results, commands[0][0], commands[1][0]):.1f} × the "
          f"floor without flushing; quillet-batch with its batched sync: "
          f"{round_ratio(results, commands[2][0], commands[0][0]):.2f} × the floor that flushes "
          f"each page.\n")
    shutil.rmtree(disk)


def bytes_section(build, out, pages, runs, baseline=None):
    """Each repair of a page in its own bytes against the byte floor on the same page, in
    turns, on a tmpfs."""
    fast = "/dev/shm/quillet-bench-bytes"
    shutil.rmtree(fast, ignore_errors=True)
    os.makedirs(fast)
    try:
        batches = [("", os.path.join(build, "src", "quillet-batch"))]
        if baseline:
            batches.append((" (baseline)", baseline))
        floor = os.path.join(build, "bench", "bytefloor")
        lists = os.path.join(fast, "SkipList.db")
        subprocess.run([batches[0][1], "wordlists", "init", "--wordlists", lists], check=True,
                       capture_output=True)
        copies = {}
        for name in ("page", "utf8", "fixed"):
            copies[name] = os.path.join(fast, f"{name}.htm")
            shutil.copyfile(pages[name], copies[name])
        result = os.path.join(fast, "out.htm")
        # Per page: its floor, then the repairs measured against it.
        plan = [
            ("page", f"Windows-1252 page ({os.path.getsize(copies['page']) / 1e6:.0f} MB)",
             [(f"fix{suffix}", [batch, "fix", "--wordlists", lists, copies["page"], "-o", result])
              for suffix, batch in batches] +
             [(f"strip-spaces{suffix}", [batch, "strip-spaces", copies["page"], "-o", result])
              for suffix, batch in batches]),
            ("utf8", f"the same page in UTF-8 ({os.path.getsize(copies['utf8']) / 1e6:.0f} MB)",
             [(f"fix{suffix}", [batch, "fix", "--wordlists", lists, copies["utf8"], "-o", result])
              for suffix, batch in batches]),
            ("fixed", f"the fixed page ({os.path.getsize(copies['fixed']) / 1e6:.0f} MB)",
             [(f"strip-newlines{suffix}",
               [batch, "strip-newlines", copies["fixed"], "-o", result])
              for suffix, batch in batches]),
        ]
        times = {}
        peaks = {}

        def once(key, cmd):
            if os.path.exists(result):
                os.remove(result)
            start = time.perf_counter()
            proc = subprocess.Popen(cmd, cwd=fast, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(proc.pid, 0)
            wall = time.perf_counter() - start
            if os.waitstatus_to_exitcode(status) != 0:
                raise SystemExit(f"{' '.join(cmd)} failed with status {status}")
            times.setdefault(key, []).append(wall)
            peaks[key] = max(peaks.get(key, 0), usage.ru_maxrss * 1024)

        for _ in range(runs):
            for page, _, repairs in plan:
                once((page, "floor"), [floor, copies[page], result])
                for name, cmd in repairs:
                    once((page, name), cmd)

        print(f"## Each repair against the byte floor on the same page (tmpfs, median of {runs} "
              f"rounds, in turns)\n")
        print("| page | program | wall time | x floor (median of the rounds' ratios) | "
              "peak memory | bound 1.25 x page + 16 MB |")
        print("|---|---|---|---|---|---|")
        for page, label, repairs in plan:
            size = os.path.getsize(copies[page])
            floor_times = times[(page, "floor")]
            print(f"| {label} | bytefloor | {statistics.median(floor_times):.3f} s | 1.00 | "
                  f"{peaks[(page, 'floor')] / 1e6:.0f} MB ({peaks[(page, 'floor')] / size:.2f} x) | |")
            for name, _ in repairs:
                mine = times[(page, name)]
                ratio = statistics.median(a / b for a, b in zip(mine, floor_times))
                peak = peaks[(page, name)]
                bound = 1.25 * size + 16e6
                print(f"| | {name} | {statistics.median(mine):.3f} s | **{ratio:.2f}** | "
                      f"{peak / 1e6:.0f} MB ({peak / size:.2f} x) | {bound / 1e6:.0f} MB |")
        print()
    finally:
        shutil.rmtree(fast, ignore_errors=True)


def measure(cmd, cwd, runs):
    results = [run(cmd, cwd) for _ in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results), results[0][2]


def main():
    args = sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    build = os.path.abspath(args[0])
    runs = int(args[args.index("--runs") + 1]) if "--runs" in args else 5
    skip_tidy = "--skip-tidy" in args
    skip_engine = "--skip-engine" in args
    baseline = os.path.abspath(args[args.index("--baseline") + 1]) if "--baseline" in args else None
    html5_only = "--html5-only" in args
    if "--tree" in args:
        pages = int(args[args.index("--pages") + 1]) if "--pages" in args else 5000
        disk_pages = int(args[args.index("--disk-pages") + 1]) if "--disk-pages" in args else 1000
        tree_section(build, runs, pages, disk_pages)
        return 0
    batch = os.path.join(build, "src", "quillet-batch")
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")
    os.makedirs(out, exist_ok=True)

    pages = {}
    for mb in (10, 50, 100):
        pages[mb] = os.path.join(out, f"page{mb}.htm")
        if not os.path.exists(pages[mb]):
            subprocess.run([os.path.join(build, "bench", "pagegen"), str(mb), pages[mb]], check=True)
    if not os.path.exists(os.path.join(out, "SkipList.db")):
        subprocess.run([batch, "wordlists", "init"], cwd=out, check=True, capture_output=True)
    # The same 50 MB page in UTF-8 and in UTF-16LE with its byte-order mark, converted in a
    # child process: a child forked from a large process would count its memory as its own.
    for name, codec, mark in (("utf8", "utf-8", ""), ("utf16", "utf-16-le", "\\xff\\xfe")):
        pages[name] = os.path.join(out, f"page50.{name}.htm")
        if not os.path.exists(pages[name]):
            convert = (f"import sys; data = open(sys.argv[1], 'rb').read().decode('latin-1'); "
                       f"open(sys.argv[2], 'wb').write(b'{mark}' + data.encode('{codec}'))")
            subprocess.run([sys.executable, "-c", convert, pages[50], pages[name]], check=True)
    if html5_only:
        html5_section(build, out, pages[50], runs, baseline)
        return 0
    fixed50 = os.path.join(out, "page50.fixed.htm")
    subprocess.run([batch, "fix", pages[50], "-o", fixed50], cwd=out, check=True, capture_output=True)
    byte_pages = {"page": pages[50], "utf8": pages["utf8"], "fixed": fixed50}
    if "--bytes-only" in args:
        bytes_section(build, out, byte_pages, runs, baseline)
        return 0

    if not skip_engine:
        engine_report(build, out)
    bytes_section(build, out, byte_pages, runs, baseline)
    end_to_end(build, out, pages, batch, fixed50, runs, skip_tidy, baseline)
    return 0


def engine_report(build, out):
    print("## Engine (Google Benchmark, default lists in SQLite)\n")
    engine = subprocess.run([os.path.join(build, "bench", "engine_bench"), "--benchmark_format=json"],
                            cwd=out, check=True, capture_output=True, text=True)
    report = json.loads(engine.stdout)
    print("| benchmark | time per run | throughput |")
    print("|---|---|---|")
    for b in report["benchmarks"]:
        rate = b.get("bytes_per_second")
        unit = b["time_unit"]
        print(f"| {b['name']} | {b['real_time']:.2f} {unit} | "
              f"{rate / 1e6:.0f} MB/s |" if rate else f"| {b['name']} | {b['real_time']:.2f} {unit} | |")
    print()


def end_to_end(build, out, pages, batch, fixed50, runs, skip_tidy, baseline):
    size50 = os.path.getsize(pages[50])
    rows = []
    out_file = os.path.join(out, "result.htm")
    commands = [
        ("quillet-batch fix", [batch, "fix", pages[50], "-o", out_file], pages[50]),
        ("quillet-batch strip-newlines (on the fixed page)",
         [batch, "strip-newlines", fixed50, "-o", out_file], fixed50),
        ("quillet-batch strip-spaces", [batch, "strip-spaces", pages[50], "-o", out_file], pages[50]),
        ("floor", [os.path.join(build, "bench", "floor"), pages[50], out_file], pages[50]),
        ("quillet-batch fix, UTF-8 page", [batch, "fix", pages["utf8"], "-o", out_file],
         pages["utf8"]),
        ("floor, UTF-8 page", [os.path.join(build, "bench", "floor"), pages["utf8"], out_file,
                               "UTF-8"], pages["utf8"]),
        ("quillet-batch fix, UTF-16LE page", [batch, "fix", pages["utf16"], "-o", out_file],
         pages["utf16"]),
        ("floor, UTF-16LE page", [os.path.join(build, "bench", "floor"), pages["utf16"],
                                  out_file, "UTF-16LE"], pages["utf16"]),
    ]
    if baseline:
        commands.insert(1, ("quillet-batch fix (baseline build)",
                            [baseline, "fix", pages[50], "-o", out_file], pages[50]))
    if not skip_tidy and shutil.which("tidy"):
        commands.append(("tidy -q", ["tidy", "-q", "-o", out_file, pages[50]], pages[50]))
    results = {name: [] for name, _, _ in commands}
    for round_ in range(runs):
        for name, cmd, _ in commands:
            if round_ == 0 or not name.startswith("tidy"):
                results[name].append(run(cmd, out))
    for name, _, page in commands:
        wall = statistics.median(r[0] for r in results[name])
        peak = max(r[1] for r in results[name])
        rows.append((name, wall, peak, os.path.getsize(page)))

    floors = {r[0]: r[1] for r in rows if r[0].startswith("floor")}
    floor = floors["floor"]
    print(f"## End to end on a {size50 / 1e6:.0f} MB page (median of {runs} runs; tidy: one run)\n")
    print("| program | wall time | MB/s | × floor | peak memory | × input size |")
    print("|---|---|---|---|---|---|")
    for name, wall, peak, size in rows:
        # Each page's own floor: the floor program on the same file.
        suffix = name[name.index(","):] if name.startswith("quillet-batch fix,") else ""
        own_floor = floors.get("floor" + suffix, floor)
        print(f"| {name} | {wall:.3f} s | {size / wall / 1e6:.0f} | {wall / own_floor:.2f} | "
              f"{peak / 1e6:.0f} MB | {peak / size:.2f} |")
    print()
    fix = next(r[1] for r in rows if r[0] == "quillet-batch fix")
    tidy = [r[1] for r in rows if r[0] == "tidy -q"]
    if tidy:
        print(f"quillet-batch fix is {tidy[0] / fix:.0f} times faster than tidy -q.\n")

    print("## Linearity: quillet-batch fix on 10 MB and 100 MB\n")
    small = measure([batch, "fix", pages[10], "-o", out_file], out, runs)[0]
    large = measure([batch, "fix", pages[100], "-o", out_file], out, runs)[0]
    print(f"10 MB: {small:.3f} s; 100 MB: {large:.3f} s; ratio {large / small:.1f} (linear: 10)\n")

    html5_section(build, out, pages[50], runs, baseline)
    return 0


if __name__ == "__main__":
    sys.exit(main())
