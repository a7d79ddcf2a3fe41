#!/usr/bin/env bash
# Writes the demo's power line and information points into <dist>/Content with the project's
# own generator, standing on the terrain tiles that build-terrain.sh has built. Quiet; does
# nothing when the content of the current generator and terrain is already there.
# Usage: build-content.sh <dist> <build>
set -euo pipefail
dist=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)

generator="$build/Bin-tools/make_demo_content"
if [ ! -x "$generator" ]; then
  echo "build-content.sh: $generator is missing" >&2
  exit 1
fi
tiles=$(find "$dist/Content/Terrain" -maxdepth 1 -name '*.ive' 2>/dev/null | LC_ALL=C sort)
if [ -z "$tiles" ]; then
  echo "build-content.sh: no terrain tiles to stand the power line on" >&2
  exit 1
fi

stamp="$dist/Content/Powerline/.content-stamp"
# shellcheck disable=SC2086
want="$(cksum < "$generator" | cut -d' ' -f1) $(cat $tiles | cksum | cut -d' ' -f1)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] &&
   [ -f "$dist/Content/Powerline/Koordinatlista_Stolpar_TavriView.txt" ]; then
  exit 0
fi
rm -f "$stamp"
"$generator" "$dist"
echo "$want" > "$stamp"
