#!/usr/bin/env bash
# Lays the demo scene into an installation tree: its configuration and its content.
# Usage: make-demo.sh <dist> <build>
set -euo pipefail
dist=$1
build=$2
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dist/Bin" "$dist/Resources" "$dist/Content"
bash "$here/demo/build-demo.sh" "$dist" "$build"
