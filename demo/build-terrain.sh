#!/usr/bin/env bash
# Builds the demo's terrain tiles into <dist>/Content/Terrain with the installed tin,
# from a laser scan and an orthophoto that the project's own generators write, and over them the
# paged database that the demo loads: terrain.ive and its levels in terrain_levels/. Quiet; does nothing when
# the tiles of the current generator and tin are already there.
# Usage: build-terrain.sh <dist> <build>
set -euo pipefail
dist=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)

generator="$build/Bin-tools/make_demo_las"
photographer="$build/Bin-tools/make_demo_orthophoto"
tin="$dist/Bin/tin"
out="$dist/Content/Terrain"
las="$build/demo/demo-terrain.las"
orthophoto="$build/demo/demo-orthophoto.tif"
extent="100000,6400000,102000,6402000"
tileSize=500
tiles=16
root="terrain.ive"
# Ground (2) only, of every return: no trees or rails in the terrain.
classes="2"
# Metres a texel: 512 x 512 a tile keeps the viewer's start quick on a software renderer; the
# orthophoto itself has 0.5 m pixels for a closer look (tin --textureResolution 0.5).
texel=1

for tool in "$generator" "$photographer" "$tin"; do
  if [ ! -x "$tool" ]; then
    echo "build-terrain.sh: $tool is missing" >&2
    exit 1
  fi
done

stamp="$out/.terrain-stamp"
want="$(cksum < "$generator" | cut -d' ' -f1) $(cksum < "$photographer" | cut -d' ' -f1) $(cksum < "$tin" | cut -d' ' -f1) $extent $tileSize $classes $texel $root"
countTiles() { find "$out" -maxdepth 1 -name '*.ive' ! -name "$root" | wc -l; }
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -f "$out/$root" ] &&
   [ "$(countTiles)" -eq "$tiles" ]; then
  exit 0
fi

mkdir -p "$out" "$(dirname "$las")"
rm -f "$stamp"
"$generator" "$las"
"$photographer" "$orthophoto"
rm -rf "$out"/*.ive "$out/${root%.ive}_levels"
threads=$(nproc 2>/dev/null || echo 2)
# tin writes its tiles into its working directory.
(cd "$out" && "$tin" --extents "$extent" --tileSize "$tileSize" --keepClasses "$classes" \
  --numThreads "$threads" --texture "$orthophoto" --textureResolution "$texel" \
  --pagedDatabase "$root" "$las" >/dev/null)
count=$(countTiles)
if [ "$count" -ne "$tiles" ] || [ ! -f "$out/$root" ]; then
  echo "build-terrain.sh: tin wrote $count of $tiles tiles$([ -f "$out/$root" ] || echo " and no $root")" >&2
  exit 1
fi
echo "$want" > "$stamp"
