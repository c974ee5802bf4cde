#!/usr/bin/env bash
# The layering of src/, read from the #include lines: a file includes files of its own folder and
# of folders below it, never of a folder above it or beside it. Fails naming every include that
# runs the other way, so that two folders can never include each other.
set -euo pipefail
cd "$(dirname "$0")/.."

# From the bottom up; folders on one line share a rank and must not include each other.
layers=(
  "core/base"
  "core/picture"
  "core/settings"
  "core/library"
  "core/scan"
  "core/section"
  "core/outline"
  "core/elastic"
  "core/session"
  "core/analysis"
  "imaging util"
  "drawing"
  "cli gui python"
  "app"
)
ranks=""
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do ranks+="$folder=$i "; done
done

git ls-files 'src/*.h' 'src/*.cpp' | awk -v ranks="$ranks" '
  function layer(path,   parts, n) {
    n = split(path, parts, "/")
    if (parts[1] == "core") return n > 2 ? "core/" parts[2] : "core"
    return parts[1]
  }
  BEGIN {
    n = split(ranks, pairs, " ")
    for (i = 1; i <= n; ++i) { split(pairs[i], kv, "="); rank[kv[1]] = kv[2] }
  }
  {
    file = $0
    from = layer(substr(file, 5))
    if (!(from in rank)) { printf "%s: folder %s has no place in the layers\n", file, from; bad = 1 }
    line = 0
    while ((getline text < file) > 0) {
      ++line
      if (text !~ /^#include "/) continue
      target = text
      sub(/^#include "/, "", target)
      sub(/".*/, "", target)
      to = layer(target)
      if (!(to in rank)) continue  # not a project header
      if (to == from) continue
      if (rank[to] < rank[from]) continue
      printf "%s:%d: %s includes %s, which is %s\n", file, line, from, target,
             rank[to] == rank[from] ? "beside it" : "above it"
      bad = 1
    }
    close(file)
  }
  END { exit bad }
'
echo "check_layers: every include of src/ points to its own folder or below"
