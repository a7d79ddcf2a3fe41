#!/usr/bin/env bash
# Builds tavriview_<version>_amd64.deb from a built tree: the installation tree with the demo
# under <root>/opt/tavriview, the package component of the build around it, binaries
# stripped, and CPack to pack the root. Prints the package's path.
# Usage: make-package.sh <build> <output folder>
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)

# The demo's terrain and content are built once into a tree kept in the build folder; its
# generators skip what is already up to date.
demoTree="$build/package-tree"
cmake --install "$build" --prefix "$demoTree" >/dev/null
bash "$here/scripts/make-demo.sh" "$demoTree" "$build"

root="$build/package-root"
tree="$root/opt/tavriview"
rm -rf "$root"
mkdir -p "$tree"
# Only the tree's own folders go in; the generators' stamps and screenshots stay behind.
for folder in Bin Resources Content; do
  cp -a "$demoTree/$folder" "$tree/"
done
find "$tree" -name '.*' -type f -delete
# The package ships the demo as it is generated, not a view saved with F3.
cp "$tree/Resources/Demo.xml" "$tree/Resources/Configuration.xml"
# The overlay's font is Debian's Liberation Sans, linked rather than copied.
ln -sf /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf "$tree/Resources/Fonts/arial.ttf"
cmake --install "$build" --prefix "$root" --component package >/dev/null

find "$tree/Bin" -type f \( -perm -u+x -o -name '*.so' \) -exec sh -c \
  'file -b "$1" | grep -q "^ELF" && strip --strip-unneeded --remove-section=.comment --remove-section=.note "$1"' \
  _ {} \;
chmod -R u+rwX,go+rX,go-w "$root"

rm -rf "$build/package-out"
(cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$build/package-out" >"$build/package-out.log" 2>&1) || {
  cat "$build/package-out.log" >&2
  exit 1
}
deb=$(find "$build/package-out" -maxdepth 1 -name 'tavriview_*.deb' | head -n 1)
[ -n "$deb" ] || { cat "$build/package-out.log" >&2; exit 1; }
rm -f "$out"/tavriview_*_amd64.deb
mv "$deb" "$out/"
echo "$out/$(basename "$deb")"
