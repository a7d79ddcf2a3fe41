#!/usr/bin/env bash
# Runs the demo without a display: the viewer draws into its own Xvfb, F12 saves a screenshot,
# Escape ends it. Prints the screenshot's path and exits 0.
# Usage: headless-demo.sh <dist>
set -euo pipefail
dist=$(cd "$1" && pwd)
shot="$dist/TAVRIview_0_0.jpg"

fdfile=$(mktemp)
# -noreset: the viewer connects and leaves while it starts; a reset then would refuse it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset +extension GLX 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
viewer=""
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$fdfile"
}
trap cleanup EXIT

for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
if [ ! -s "$fdfile" ]; then
  echo "headless-demo.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -1 "$fdfile")"

rm -f "$shot"
log="$dist/TAVRIview-demo.log"
(cd "$dist/Bin" && exec ./TAVRIview) >"$log" 2>&1 &
viewer=$!

window=$(timeout 120 xdotool search --sync --name '^TAVRIview' 2>/dev/null | head -1 || true)
if [ -z "$window" ]; then
  echo "headless-demo.sh: the viewer opened no window; see $log" >&2
  exit 1
fi
# Let it draw a few frames before the shot.
sleep 2
xdotool windowfocus --sync "$window" key F12
for _ in $(seq 200); do
  [ -s "$shot" ] && break
  sleep 0.1
done
sleep 0.5
xdotool windowfocus --sync "$window" key Escape || true
for _ in $(seq 100); do
  kill -0 "$viewer" 2>/dev/null || break
  sleep 0.1
done
wait "$viewer" 2>/dev/null || true
viewer=""

if [ ! -s "$shot" ]; then
  # The viewer's own F12 did not answer; take the screen instead.
  import -window root "$shot" 2>/dev/null || true
fi
if [ ! -s "$shot" ]; then
  echo "headless-demo.sh: no screenshot was taken; see $log" >&2
  exit 1
fi
echo "$shot"
