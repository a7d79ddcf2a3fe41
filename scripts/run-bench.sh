#!/usr/bin/env bash
# Runs every benchmark program of a benchmark build.
set -uo pipefail
build=$1
# The viewer benchmarks draw in a real window: without a display, run under our own Xvfb, which
# must not reset when its last client leaves (the viewer connects and leaves while it starts).
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX -noreset" bash "$0" "$@"
fi
# The previous release's tin, timed by TileBench in the same rounds as ours: the commit or tag
# in TAVRI_BENCH_BASELINE, else the latest tag. It is built once, Release like ours, in a
# side worktree under the benchmark build.
repo=$(cd "$(dirname "$0")/.." && pwd)
baseline=${TAVRI_BENCH_BASELINE:-$(git -C "$repo" describe --tags --abbrev=0 2>/dev/null || true)}
if [ -n "$baseline" ] && commit=$(git -C "$repo" rev-parse --short "$baseline^{commit}" 2>/dev/null); then
  side=$(cd "$build" && pwd)/baseline-$commit
  if [ ! -x "$side/build/Bin/tin" ]; then
    echo "== building tin of $baseline ($commit) for comparison"
    git -C "$repo" worktree prune
    [ -d "$side/src" ] || git -C "$repo" worktree add --detach "$side/src" "$commit" >/dev/null 2>&1
    cmake -S "$side/src" -B "$side/build" -DCMAKE_BUILD_TYPE=Release -DTAVRI_BUILD_TESTS=OFF >/dev/null &&
      cmake --build "$side/build" --target tin -j "${JOBS:-2}" >/dev/null
  fi
  if [ -x "$side/build/Bin/tin" ]; then
    export TAVRI_BENCH_BASELINE_TIN="$side/build/Bin/tin" TAVRI_BENCH_BASELINE_NAME="$baseline"
  else
    echo "== tin of $baseline could not be built; no baseline"
  fi
elif [ -n "$baseline" ]; then
  echo "== TAVRI_BENCH_BASELINE=$baseline names no commit; no baseline"
fi
status=0
for b in "$build"/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
