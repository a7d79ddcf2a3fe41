#!/usr/bin/env bash
# Lays the demo into an installation tree: the terrain tiles and their paged database (when
# the tin tools are built) and, unless one is there already, a Configuration.xml that loads
# the database, into <dist>/Resources.
# Usage: build-demo.sh <dist> <build>
set -euo pipefail
dist=$(cd "$1" && pwd)
build=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ -x "$here/build-terrain.sh" ] || [ -f "$here/build-terrain.sh" ]; then
  bash "$here/build-terrain.sh" "$dist" "$build" ||
    echo "build-demo.sh: no terrain for the demo; it starts without it" >&2
fi
# The power line and information points stand on the terrain, so they come after it.
if [ -f "$here/build-content.sh" ]; then
  bash "$here/build-content.sh" "$dist" "$build" ||
    echo "build-demo.sh: no power line or information points for the demo" >&2
fi

models=$(mktemp)
trap 'rm -f "$models"' EXIT
# The paged database when there is one: the viewer then starts on its coarse levels.
if [ -f "$dist/Content/Terrain/terrain.ive" ]; then
  printf '    <Model name="Terrain" filename="../Content/Terrain/terrain.ive" layerNum="0" visible="1"/>\n' > "$models"
elif [ -d "$dist/Content/Terrain" ]; then
  find "$dist/Content/Terrain" -maxdepth 1 -name '*.ive' -printf '%f\n' | LC_ALL=C sort |
    while read -r tile; do
      printf '    <Model name="Terrain %s" filename="../Content/Terrain/%s" layerNum="0" visible="1"/>\n' \
        "${tile%.ive}" "$tile"
    done > "$models"
fi

mkdir -p "$dist/Resources"
target="$dist/Resources/Configuration.xml"
# A configuration already there may hold a view the user saved with F3: keep it.
[ -f "$target" ] && exit 0
tmp="$target.tmp.$$"
awk -v models="$models" '
  /<!-- terrain tiles -->/ { while ((getline line < models) > 0) print line; next }
  { print }
' "$here/Configuration.xml" > "$tmp"
mv "$tmp" "$target"
