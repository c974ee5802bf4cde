#!/usr/bin/env bash
# The batch tool beside the floors of its work, each pair as whole processes timed by
# bench/pairs.py: the median and range of RUNS interleaved pairs, with the load average and the
# machine. The pictures are generated (qv_bench_pictures) into a temporary folder.
#
#   start-up    quorvane-cli --version                    beside  a C++ program printing a line
#   BMP         analyse of a 1-megapixel BMP               beside  a program that only reads it
#               analyse of an 8000 x 8000 BMP              beside  cat of the file
#   PNG         analyse and colours of 8000 x 8000 PNG     beside  libspng decoding it alone
#   torsion     analyse --torsion of IPE 300 at 0.1 mm     (its own time and peak memory)
#
# Usage: bench/floors.sh [BUILD] [RUNS]
#   BUILD: a build folder with quorvane-cli and the bench programs (default build-bench, as
#          made by: cmake --preset bench && cmake --build build-bench --target quorvane-cli
#          qv_bench_pictures qv_floor_hello qv_floor_read qv_floor_spng qv_run_once)
#   RUNS:  pairs per figure, at least 11 (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-15}
cli=$build/src/cli/quorvane-cli
for program in "$cli" "$build"/bench/{qv_bench_pictures,qv_floor_hello,qv_floor_read,qv_floor_spng,qv_run_once}; do
  [ -x "$program" ] || { echo "floors.sh: $program is not built" >&2; exit 2; }
done

pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
"$build/bench/qv_bench_pictures" "$pictures" >/dev/null
p=$pictures
pairs() { python3 bench/pairs.py --runner "$build/bench/qv_run_once" -n "$runs" "$@"; }
uses="--width 1000 --height 1000 --use clGray --use clRed --use clOlive"

pairs --label "start-up: quorvane-cli --version beside a C++ program that prints a line" -- \
  "$cli --version" "$build/bench/qv_floor_hello"
pairs --label "analyse of a 1-megapixel BMP beside a program that only reads the file" -- \
  "$cli analyse $p/section-1000.bmp $uses" "$build/bench/qv_floor_read $p/section-1000.bmp"
pairs --label "analyse of an 8000 x 8000 PNG beside libspng decoding it alone" -- \
  "$cli analyse $p/section-8000.png $uses" "$build/bench/qv_floor_spng $p/section-8000.png"
pairs --label "colours of an 8000 x 8000 PNG beside libspng decoding it alone" -- \
  "$cli colours $p/section-8000.png" "$build/bench/qv_floor_spng $p/section-8000.png"
pairs --label "analyse of an 8000 x 8000 BMP beside cat of the file" -- \
  "$cli analyse $p/section-8000.bmp $uses" "cat $p/section-8000.bmp"
pairs --label "analyse --torsion of IPE 300 at 0.1 mm per pixel" -- \
  "$cli analyse $p/ipe300.bmp --width 150 --height 300 --use clRed --torsion"
echo "picture files: $(cd "$p" && ls -l --block-size=K section-8000.png section-8000.bmp \
  section-1000.bmp ipe300.bmp | awk '{printf "%s %s; ", $NF, $5}')"
