#!/usr/bin/env bash
# Lays the demo scene into an installation tree: its configuration and its content.
# Usage: make-demo.sh <dist> <build>
set -euo pipefail
dist=$1
build=$2
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dist/Bin" "$dist/Resources" "$dist/Content"
if [ -x "$here/demo/build-demo.sh" ]; then
  bash "$here/demo/build-demo.sh" "$dist" "$build"
fi
