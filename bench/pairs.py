#!/usr/bin/env python3
"""Times one command, or two in interleaved pairs, as whole processes.

    bench/pairs.py --runner BUILD/bench/qv_run_once [-n RUNS] [--label TEXT] -- 'COMMAND A' ['COMMAND B']

Each command is one string split as a shell splits words, run without a shell by the small
starter qv_run_once (bench/run_once.cpp: it keeps the interpreter's own memory out of the
figures), its standard input, output and error on /dev/null. One warm-up run of each comes first and is not counted; then RUNS
runs (pairs with two commands: A B, then B A, by turns, so neither always runs on the other's
warm caches). The kernel's own accounting of each finished process (wait4) gives the CPU time
(user + system) and the peak resident memory; the wall time is taken by the starter around the
start and the reaping of the process. Printed for each figure: the median and the range (min-max) of the
runs, and with two commands the ratio A/B pair by pair, as median and range; never the best
run alone. The machine (cores, processor) and the load average before and after are printed
too, since a figure means little without them.
"""
import argparse
import os
import shlex
import shutil
import statistics
import subprocess
import sys


def machine():
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{os.cpu_count()} cores, {model}"


def load():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def run(runner, argv):
    """Runs argv once; returns (wall s, cpu s, peak MiB, exit status)."""
    done = subprocess.run([runner] + argv, stdout=subprocess.PIPE, check=True, text=True)
    wall, cpu, peak, status = done.stdout.split()
    return float(wall), float(cpu), int(peak) / 1024.0, int(status)


def spread(values, digits):
    fmt = f"{{:.{digits}f}}"
    return (f"{fmt.format(statistics.median(values))} "
            f"({fmt.format(min(values))}-{fmt.format(max(values))})")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runner", required=True, help="the starter qv_run_once")
    parser.add_argument("-n", type=int, default=15, help="counted runs or pairs (at least 11)")
    parser.add_argument("--label", default="", help="a title printed above the figures")
    parser.add_argument("commands", nargs="+", help="one or two commands")
    args = parser.parse_args()
    if args.n < 11:
        parser.error("fewer than 11 runs give no trustworthy median and range")
    if len(args.commands) > 2:
        parser.error("one or two commands")
    commands = []
    for text in args.commands:
        argv = shlex.split(text)
        path = shutil.which(argv[0])
        if path is None:
            parser.error(f"{argv[0]}: no such program")
        commands.append([path] + argv[1:])

    before = load()
    for argv in commands:  # warm-up: caches, page cache, lazy binding
        run(args.runner, argv)
    results = [[] for _ in commands]
    for i in range(args.n):
        order = range(len(commands)) if i % 2 == 0 else reversed(range(len(commands)))
        for k in order:
            results[k].append(run(args.runner, commands[k]))
    after = load()

    if args.label:
        print(f"## {args.label}")
    print(f"machine: {machine()}; load average (1, 5, 15 min) before {before}, after {after}")
    names = ["A", "B"]
    for k, text in enumerate(args.commands):
        failed = sum(1 for r in results[k] if r[3] != 0)
        note = f"  ({failed} runs exited non-zero)" if failed else ""
        print(f"{names[k]}: {text}{note}")
    print(f"{args.n} {'interleaved pairs' if len(commands) == 2 else 'runs'}; "
          "median (min-max)")
    header = "| figure | A |" + (" B | A/B |" if len(commands) == 2 else "")
    print(header)
    print("|---|---|" + ("---|---|" if len(commands) == 2 else ""))
    for name, index, digits in (("wall ms", 0, 2), ("cpu ms", 1, 2), ("peak MiB", 2, 1)):
        scale = 1000.0 if index < 2 else 1.0
        cells = [spread([r[index] * scale for r in results[k]], digits)
                 for k in range(len(commands))]
        if len(commands) == 2:
            ratios = [a[index] / b[index] if b[index] > 0 else float("inf")
                      for a, b in zip(results[0], results[1])]
            cells.append(spread(ratios, 2) + "x")
        print(f"| {name} | " + " | ".join(cells) + " |")
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
