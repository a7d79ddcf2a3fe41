#!/usr/bin/env bash
# Runs every benchmark program of a benchmark build.
set -uo pipefail
build=$1
# The viewer benchmarks draw in a real window: without a display, run under our own Xvfb, which
# must not reset when its last client leaves (the viewer connects and leaves while it starts).
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX -noreset" bash "$0" "$@"
fi
status=0
for b in "$build"/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
