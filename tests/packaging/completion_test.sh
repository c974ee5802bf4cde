#!/usr/bin/env bash
# Completes quorvane-cli command lines with the installed completion and compares what it
# offers with what each row expects. Argument: the completion file.
set -uo pipefail
source "$1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch beam.bmp PHOTO.PNG notes.txt lib.ini "two words.bmp"
mkdir sections

failures=0
# expect "WORDS" "OFFER": WORDS is the command line, the last word the one being completed
# (empty when it ends in a blank); OFFER the completions, sorted, separated by "|".
expect() {
  local line=$1 want=$2
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _quorvane_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | paste -sd '|')
  if [[ $got != "$want" ]]; then
    echo "FAIL: '$line' offers '$got', expected '$want'"
    failures=$((failures + 1))
  fi
}

# The commands first, and the options that need none.
expect "quorvane-cli " "analyse|colours|table"
expect "quorvane-cli a" "analyse"
expect "quorvane-cli --" "--help|--version"
# A picture: folders and BMP or PNG files in any case, names with blanks whole.
expect "quorvane-cli colours " "PHOTO.PNG|beam.bmp|sections|two words.bmp"
expect "quorvane-cli analyse b" "beam.bmp"
# Each command's own options only.
expect "quorvane-cli colours beam.bmp --" "--all|--help"
expect "quorvane-cli analyse beam.bmp --" \
  "--action|--convention|--cracked|--edges|--eps|--fy|--height|--help|--interaction|--interaction-biaxial|--interaction-plot|--json|--law|--library|--material|--max-cells|--moment-curvature|--nu|--overlay|--pixel-size|--report|--resistance|--stress-field|--stress-map|--torsion|--units|--use|--width"
expect "quorvane-cli analyse beam.bmp --width 500 --h" "--height|--help"
expect "quorvane-cli table beam.bmp --" \
  "--convention|--csv|--edges|--height|--help|--library|--material|--max-cells|--nu|--pixel-size|--use|--width"
# The table takes several pictures.
expect "quorvane-cli table beam.bmp " "PHOTO.PNG|beam.bmp|sections|two words.bmp"
# The values of options: the conventions, library files, overlay pictures; nothing to offer
# for a number or a label of the user's own.
expect "quorvane-cli analyse beam.bmp --convention " "0|1"
expect "quorvane-cli analyse beam.bmp --edges " "coverage|flat"
expect "quorvane-cli analyse beam.bmp --edges c" "coverage"
expect "quorvane-cli analyse beam.bmp --units " "N-mm|kN-cm|kN-m"
expect "quorvane-cli analyse beam.bmp --library " "lib.ini|sections"
expect "quorvane-cli analyse beam.bmp --overlay " "PHOTO.PNG|beam.bmp|sections|two words.bmp"
expect "quorvane-cli analyse beam.bmp --width " ""
expect "quorvane-cli analyse beam.bmp --pixel-size " ""
expect "quorvane-cli analyse beam.bmp --use " ""
expect "quorvane-cli analyse beam.bmp --action " ""
expect "quorvane-cli analyse beam.bmp --stress-field " "sigma|tau|von_mises"
expect "quorvane-cli analyse beam.bmp --stress-map " "PHOTO.PNG|beam.bmp|sections|two words.bmp"
expect "quorvane-cli analyse beam.bmp --report " "sections"
# Options before the command do not hide it.
expect "quorvane-cli analyse --json " "PHOTO.PNG|beam.bmp|sections|two words.bmp"
# The caller's extglob setting is left as it was.
shopt -q extglob && { echo "FAIL: extglob left on"; failures=$((failures + 1)); }

if ((failures > 0)); then
  echo "$failures completion(s) wrong"
  exit 1
fi
echo "all completions as expected"
