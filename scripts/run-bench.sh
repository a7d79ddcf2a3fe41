#!/usr/bin/env bash
# Runs every benchmark program of a benchmark build.
set -uo pipefail
build=$1
status=0
for b in "$build"/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
