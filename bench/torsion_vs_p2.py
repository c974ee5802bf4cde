#!/usr/bin/env python3
"""Time to 1e-3 in the torsion constant J: our cells against P2 finite elements, in interleaved
pairs on one machine.

    /usr/bin/python3 bench/torsion_vs_p2.py --bench BUILD/bench/qv_bench [-n PAIRS]

Each side is timed inside its own process, from the exact shape to the solved J, without the
start of the process:
  ours  qv_bench's BM_TorsionIpe300DxfOneMm and BM_TorsionCompositeDxf/3, on one thread as P2
        runs and on one per core (the tool's own way): the drawing read, laid
        on cells of 1 mm (the I) and 3 mm (the composite), analysed, and its torsion, shear
        centre, warping constant and shear areas solved with the error estimate's two coarser
        solves (the mean of as many runs as fit in half a second);
  P2    tools/p2_reference.py on its 5 mm (the I) and 20 mm (the composite, graded) mesh:
        meshing and solving (J, shear centre, Iw), single-threaded, one run.
These are the coarsest sizes at which each reaches 1e-3 of the converged J (the convergence
tables, tools/convergence_tables.py). Pairs alternate which side runs first. Printed per section:
each side's median and range, and the ratios ours / P2 pair by pair as median and range, with
the load average before and after. Needs python3-gmsh and python3-scipy
(tools/install_deps.sh --reference).
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Our benchmark on one thread (as P2 runs) and on one per core, P2's shape and mesh size.
CASES = (("IPE 300", "^BM_TorsionIpe300DxfOneMm/1$", "^BM_TorsionIpe300DxfOneMm/0$", "ipe300",
          "5"),
         ("composite", "^BM_TorsionCompositeDxf/3/1$", "^BM_TorsionCompositeDxf/3/0$",
          "composite", "20"))


def ours(bench, pattern):
    out = subprocess.run([bench, f"--benchmark_filter={pattern}", "--benchmark_format=json",
                          "--benchmark_min_time=0.5"], check=True, capture_output=True, text=True)
    runs = json.loads(out.stdout)["benchmarks"]
    if len(runs) != 1:
        raise SystemExit(f"{pattern}: expected one benchmark, got {len(runs)}")
    unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[runs[0]["time_unit"]]
    return runs[0]["real_time"] * unit


def p2(shape, size, work):
    out = work / "p2.json"
    subprocess.run([sys.executable, str(ROOT / "tools" / "p2_reference.py"), "--shape", shape,
                    "--sizes", size, "--repeat", "1", "--json", str(out)], check=True,
                   stdout=subprocess.DEVNULL)
    return json.loads(out.read_text())["shapes"][shape]["rows"][0]["total_s"]


def spread(values, scale=1.0, digits=1):
    return (f"{statistics.median(values) * scale:.{digits}f} "
            f"({min(values) * scale:.{digits}f}-{max(values) * scale:.{digits}f})")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bench", required=True, help="the benchmark program qv_bench")
    parser.add_argument("-n", type=int, default=11, help="pairs per section (at least 3)")
    args = parser.parse_args(argv)
    if args.n < 3:
        parser.error("-n must be at least 3")
    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        for title, single, cores, shape, size in CASES:
            one, every, theirs = [], [], []
            for k in range(args.n):
                if k % 2 == 0:
                    one.append(ours(args.bench, single))
                    every.append(ours(args.bench, cores))
                    theirs.append(p2(shape, size, work))
                else:
                    theirs.append(p2(shape, size, work))
                    every.append(ours(args.bench, cores))
                    one.append(ours(args.bench, single))
            print(f"{title} ({args.n} pairs): P2 {spread(theirs, 1000)} ms")
            for name, mine in (("one thread", one), (f"{os.cpu_count()} threads", every)):
                ratios = [a / b for a, b in zip(mine, theirs)]
                print(f"  ours on {name}: {spread(mine, 1000)} ms, ours / P2 "
                      f"{spread(ratios, 1, 2)}")
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
