#!/usr/bin/env bash
# Builds the release twice, from two clones of this commit in two folders, and checks what a
# studio relies on:
# - both package tarballs and both symbol archives are byte for byte the same (SHA-256);
# - the adapter DLL's CodeView record names VeloUnityAdapter.pdb with no folder, and the PDB in
#   the symbols archive has that record's GUID and age;
# - no shipped library, PDB or debug file holds either clone's folder;
# - with build/windows from the Windows test stage, the shipped DLLs are the ones it tested.
# Copies the package and its symbols into the output folder and prints the package's path last.
#   tools/check-release.sh <output folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The clones find the MSVC STL headers where this tree does (one folder outside both), and share
# this tree's Windows SDK, restored once.
VELO_MSVC_STL_DIR=$("$root/tools/msvc-stl.sh")
export VELO_MSVC_STL_DIR
mkdir -p "$root/build/windows-sdk"

clones=("$work/first" "$work/second/at/another/depth")
for clone in "${clones[@]}"; do
    git clone --quiet --no-hardlinks "$root" "$clone"
    mkdir -p "$clone/build"
    ln -s "$root/build/windows-sdk" "$clone/build/windows-sdk"
    echo "-- packing in $clone"
    "$clone/tools/pack-unity-package.sh" "$clone/out" >"$clone.log" 2>&1 ||
        { tail -n 40 "$clone.log"; fail "packing in $clone"; }
done

package=$(tail -n 1 "${clones[0]}.log")
name=$(basename "$package" .tgz)
for archive in "$name.tgz" "$name-symbols.tgz"; do
    sums=$(cd "${clones[0]}/out" && sha256sum "$archive"; cd "${clones[1]}/out" && sha256sum "$archive")
    [ "$(echo "$sums" | cut -d' ' -f1 | uniq | wc -l)" -eq 1 ] || fail "two builds differ: $sums"
    echo "ok: $archive is the same from both clones: $(echo "$sums" | head -n 1 | cut -c1-16)…"
done

mkdir -p "$work/package" "$work/symbols"
tar -xzf "${clones[0]}/out/$name.tgz" -C "$work/package"
tar -xzf "${clones[0]}/out/$name-symbols.tgz" -C "$work/symbols"
plugins=$work/package/package/Plugins/x86_64

debug=$(llvm-readobj-14 --coff-debug-directory "$plugins/VeloUnityAdapter.dll")
[ "$(echo "$debug" | sed -n 's/^ *PDBFileName: //p')" = "VeloUnityAdapter.pdb" ] ||
    fail "the DLL's CodeView record names $(echo "$debug" | grep PDBFileName)"
# The record holds the GUID's bytes as stored; the PDB shows the GUID as text.
guid=$(echo "$debug" | sed -n 's/^ *PDBGUID: (\(.*\))/\1/p' | tr -d ' ')
age=$(echo "$debug" | sed -n 's/^ *PDBAge: //p')
g=$guid
recorded=${g:6:2}${g:4:2}${g:2:2}${g:0:2}-${g:10:2}${g:8:2}-${g:14:2}${g:12:2}-${g:16:4}-${g:20:12}
summary=$(llvm-pdbutil-14 dump --summary "$work/symbols/VeloUnityAdapter.pdb")
pdb_guid=$(echo "$summary" | sed -n 's/^ *GUID: {\(.*\)}/\1/p')
pdb_age=$(echo "$summary" | sed -n 's/^ *Age: //p')
[ "$pdb_guid" = "$recorded" ] && [ "$pdb_age" = "$age" ] ||
    fail "the DLL names PDB {$recorded} age $age; the symbols hold {$pdb_guid} age $pdb_age"
echo "ok: VeloUnityAdapter.dll names VeloUnityAdapter.pdb {$pdb_guid} age $age, which the symbols hold"

for clone in "${clones[@]}"; do
    if grep -rl --fixed-strings "$clone" "$work/package" "$work/symbols"; then
        fail "the files above hold the build folder $clone"
    fi
done
echo "ok: no shipped library, PDB or debug file holds a build folder"

if [ -f "$root/build/windows/bin/VeloUnityAdapter.dll" ]; then
    for dll in VeloUnityAdapter.dll VeloCore.dll; do
        cmp -s "$root/build/windows/bin/$dll" "${clones[0]}/build/windows-release/bin/$dll" ||
            fail "the shipped $dll is not the one the Windows stage tested"
    done
    echo "ok: the shipped DLLs are byte for byte the ones the Windows stage tested"
fi

cp "${clones[0]}/out/$name.tgz" "${clones[0]}/out/$name-symbols.tgz" "$out/"
echo "$out/$name.tgz"
