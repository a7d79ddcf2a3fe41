#!/usr/bin/env bash
# Starts the viewer on the demo scene. Without a display it runs under Xvfb, saves a
# screenshot, prints its path and exits 0.
set -euo pipefail
dist=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cd "$dist/Bin"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./TAVRIview
fi
exec bash "$here/headless-demo.sh" "$dist"
