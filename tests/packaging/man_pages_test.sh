#!/usr/bin/env bash
# Renders each man page as man would, with every groff warning on; any warning fails.
set -euo pipefail
for page in "$@"; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1) || {
    echo "FAIL: $page does not render: $warnings"
    exit 1
  }
  if [[ -n $warnings ]]; then
    echo "FAIL: $page: $warnings"
    exit 1
  fi
  if grep -q '@[A-Z_]*@' "$page"; then
    echo "FAIL: $page has a placeholder left: $(grep -o '@[A-Z_]*@' "$page" | head -1)"
    exit 1
  fi
done
echo "man pages render without warnings"
