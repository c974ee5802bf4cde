#!/usr/bin/env bash
# The batch tool loads Qt's libraries only to draw an overlay: linked to none, it lists and
# analyses with no Qt library loaded; the overlay module is loaded for --overlay alone, and a
# tool without its module refuses the overlay in one line, writing nothing.
# Arguments: quorvane-cli, the example section (BMP).
set -uo pipefail
cli=$1
section=$2

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

needed=$(readelf -d "$cli" | grep NEEDED)
grep -q 'libQt' <<<"$needed" && fail "quorvane-cli links Qt: $needed"

# The libraries the dynamic linker loads for a run (LD_DEBUG=libs names each one it opens).
loaded() {
  LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/debug" "$@" >/dev/null 2>&1
  local status=$?
  cat "$work"/debug.* | sed -n 's/.*calling init: \(.*\)/\1/p' | xargs -r -n1 basename | sort -u
  rm -f "$work"/debug.*
  return $status
}

analyse=(analyse "$section" --width 500 --height 650 --use clRed)
for run in "colours $section" "${analyse[*]}" "${analyse[*]} --json" "--version"; do
  # shellcheck disable=SC2086
  libraries=$(loaded "$cli" $run) || fail "'$run' failed"
  grep -q 'libQt' <<<"$libraries" && fail "'$run' loads $(grep libQt <<<"$libraries" | paste -sd ' ')"
done

libraries=$(QT_QPA_PLATFORM=offscreen loaded "$cli" "${analyse[@]}" --overlay "$work/out.png") ||
  fail "the overlay run failed"
grep -q 'quorvane-cli-overlay.so' <<<"$libraries" || fail "--overlay did not load the module"
grep -q 'libQt6Gui' <<<"$libraries" || fail "--overlay did not load Qt Gui"
[ -s "$work/out.png" ] || fail "no overlay written"

# A copy of the tool alone, without its module beside it or in its run path.
cp "$cli" "$work/quorvane-cli"
err=$("$work/quorvane-cli" "${analyse[@]}" --overlay "$work/alone.png" 2>&1 >"$work/stdout")
status=$?
[ $status -eq 1 ] || fail "without its module: exit status $status"
[[ $err == "quorvane-cli: the overlay cannot be drawn: "*"quorvane-cli-overlay.so"* ]] ||
  fail "without its module: '$err'"
[ ! -e "$work/alone.png" ] || fail "without its module an overlay was written"
[ ! -s "$work/stdout" ] || fail "without its module a report was written"
"$work/quorvane-cli" "${analyse[@]}" >/dev/null || fail "without its module no analysis"

[ $failures -eq 0 ] && echo "quorvane-cli loads Qt only for overlays"
exit $((failures > 0))
