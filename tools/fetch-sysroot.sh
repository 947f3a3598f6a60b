#!/usr/bin/env bash
# Makes the Debian 11 "bullseye" x86-64 sysroot that the Linux release libraries are built
# against (cmake/linux-bullseye-x86_64.cmake): glibc 2.31 and GCC 10's libstdc++, so that they
# load on every Linux since (Ubuntu 20.04, the oldest that Unity 2021.3's editor runs on).
# Each package is pinned by its version, its file in Debian's pool and that file's SHA-256
# (cmake/linux-bullseye-x86_64.pins): every build of one commit sees the same headers and
# libraries, and a file whose checksum differs is refused, whoever serves it. Each file is taken
# from the first source that has it:
#   1. the registries of this machine's own apt sources (a Debian mirror, or a proxy of one);
#   2. Debian's archive, $VELO_DEBIAN_ARCHIVE (default http://deb.debian.org/debian), for
#      machines whose sources are not Debian's (Ubuntu's build machines);
#   3. Debian's snapshot archive, $VELO_DEBIAN_SNAPSHOT, which keeps every version ever
#      published, once the archive no longer carries the pinned one.
# The sysroot is made once a machine, in a cache folder outside any clone; prints its path last.
#   tools/fetch-sysroot.sh [cache folder]   (default: $XDG_CACHE_HOME or ~/.cache, /velo-sysroot)
# VELO_SYSROOT_PINS names another pins file.
set -euo pipefail

pins=${VELO_SYSROOT_PINS:-$(cd "$(dirname "$0")/.." && pwd)/cmake/linux-bullseye-x86_64.pins}
archive=${VELO_DEBIAN_ARCHIVE:-http://deb.debian.org/debian}
snapshot=${VELO_DEBIAN_SNAPSHOT:-http://snapshot.debian.org/archive/debian/20250101T000000Z}

fail() {
    echo "fetch-sysroot: $*" >&2
    exit 1
}
for tool in curl dpkg-deb sha256sum; do
    command -v "$tool" >/dev/null || fail "needs $tool (tools/install-deps.sh installs it)"
done
[ -f "$pins" ] || fail "no pins file $pins"

cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/velo-sysroot}
sysroot=$cache/bullseye-amd64-$(grep -v '^#' "$pins" | sha256sum | cut -c1-12)
if [ -f "$sysroot/.complete" ]; then
    echo "$sysroot"
    exit 0
fi

# The sources in order, each once: the registries this machine's apt sources name (as curl
# spells a local one), then Debian's archive and its snapshot.
sources=$({
    if command -v apt-get >/dev/null; then
        apt-get indextargets --no-release-info --format '$(REPO_URI) $(IDENTIFIER)' 2>/dev/null |
            awk '$2 == "Packages" { print $1 }' | sed 's|^file:/*|file:///|'
    fi
    echo "$archive"
    echo "$snapshot"
} | sed 's|/*$||' | awk '!seen[$0]++')

mkdir -p "$cache"
work=$(mktemp -d "$cache/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root"
echo "fetch-sysroot: Debian bullseye into $sysroot" >&2
grep -v '^#' "$pins" | while read -r package version file checksum; do
    [ -n "$package" ] || continue
    deb=$work/${file##*/}
    for source in $sources; do
        curl -fsSL --connect-timeout 20 --retry 2 -o "$deb" "$source/$file" 2>/dev/null || continue
        actual=$(sha256sum "$deb" | cut -d' ' -f1)
        [ "$actual" = "$checksum" ] ||
            fail "REFUSED $source/$file: its SHA-256 is $actual, but $package $version is pinned" \
                "as $checksum. The file is not the pinned one (a corrupt download, a mirror" \
                "serving another build, or tampering): nothing was installed."
        echo "fetch-sysroot: $package $version from $source" >&2
        dpkg-deb -x "$deb" "$work/root"
        rm -f "$deb"
        continue 2
    done
    fail "no source has $package $version ($file); tried: $(echo $sources)"
done
# Links that point to an absolute path would leave the sysroot for the build machine's own
# libraries: make them relative.
find "$work/root" -type l -lname '/*' | while read -r link; do
    ln -sfnr "$work/root$(readlink "$link")" "$link"
done
rm -rf "$work/root/usr/share"
touch "$work/root/.complete"
rm -rf "$sysroot"
mv "$work/root" "$sysroot"
echo "$sysroot"
