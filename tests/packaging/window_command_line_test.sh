#!/usr/bin/env bash
# The window program's command line as a shell passes it: --help and --version answer without
# a display, and a wrong command line is refused before any window opens (a window would keep
# the program running, and the test's time limit would end it). Arguments: the program, the
# version it must report.
set -uo pipefail
program=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/a.bmp" "$work/b.bmp"

failures=0
platforms=(offscreen "")
# expect STATUS STDOUT-PATTERN STDERR-PATTERN ARGS...: the exit status and (grep -E) what each
# stream holds; "^$" for an empty stream. Each command line runs twice: with a Qt platform
# (Qt takes its options out first) and with no display at all (answered before Qt starts).
expect() {
  local status=$1 out=$2 err=$3
  shift 3
  local gotOut gotErr gotStatus platform
  for platform in "${platforms[@]}"; do
    gotOut=$(timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM="$platform" \
      "$program" "$@" 2>"$work/err")
    gotStatus=$?
    gotErr=$(cat "$work/err")
    if [[ $gotStatus != "$status" ]] || ! grep -Eq "$out" <<<"$gotOut" ||
       ! grep -Eq "$err" <<<"$gotErr"; then
      echo "FAIL: QT_QPA_PLATFORM='$platform' quorvane $*: status $gotStatus," \
        "stdout '$gotOut', stderr '$gotErr'"
      failures=$((failures + 1))
    fi
  done
}

# No Qt platform is started for these.
expect 0 "^quorvane $version\$" '^$' --version
expect 0 '^usage: quorvane \[PICTURE\]' '^$' --help
# Refused before a window: the reason, then the usage, on standard error.
expect 2 '^$' "^quorvane: only one picture can be opened, and '.*b.bmp' is a second one" \
  "$work/a.bmp" "$work/b.bmp"
expect 2 '^$' 'usage: quorvane \[PICTURE\]' "$work/a.bmp" "$work/b.bmp"
expect 2 '^$' "^quorvane: unknown option '--bogus'" --bogus
expect 1 '^$' "^quorvane: cannot open '$work/missing.bmp': no such file" "$work/missing.bmp"
# Qt's own options are Qt's: with a platform Qt takes them out, without one nothing could
# take them.
platforms=(offscreen)
expect 2 '^$' "^quorvane: only one picture" -reverse "$work/a.bmp" "$work/b.bmp"
platforms=("")
expect 2 '^$' "^quorvane: unknown option '-reverse'" -reverse "$work/a.bmp" "$work/b.bmp"

if ((failures > 0)); then
  exit 1
fi
echo "command line answered as expected"
