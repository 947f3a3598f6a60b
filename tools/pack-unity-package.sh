#!/usr/bin/env bash
# Makes the Unity package a studio installs ("Add package from tarball"): builds the release
# libraries for Windows x86-64 and Linux x86-64, lays them, stripped, into a staging copy of
# Unity/com.corvan.velo (never into the repository), and packs it with npm pack. Prints the
# tarball's path as its last line.
#   tools/pack-unity-package.sh [output folder]   (default: build/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(mkdir -p "${1:-build/package}" && cd "${1:-build/package}" && pwd)
command -v npm >/dev/null || { echo "pack-unity-package: npm is missing" >&2; exit 1; }

for preset in linux-release windows-release; do
    echo "-- building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

staging=$out/staging
package=$staging/com.corvan.velo
rm -rf "$staging"
mkdir -p "$package"
# The package's own files as the repository has them, nothing a local build left there.
git ls-files -z Unity/com.corvan.velo | while IFS= read -r -d '' file; do
    mkdir -p "$package/$(dirname "${file#Unity/com.corvan.velo/}")"
    cp -p "$file" "$package/${file#Unity/com.corvan.velo/}"
done
for preset in linux-release windows-release; do
    cmake --install "build/$preset" --prefix "$package" --strip >/dev/null
done

version=$(cd "$package" && node -p 'require("./package.json").version')
rm -f "$out/com.corvan.velo-$version.tgz"
(cd "$package" && npm pack --silent --pack-destination "$out" >/dev/null)
echo "-- packed com.corvan.velo $version:"
tar -tzf "$out/com.corvan.velo-$version.tgz" | grep -v '\.meta$' | sed 's/^/   /'
echo "$out/com.corvan.velo-$version.tgz"
