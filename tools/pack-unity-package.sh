#!/usr/bin/env bash
# Makes the Unity package a studio installs ("Add package from tarball") and, beside it, the
# symbols a studio uploads to its symbol store: builds the release libraries for Windows x86-64
# and Linux x86-64, lays them, stripped, into a staging copy of Unity/com.corvan.velo (never
# into the repository), and packs it with npm pack. Two runs on one commit give the same bytes,
# wherever the repository is.
#   tools/pack-unity-package.sh [output folder]   (default: build/package)
# Writes com.corvan.velo-<version>.tgz and com.corvan.velo-<version>-symbols.tgz (the PDBs of the
# Windows DLLs, the Linux libraries' separate debug files); prints the package's path last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(mkdir -p "${1:-build/package}" && cd "${1:-build/package}" && pwd)
command -v npm >/dev/null || { echo "pack-unity-package: npm is missing" >&2; exit 1; }
# Every time written into an archive is the commit's.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

for preset in linux-release windows-release; do
    echo "-- building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

staging=$out/staging
package=$staging/com.corvan.velo
symbols=$staging/symbols
rm -rf "$staging"
mkdir -p "$package" "$symbols"
# The package's own files as the repository has them, nothing a local build left there.
git ls-files -z Unity/com.corvan.velo | while IFS= read -r -d '' file; do
    mkdir -p "$package/$(dirname "${file#Unity/com.corvan.velo/}")"
    cp "$file" "$package/${file#Unity/com.corvan.velo/}"
done

# Windows: the DLLs stripped (their debug information is CodeView, in the PDBs, which the DLLs
# name), the PDBs into the symbols.
cmake --install build/windows-release --prefix "$package" --strip >/dev/null
cp build/windows-release/bin/VeloUnityAdapter.pdb build/windows-release/bin/VeloCore.pdb "$symbols/"
# Linux: the debug information split into a file of its own, which the stripped library links.
cmake --install build/linux-release --prefix "$package" >/dev/null
for library in libVeloUnityAdapter.so libVeloCore.so; do
    installed=$package/Plugins/x86_64/$library
    objcopy --only-keep-debug "$installed" "$symbols/$library.debug"
    strip --strip-unneeded "$installed"
    (cd "$symbols" && objcopy --add-gnu-debuglink="$library.debug" "$installed")
done

version=$(cd "$package" && node -p 'require("./package.json").version')
tarball=$out/com.corvan.velo-$version.tgz
rm -f "$tarball"
(cd "$package" && npm pack --silent --pack-destination "$out" >/dev/null)
# The same archive whoever packs it: sorted names, the commit's time, no owners, no gzip time.
tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode=go-w -C "$symbols" -cf - . | gzip -9n >"$out/com.corvan.velo-$version-symbols.tgz"

echo "-- packed com.corvan.velo $version:"
tar -tzf "$tarball" | grep -v '\.meta$' | sed 's/^/   /'
echo "-- its symbols, com.corvan.velo-$version-symbols.tgz:"
tar -tzf "$out/com.corvan.velo-$version-symbols.tgz" | grep -v '/$' | sed 's/^/   /'
echo "$tarball"
