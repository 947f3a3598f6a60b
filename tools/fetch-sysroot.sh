#!/usr/bin/env bash
# Makes the Debian 11 "bullseye" x86-64 sysroot that the Linux release libraries are built
# against (cmake/linux-bullseye-x86_64.cmake): glibc 2.31 and GCC 10's libstdc++, so that they
# load on every Linux since (Ubuntu 20.04, the oldest that Unity 2021.3's editor runs on). The
# packages come from the Debian registry this machine's own apt sources name, through a private
# apt configuration that changes nothing of the machine's, checked against Debian's archive
# keys. Versions are pinned: every build of one commit sees the same headers and libraries.
# The sysroot is made once a machine, in a cache folder outside any clone; prints its path last.
#   tools/fetch-sysroot.sh [cache folder]   (default: $XDG_CACHE_HOME or ~/.cache, /velo-sysroot)
set -euo pipefail

packages=(
    libc6=2.31-13+deb11u11 libc6-dev=2.31-13+deb11u11 linux-libc-dev=5.10.223-1
    libgcc-s1=10.2.1-6 libgcc-10-dev=10.2.1-6 libstdc++6=10.2.1-6 libstdc++-10-dev=10.2.1-6
)
suite=bullseye
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/velo-sysroot}
sysroot=$cache/$suite-amd64-$(printf '%s\n' "${packages[@]}" | sha256sum | cut -c1-12)
if [ -f "$sysroot/.complete" ]; then
    echo "$sysroot"
    exit 0
fi

fail() {
    echo "fetch-sysroot: $*" >&2
    exit 1
}
command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || fail "needs apt-get and dpkg-deb"
[ -f "$keyring" ] || fail "$keyring is missing (install debian-archive-keyring)"
# The main suite's registry among the machine's sources (not its security or updates suites).
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(IDENTIFIER)' |
    awk '$3 == "Packages" && $2 !~ /-/ { print $1; exit }')
[ -n "$mirror" ] || fail "no Debian registry among this machine's apt sources"

mkdir -p "$cache"
work=$(mktemp -d "$cache/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc/sources.list.d" "$work/etc/preferences.d" "$work/lists/partial" \
    "$work/archives/partial" "$work/debs" "$work/root"
echo "deb [signed-by=$keyring] $mirror $suite main" >"$work/etc/sources.list"
: >"$work/status"
apt=(
    -o "Dir::Etc::SourceList=$work/etc/sources.list" -o "Dir::Etc::SourceParts=$work/etc/sources.list.d"
    -o "Dir::Etc::Preferences=$work/etc/preferences" -o "Dir::Etc::PreferencesParts=$work/etc/preferences.d"
    -o "Dir::State::Lists=$work/lists" -o "Dir::State::status=$work/status"
    -o "Dir::Cache=$work" -o "Dir::Cache::archives=$work/archives"
    -o "APT::Architecture=amd64" -o "APT::Architectures=amd64" -o "Acquire::Languages=none"
    -o "APT::Sandbox::User=root"
)
echo "fetch-sysroot: Debian $suite from $mirror into $sysroot" >&2
apt-get "${apt[@]}" -qq update >&2 || fail "apt-get update of $suite failed"
(cd "$work/debs" && apt-get "${apt[@]}" -qq download "${packages[@]}" >&2) ||
    fail "apt-get download failed (are the pinned versions still in $suite?)"
for deb in "$work"/debs/*.deb; do
    dpkg-deb -x "$deb" "$work/root"
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
