#!/usr/bin/env python3
"""Convergence of the torsion constant J and the warping constant Iw with the pixel size, for the
rolled I (IPE 300) and the composite (a concrete slab 1000 x 150 on it), read three ways: a flat
picture (each pixel one colour, its staircase the section's edge), a smoothed picture read as
coverage (each pixel the mean of 8 x 8 points, as a paint program draws with smoothing), and the
drawing's outlines (examples/ipe300.dxf, examples/composite.svg, on cells of the pixel size).
Errors are against the converged P2 finite-element values of tools/p2_reference.py, and the time
to reach 1e-3 in J is set against the P2 meshes' in the same run.

Development only: needs numpy, and for the P2 timings python3-gmsh and python3-scipy
(`tools/install_deps.sh --reference`). Run from the source tree with a built batch tool:

    /usr/bin/python3 tools/convergence_tables.py --cli build/src/cli/quorvane-cli [--no-p2]
                                                 [--repeat 3] [--out tables.md]

It prints markdown tables (README and manual carry them). Times are wall clock, the median of
--repeat runs of the whole batch tool (reading the file, the analysis, the torsion solves with
their error estimate) against P2's meshing and solving alone (no start-up of Python or gmsh).
"""

import argparse
import json
import math
import os
import pathlib
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
G_STEEL = 210000 / 2.6
# Converged P2 values (tools/p2_reference.py, Richardson over 5, 2.5, 1.25 mm meshes).
CONVERGED = {
    "ipe300": {"j": 197529.854, "eiw": 2.60938695e16},
    "composite": {"j": 178454157.0, "eiw": 7.83371946e17},
}
LIBRARY = "[properties]\nn=2\n1=1@clRed@steel@210000@7850\n2=2@clGray@concrete@33000@2500\n"
RED = (255, 0, 0)
GRAY = (128, 128, 128)
WHITE = (255, 255, 255)


def ipe(u, v):
    """Inside the I centred on (0, 0) (h 300, b 150, tw 7.1, tf 10.7, r 15); u, v in mm."""
    h, b, tw, tf, r = 300.0, 150.0, 7.1, 10.7, 15.0
    y = h / 2 - np.abs(v)
    au = np.abs(u)
    inside = (au <= b / 2) & (y >= 0)
    flange = y <= tf
    web = au < tw / 2
    fillet = (y <= tf + r) & (au >= tw / 2) & (au < tw / 2 + r) & (
        np.hypot(au - (tw / 2 + r), y - (tf + r)) >= r)
    return inside & (flange | web | fillet)


SHAPES = {
    # name: (width, height, colour of (x, y) mm from the upper left corner)
    "ipe300": (150.0, 300.0, lambda x, y: np.where(ipe(x - 75, y - 150), 1, 0)),
    "composite": (1000.0, 450.0, lambda x, y: np.where(
        y < 150, 2, np.where(ipe(x - 500, y - 300), 1, 0))),
}
PALETTE = np.array([WHITE, RED, GRAY], dtype=np.float64)


def picture(shape, pixel, samples):
    """The shape drawn at `pixel` mm, each pixel the mean colour of samples x samples points."""
    width, height, colour = SHAPES[shape]
    w, h = round(width / pixel), round(height / pixel)
    offsets = (np.arange(samples) + 0.5) / samples
    xs = ((np.arange(w)[:, None] + offsets[None, :]) * pixel).ravel()
    out = np.empty((h, w, 3), dtype=np.uint8)
    for row in range(h):
        ys = (row + offsets) * pixel
        index = colour(xs[None, :], ys[:, None])  # samples x (w * samples)
        rgb = PALETTE[index].reshape(samples, w, samples, 3).mean(axis=(0, 2))
        out[row] = np.rint(rgb).astype(np.uint8)
    return out


def write_bmp(path, rgb):
    h, w, _ = rgb.shape
    pad = (4 - 3 * w % 4) % 4
    rows = b"".join(rgb[y, :, ::-1].tobytes() + b"\0" * pad for y in range(h - 1, -1, -1))
    header = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
    header += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    pathlib.Path(path).write_bytes(header + rows)


def run_cli(cli, args, repeat):
    times = []
    out = None
    for _ in range(repeat):
        start = time.perf_counter()
        done = subprocess.run([cli] + args, capture_output=True, text=True, check=False)
        times.append(time.perf_counter() - start)
        if done.returncode != 0:
            raise SystemExit(f"{' '.join(args)}: {done.stderr.strip()}")
        out = json.loads(done.stdout)
    return out, statistics.median(times)


def errors(shape, result):
    e = result["extended"]
    ref = CONVERGED[shape]
    return {"j": e["gj"] / G_STEEL / ref["j"] - 1, "iw": e["eiw"] / ref["eiw"] - 1,
            "cells": e["torsion_cells"], "estimate": (e["torsion_error_estimate"] or {}).get(
                "gj_relative"), "extrapolated": e.get("torsion_extrapolated", False)}


def whole_pixels(width, height, pixel):
    """Whether the picture's box is a whole number of pixels of this size both ways (else its
    pixels would draw another size of section)."""
    return all(abs(side / pixel - round(side / pixel)) < 1e-9 for side in (width, height))


def measure(cli, shape, pixels, repeat, work):
    width, height, _ = SHAPES[shape]
    library = work / "library.ini"
    library.write_text(LIBRARY)
    use = ["--use", "clRed"] + (["--use", "clGray"] if shape == "composite" else [])
    drawing = ROOT / "examples" / ("ipe300.dxf" if shape == "ipe300" else "composite.svg")
    rows = []
    for pixel in pixels:
        row = {"pixel": pixel}
        for kind, samples in (("flat", 1), ("coverage", 8)):
            if not whole_pixels(width, height, pixel):
                row[kind] = None
                continue
            path = work / f"{shape}-{kind}-{pixel}.bmp"
            write_bmp(path, picture(shape, pixel, samples))
            args = ["analyse", str(path), "--width", f"{width:g}", "--height", f"{height:g}"]
            args += use + ["--library", str(library), "--torsion", "--json"]
            if kind == "coverage":
                args += ["--edges", "coverage"]
            result, seconds = run_cli(cli, args, repeat)
            row[kind] = {**errors(shape, result), "seconds": seconds}
            path.unlink()
        args = ["analyse", str(drawing), "--pixel-size", f"{pixel:g}"] + use
        args += ["--library", str(library), "--torsion", "--json"]
        result, seconds = run_cli(cli, args, repeat)
        row["outline"] = {**errors(shape, result), "seconds": seconds}
        rows.append(row)
        print(f"  {shape} {pixel} mm done", file=sys.stderr, flush=True)
    return rows


def p2_rows(shape, repeat, work):
    out = work / f"p2-{shape}.json"
    subprocess.run([sys.executable, str(ROOT / "tools" / "p2_reference.py"), "--shape", shape,
                    "--json", str(out), "--repeat", str(repeat)], check=True,
                   stdout=subprocess.DEVNULL)
    data = json.loads(out.read_text())["shapes"][shape]
    ref = CONVERGED[shape]
    return [{"size": r["mesh_size_mm"], "nodes": r["nodes"], "j": r["j_mm4"] / ref["j"] - 1,
             "iw": r["eiw_n_mm4"] / ref["eiw"] - 1, "seconds": r["total_s"]}
            for r in data["rows"]]


def fmt(x):
    return f"{x:+.1e}" if x is not None else "-"


def settled(rows, error):
    """The coarsest of `rows` (coarsest first) from which every finer row's error is within
    1e-3, or None."""
    hit = None
    for r in reversed(rows):
        if abs(error(r)) > 1e-3:
            break
        hit = r
    return hit


def tables(shape, rows, p2):
    title = {"ipe300": "IPE 300", "composite": "slab 1000 x 150 on the IPE 300"}[shape]
    lines = [f"#### {title}", "",
             "| mm per pixel | cells | J flat | J coverage | J outline | Iw flat | Iw coverage "
             "| Iw outline | time flat / coverage / outline |",
             "|---|---|---|---|---|---|---|---|---|"]
    def value(kind, key):
        return kind[key] if kind else None

    def seconds(kind):
        return f"{kind['seconds']:.2f}" if kind else "-"

    for r in rows:
        f, c, o = r["flat"], r["coverage"], r["outline"]
        lines.append(
            f"| {r['pixel']:g} | {o['cells']} | {fmt(value(f, 'j'))} | {fmt(value(c, 'j'))} "
            f"| {fmt(o['j'])} | {fmt(value(f, 'iw'))} | {fmt(value(c, 'iw'))} | {fmt(o['iw'])} "
            f"| {seconds(f)} / {seconds(c)} / {seconds(o)} s |")
    lines += ["", "Time to 1e-3 in J (the coarsest size from which every finer one stays within "
              "it):", "", "| method | size | J error | time |", "|---|---|---|---|"]
    for kind in ("flat", "coverage", "outline"):
        hit = settled([r for r in rows if r[kind]], lambda r, k=kind: r[k]["j"])
        lines.append(f"| {kind} | {hit['pixel']:g} mm | {fmt(hit[kind]['j'])} | "
                     f"{hit[kind]['seconds'] * 1000:.0f} ms |" if hit else
                     f"| {kind} | not reached | - | - |")
    if p2:
        hit = settled(p2, lambda r: r["j"])
        if hit:
            lines.append(f"| P2 elements (mesh + solve) | {hit['size']:g} mm, {hit['nodes']} "
                         f"nodes | {fmt(hit['j'])} | {hit['seconds'] * 1000:.0f} ms |")
    return "\n".join(lines) + "\n"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", required=True, help="the batch tool")
    parser.add_argument("--repeat", type=int, default=3, help="timed runs per case (median)")
    parser.add_argument("--no-p2", action="store_true", help="leave out the P2 timings")
    parser.add_argument("--out", help="also write the tables to this file")
    args = parser.parse_args(argv)
    if args.repeat < 1:
        parser.error("--repeat must be at least 1")
    cli = os.path.abspath(args.cli)
    text = []
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        for shape, pixels in (("ipe300", [2, 1, 0.5, 0.25, 0.1]),
                              ("composite", [5, 3, 2.5, 2, 1, 0.5])):
            rows = measure(cli, shape, pixels, args.repeat, work)
            p2 = None if args.no_p2 else p2_rows(shape, args.repeat, work)
            text.append(tables(shape, rows, p2))
    document = "\n".join(text)
    print(document)
    if args.out:
        pathlib.Path(args.out).write_text(document)
    return 0


if __name__ == "__main__":
    sys.exit(main())
