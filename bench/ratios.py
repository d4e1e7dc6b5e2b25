#!/usr/bin/env python3
"""Pairs qxbase benchmarks with their standard library counterparts and prints
ours/theirs time ratios.

Benchmark names have the form <operation>/<element>/<qx|std>/<args>; a "qx"
result is paired with the "std" result of the same name. Below 1.00 means
qxbase is faster. Where there is no "std" side, the other pairs of sides in
PAIRS are tried in order ("qx" against "icu" or "int", "cached" against
"convert", "qx" against "absl" where abseil is the only competitor,
"disabled" against "enabled", "qx" against "uriparser", "qx" against "tbb",
"qx" against "stb" and "qx" against "vector_bool");
each kind of pair gets its own table. A third competitor of the same name
(side "absl", "xxh3", "fmt", "ofstream", "call", "asio", "gather", "tbb" or
"bitset", see OTHERS) adds a qx/<side> column, which may have a target of its own
(OTHER_TARGETS). Rows named in REAL_TIME, and names ending in /real_time, compare
wall-clock time whatever --metric says. Where the results carry a throughput
(SetBytesProcessed), a "qx GB/s" column shows ours (10^9 bytes per second).
Where both sides report a "fill" counter (rectangle packing: the rectangles'
area over the area enclosing them), a column per side shows it, and
FILL_TARGETS asks ours to be at least theirs.

Either run the benchmark executable, several times if asked, or read JSON
files it wrote with --benchmark_out=FILE. Arguments after "--" go to the
executable; without them it runs with DEFAULT_BENCH_ARGS below.

    bench/ratios.py build/linux-release/bin/qxbase_bench
    bench/ratios.py --runs 5 --markdown build/linux-release/bin/qxbase_bench -- \
        --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
    bench/ratios.py a.json b.json

Within a run, each side's time is the median of its repetitions (the median
aggregate where a file holds only aggregates). Runs are separate processes,
because on a noisy machine a whole process can land fast or slow: the ratio
shown is the median of the per-run ratios, the times are medians over all
runs, and with more than one run the "runs" column gives the lowest and
highest per-run ratio.

Exit status: 0 when every pair with a target meets it, 1 otherwise.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

OURS = "qx"
THEIRS = "std"
# The pairs of sides compared, (ours, theirs); the first found for a name wins.
PAIRS = [(OURS, THEIRS), (OURS, "icu"), (OURS, "int"), ("cached", "convert"), (OURS, "absl"),
         ("disabled", "enabled"), (OURS, "uriparser"), (OURS, "tbb"), (OURS, "stb"),
         (OURS, "vector_bool")]
# Further competitors, each reported as an extra qx/<side> column.
OTHERS = ["absl", "xxh3", "fmt", "ofstream", "call", "asio", "gather", "tbb", "stb", "bitset"]

# Benchmarks compared by wall-clock time whatever --metric says: their work
# is split between threads that mostly wait for each other, so the calling
# thread's CPU time tells little.
REAL_TIME = ["tcp_", "registry_write/"]

# What the executable is run with when no arguments follow "--".
DEFAULT_BENCH_ARGS = [
    "--benchmark_repetitions=5",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_min_time=0.1",
]

# Time unit of a benchmark result -> nanoseconds.
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

# Ratio targets: (name prefix, limit, strict). A pair meets its target when
# ratio <= limit (ratio < limit when strict). Pairs matching no prefix have
# no target.
TARGETS = [
    ("push_back/int/", 1.10, False),
    ("push_back/ptr/", 1.10, False),
    ("push_back/owned/", 1.00, True),
    ("push_back_moved/owned/", 1.00, True),
    ("insert_", 1.10, False),
    ("erase_", 1.10, False),
    ("map_", 1.00, False),
    ("alloc_", 0.33, False),
    ("utf8_to_utf16", 1.00, False),
    ("utf16_to_utf8", 1.00, False),
    ("as_char/", 0.25, False),
    ("as_utf8/", 0.25, False),
    ("append_", 1.20, False),
    ("compare/", 1.20, False),
    ("equal_op/", 1.20, False),
    ("snprintf/", 1.20, False),
    ("ostream_file/", 1.20, False),
    ("path_", 1.00, False),
    ("tree_", 1.00, False),
    ("list_push_back/", 1.10, False),
    ("list_sort/", 1.10, False),
    ("intern_hit/", 1.50, False),
    ("handle_equal/", 0.50, False),
    # Throughput of at least 0.9x: time at most 1/0.9 of theirs.
    ("file_copy/", 1.0 / 0.9, False),
    ("dir_walk/", 1.50, False),
    ("stopwatch/", 1.20, False),
    # A switched-off debug channel against one that reaches a closed stream.
    ("channel_print/", 0.05, False),
    ("signal_emit/int/10", 1.30, False),
    ("signal_emit_lambda/int/10", 1.30, False),
    # A cache hit (lookup and move to the front) against a hash lookup.
    ("cache_find_hit/", 2.00, False),
    # A new UUID and its text read back, against getrandom, snprintf and sscanf.
    ("uuid_roundtrip/", 1.50, False),
    # Reading a file through a mapping: at least 0.9x the throughput of read().
    ("memmap_read/", 1.11, False),
    # Moveable chunks of 100 bytes against malloc and free.
    ("chunk_alloc_free/", 3.00, False),
    # Starting /bin/true and waiting, against posix_spawn and waitpid.
    ("start_sync/", 1.20, False),
    # Replacing a file safely against rewriting it in place, both durable.
    ("protected_write/", 1.50, False),
    # 1,000 typical URLs and paths against uriparser.
    ("url_parse/", 1.00, False),
    # Framed ping-pong on loopback against the same calls made by hand, and
    # streaming at no less than 0.9x their throughput.
    ("tcp_pingpong/", 1.10, False),
    ("tcp_stream/", 1.0 / 0.9, False),
    # Two threads against std::sort on one; a chunk hand-out against
    # tbb::parallel_for with as many threads.
    ("smp_sort/indices/", 0.65, False),
    ("chunk_alg/empty/", 2.00, False),
    # 32-byte objects from the fixed-size allocator against malloc and free.
    ("fsalloc_", 0.33, False),
    # Bit fields against std::vector<bool> (and std::bitset, below).
    ("bits_", 1.00, False),
    # A registry value read from a key of 10,000 values against a std::map
    # lookup on the same data.
    ("registry_read/", 3.00, False),
]

# Fill targets: name prefixes whose "fill" counter must be at least theirs.
FILL_TARGETS = ["pack/"]

# Targets on an extra column: (name prefix, side of OTHERS, limit); met when
# the qx/<side> ratio <= limit.
OTHER_TARGETS = [
    ("smp_sort/indices/", "tbb", 1.20),
    ("bits_", "bitset", 1.00),
]

# Difference targets: (name prefix, most nanoseconds ours may take beyond
# theirs), for rows too short for a ratio to mean anything.
DIFFERENCE_TARGETS = [
    ("signal_emit/int/0", 2.0),
    # Mapping and unmapping a chunk of a cached region, beyond a plain store.
    ("chunk_map/", 20.0),
]

# Throughput targets: (name prefix, least bytes per second of ours).
THROUGHPUT_TARGETS = [
    ("buffer_hash/bytes/1048576", 1.5e9),
    ("utf8_to_utf16/ascii/", 1e9),
    ("utf8_to_utf16_ok/ascii/", 1e9),
    ("utf16_to_utf8/ascii/", 1e9),
    ("utf16_to_utf8_ok/ascii/", 1e9),
    # Linear splitting: 10 MB at no less than a third of the 1 MB speed.
    ("split_lines/csv/10485760", 0.2e9),
    ("split_fields/csv/10485760", 0.08e9),
]

SIDES = list(dict.fromkeys([side for pair in PAIRS for side in pair] + OTHERS))


def split_name(name):
    """Returns (key, side) for '<op>/<element>/<side>/<args>', else None."""
    parts = name.split("/")
    # From the right: the side follows the element, which may itself be
    # spelt like a side ("int").
    for i in reversed(range(len(parts))):
        part = parts[i]
        if part in SIDES:
            return "/".join(parts[:i] + parts[i + 1:]), part
    return None


def samples(benchmarks, metric):
    """Maps each run name to its list of times in ns, in registration order
    (also when repetitions were interleaved at random). Plain runs are used;
    a name that has only aggregates contributes its median. The
    "bytes_per_second" values go to a second map under the key (name,
    "bytes_per_second"). Benchmarks measured in wall-clock time (UseRealTime,
    names ending in /real_time: work on several threads) always give their
    real_time, whatever metric says."""
    runs = {}
    medians = {}
    order = lambda b: (b.get("family_index", 0), b.get("per_family_instance_index", 0))
    for b in sorted(benchmarks, key=order):
        if b.get("error_occurred"):
            continue
        name = b.get("run_name", b["name"])
        field = ("real_time" if name.endswith("/real_time")
                 or any(name.startswith(p) for p in REAL_TIME) else metric)
        ns = float(b[field]) * UNIT_NS[b.get("time_unit", "ns")]
        counters = {c: b.get(c) for c in ("bytes_per_second", "fill")}
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = ns
                for c, v in counters.items():
                    if v is not None:
                        medians[(name, c)] = float(v)
        else:
            runs.setdefault(name, []).append(ns)
            for c, v in counters.items():
                if v is not None:
                    runs.setdefault((name, c), []).append(float(v))
    names = list(dict.fromkeys(list(runs) + list(medians)))
    return {name: runs.get(name) or [medians[name]] for name in names}


def pair_up(per_run):
    """per_run: one {name: [ns]} per run. Returns ([(key, ours_ns, theirs_ns,
    ratio, [per-run ratio], extra, (ours side, theirs side))], unpaired keys),
    keys in first-seen order; the sides are the first of PAIRS found for the key.
    The times pool every run; the ratio is the median of the per-run ratios, as
    a run that lands slow is slow on both sides. extra maps each of OTHERS
    present to its ratio computed the same way, and "bytes_per_second" to the
    median throughput of ours, when there is one."""
    pooled = {}
    for times in per_run:
        for name, values in times.items():
            pooled.setdefault(name, []).extend(values)
    keys = []
    for name in pooled:
        if isinstance(name, tuple):
            continue
        split = split_name(name)
        if split and split[0] not in keys:
            keys.append(split[0])

    def name_of(key, side):
        for name in pooled:
            if not isinstance(name, tuple) and split_name(name) == (key, side):
                return name
        return None

    def run_ratio(a, b):
        per = [statistics.median(t[a]) / statistics.median(t[b])
               for t in per_run if a in t and b in t]
        return statistics.median(per), per

    pairs = []
    unpaired = []
    for key in keys:
        sides = next((pair for pair in PAIRS
                      if name_of(key, pair[0]) is not None
                      and name_of(key, pair[1]) is not None), None)
        if sides is None:
            unpaired.append(key)
            continue
        ours, theirs = name_of(key, sides[0]), name_of(key, sides[1])
        ratio, per = run_ratio(ours, theirs)
        extra = {}
        for side in OTHERS:
            other = name_of(key, side)
            if other is not None and side not in sides:
                extra[side] = run_ratio(ours, other)[0]
        if (ours, "bytes_per_second") in pooled:
            extra["bytes_per_second"] = statistics.median(pooled[(ours, "bytes_per_second")])
        if (ours, "fill") in pooled and (theirs, "fill") in pooled:
            extra["fill"] = (statistics.median(pooled[(ours, "fill")]),
                             statistics.median(pooled[(theirs, "fill")]))
        pairs.append((key, statistics.median(pooled[ours]), statistics.median(pooled[theirs]),
                      ratio, per, extra, sides))
    return pairs, unpaired


def verdict(key, ratio, rate=None, ours=None, theirs=None, extra=None):
    found = []
    for prefix, limit, strict in TARGETS:
        if key.startswith(prefix):
            ok = ratio < limit if strict else ratio <= limit
            found.append(("ok" if ok else "MISSED") + " (%s %.2f)" % ("<" if strict else "<=", limit))
            break
    for prefix, side, limit in OTHER_TARGETS:
        if key.startswith(prefix) and extra and side in extra:
            ok = extra[side] <= limit
            found.append(("ok" if ok else "MISSED") + " (qx/%s <= %.2f)" % (side, limit))
    for prefix in FILL_TARGETS:
        if key.startswith(prefix) and extra and "fill" in extra:
            ok = extra["fill"][0] >= extra["fill"][1]
            found.append(("ok" if ok else "MISSED") + " (fill >= theirs)")
    for prefix, least in THROUGHPUT_TARGETS:
        if key.startswith(prefix):
            ok = rate is not None and rate >= least
            found.append(("ok" if ok else "MISSED") + " (>= %.3g GB/s)" % (least / 1e9))
            break
    for prefix, most in DIFFERENCE_TARGETS:
        if key.startswith(prefix) and ours is not None:
            ok = ours - theirs <= most
            found.append(("ok" if ok else "MISSED") + " (%+.2g ns, <= +%.3g)" % (ours - theirs, most))
            break
    return ", ".join(found)


def fmt_ns(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return "%.3g %s" % (ns / scale, unit)
    return "%.3g ns" % ns


def fmt_ratio(ratio):
    """Two decimals; below 0.01 (a cache hit against a conversion) "1/N",
    N to two significant digits, rather than 0.00."""
    if ratio >= 0.01 or ratio <= 0:
        return "%.2f" % ratio
    return "1/%d" % int(float("%.2g" % (1 / ratio)))


def print_tables(pairs, markdown, out=sys.stdout):
    """One table per kind of pair, in first-seen order, a blank line between."""
    kinds = list(dict.fromkeys(pair[6] for pair in pairs))
    for i, sides in enumerate(kinds):
        if i:
            out.write("\n")
        print_table([pair for pair in pairs if pair[6] == sides], markdown, out)


def print_table(pairs, markdown, out=sys.stdout):
    ours_side, theirs_side = pairs[0][6]
    show_runs = any(len(pair[4]) > 1 for pair in pairs)
    others = [side for side in OTHERS if any(side in pair[5] for pair in pairs)]
    show_rate = any("bytes_per_second" in pair[5] for pair in pairs)
    show_fill = any("fill" in pair[5] for pair in pairs)
    header = ["benchmark", ours_side, theirs_side, "%s/%s" % (ours_side, theirs_side)]
    align = ["---", "---:", "---:", "---:"]
    if show_runs:
        header.append("runs")
        align.append("---:")
    for side in others:
        header.append("%s/%s" % (ours_side, side))
        align.append("---:")
    if show_rate:
        header.append("%s GB/s" % ours_side)
        align.append("---:")
    if show_fill:
        header += ["%s fill" % ours_side, "%s fill" % theirs_side]
        align += ["---:", "---:"]
    header.append("target")
    align.append("---")
    rows = []
    for key, ours, theirs, ratio, per, extra, _ in pairs:
        row = [key, fmt_ns(ours), fmt_ns(theirs), fmt_ratio(ratio)]
        if show_runs:
            row.append("%s-%s" % (fmt_ratio(min(per)), fmt_ratio(max(per))))
        for side in others:
            row.append(fmt_ratio(extra[side]) if side in extra else "")
        if show_rate:
            rate = extra.get("bytes_per_second")
            row.append("%.2f" % (rate / 1e9) if rate is not None else "")
        if show_fill:
            fill = extra.get("fill")
            row += ["%.3f" % fill[0], "%.3f" % fill[1]] if fill else ["", ""]
        row.append(verdict(key, ratio, extra.get("bytes_per_second"), ours, theirs, extra))
        rows.append(row)
    if markdown:
        out.write("| " + " | ".join(header) + " |\n")
        out.write("|" + "|".join(align) + "|\n")
        for row in rows:
            out.write("| " + " | ".join(row) + " |\n")
        return
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        cells = [row[0].ljust(widths[0])]
        cells += [c.rjust(w) for c, w in zip(row[1:-1], widths[1:-1])]
        out.write("  ".join(cells + [row[-1]]).rstrip() + "\n")


def run_benchmark(exe, extra):
    fd, path = tempfile.mkstemp(suffix=".json")
    os.close(fd)
    try:
        cmd = [exe, "--benchmark_out=" + path, "--benchmark_out_format=json"] + extra
        subprocess.run(cmd, check=True, stdout=sys.stderr)
        with open(path) as f:
            return json.load(f)
    finally:
        os.unlink(path)


def main():
    argv = sys.argv[1:]
    extra = None
    if "--" in argv:
        extra = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]

    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        usage="%(prog)s [options] (EXE | FILE.json...) [-- benchmark arguments]")
    parser.add_argument("inputs", nargs="+", metavar="EXE|FILE.json",
                        help="benchmark executable to run, or JSON files to read")
    parser.add_argument("--runs", type=int, default=1, help="how many times to run EXE")
    parser.add_argument("--save", metavar="PREFIX",
                        help="also keep each run's JSON as PREFIX<i>.json")
    parser.add_argument("--metric", choices=("cpu_time", "real_time"), default="cpu_time",
                        help="which time to compare (default: cpu_time)")
    parser.add_argument("--markdown", action="store_true", help="print a Markdown table")
    args = parser.parse_args(argv)

    data = []
    if all(path.endswith(".json") for path in args.inputs):
        for path in args.inputs:
            with open(path) as f:
                data.append(json.load(f))
    elif len(args.inputs) == 1:
        bench_args = DEFAULT_BENCH_ARGS if extra is None else extra
        for i in range(args.runs):
            sys.stderr.write("run %d of %d\n" % (i + 1, args.runs))
            data.append(run_benchmark(args.inputs[0], bench_args))
            if args.save:
                with open("%s%d.json" % (args.save, i + 1), "w") as f:
                    json.dump(data[-1], f, indent=1)
    else:
        parser.error("give one executable or only .json files")

    per_run = [samples(d.get("benchmarks", []), args.metric) for d in data]
    pairs, unpaired = pair_up(per_run)
    if not pairs:
        sys.exit("no pairs found")
    print_tables(pairs, args.markdown)
    sys.stdout.flush()
    for key in unpaired:
        sys.stderr.write("unpaired: %s\n" % key)
    ctx = data[0].get("context", {})
    sys.stderr.write("# %d run(s), first %s, %s CPUs @ %s MHz, %s, malloc %s\n" % (
        len(data), ctx.get("date", "?"), ctx.get("num_cpus", "?"), ctx.get("mhz_per_cpu", "?"),
        args.metric, ctx.get("malloc", "?")))
    sys.exit(1 if any("MISSED" in verdict(key, ratio, extra.get("bytes_per_second"), ours, theirs,
                                          extra)
                      for key, ours, theirs, ratio, _, extra, _ in pairs) else 0)


if __name__ == "__main__":
    main()
