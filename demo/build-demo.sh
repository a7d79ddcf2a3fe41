#!/usr/bin/env bash
# Lays the demo into an installation tree: the terrain tiles with their paged database, the
# content, Demo.xml that loads them and, unless one is there already, Configuration.xml as its
# copy, into <dist>/Resources.
# Usage: build-demo.sh <dist> <build>
set -euo pipefail
dist=$(cd "$1" && pwd)
build=$2
here=$(cd "$(dirname "$0")" && pwd)

# A demo without its terrain or content is a broken build: a failure here stops make.
bash "$here/build-terrain.sh" "$dist" "$build"
# The power line and information points stand on the terrain, so they come after it.
bash "$here/build-content.sh" "$dist" "$build"

# The sample flight; a recording the user made beside it stays.
if [ -x "$build/Bin-tools/make_demo_path" ]; then
  "$build/Bin-tools/make_demo_path" "$dist" || echo "build-demo.sh: no sample flight for the demo" >&2
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
# Demo.xml is the demo as shipped (TAVRIview --demo), always rewritten.
demo="$dist/Resources/Demo.xml"
tmp="$demo.tmp.$$"
awk -v models="$models" '
  /<!-- terrain tiles -->/ { while ((getline line < models) > 0) print line; next }
  { print }
' "$here/Configuration.xml" > "$tmp"
mv "$tmp" "$demo"
target="$dist/Resources/Configuration.xml"
# A configuration already there may hold a view the user saved with F3: keep it.
[ -f "$target" ] && exit 0
cp "$demo" "$target.tmp.$$"
mv "$target.tmp.$$" "$target"
