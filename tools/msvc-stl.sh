#!/usr/bin/env bash
# Finds the MSVC STL headers (the stl/inc folder of https://github.com/microsoft/STL at tag
# vs-2022-17.4) that the Windows build compiles against, and prints their folder:
# $VELO_MSVC_STL_DIR when set; else ../shared/msvc-stl/inc beside this repository; else the
# clone in the cache folder ($XDG_CACHE_HOME or ~/.cache, /velo-msvc-stl). Without them, says
# what to set and exits 1.
#   tools/msvc-stl.sh         find them
#   tools/msvc-stl.sh fetch   find them, after a shallow clone of the tag's stl/inc alone into
#                             the cache folder where there are none (tools/install-deps.sh)
# The clone must be the tag's known commit. VELO_MSVC_STL_REPOSITORY names another clone source
# (a studio's mirror); VELO_MSVC_STL_COMMIT, the commit that mirror's tag names.
set -euo pipefail
tag=vs-2022-17.4
repository=${VELO_MSVC_STL_REPOSITORY:-https://github.com/microsoft/STL}
commit=${VELO_MSVC_STL_COMMIT:-648b635d728ad6cce6cc6398d0869c25f3e8be15}
root=$(cd "$(dirname "$0")/.." && pwd)
clone=${XDG_CACHE_HOME:-$HOME/.cache}/velo-msvc-stl/$tag

find_headers() {
    local folder folders=("$root/../shared/msvc-stl/inc" "$clone/stl/inc")
    [ -z "${VELO_MSVC_STL_DIR:-}" ] || folders=("$VELO_MSVC_STL_DIR")
    for folder in "${folders[@]}"; do
        if [ -f "$folder/yvals_core.h" ]; then
            (cd "$folder" && pwd)
            return 0
        fi
    done
    return 1
}

fetch() {
    [ -z "${VELO_MSVC_STL_DIR:-}" ] || return 1
    echo "msvc-stl: cloning stl/inc of $repository at $tag into $clone" >&2
    rm -rf "$clone.partial"
    mkdir -p "$(dirname "$clone")"
    git clone --quiet --depth 1 --branch "$tag" --filter=blob:none --sparse "$repository" \
        "$clone.partial" >&2 &&
        git -C "$clone.partial" sparse-checkout set stl/inc >&2 || {
        rm -rf "$clone.partial"
        return 1
    }
    local cloned
    cloned=$(git -C "$clone.partial" rev-parse HEAD)
    if [ "$cloned" != "$commit" ]; then
        rm -rf "$clone.partial"
        echo "msvc-stl: REFUSED: $tag of $repository is commit $cloned, not $commit" >&2
        return 1
    fi
    rm -rf "$clone"
    mv "$clone.partial" "$clone"
}

if find_headers || { [ "${1:-}" = fetch ] && fetch && find_headers; }; then
    exit 0
fi
cat >&2 <<EOF
msvc-stl: no MSVC STL headers in ${VELO_MSVC_STL_DIR:-$root/../shared/msvc-stl/inc or $clone/stl/inc}.
   The Windows build and its test stages need them: run tools/install-deps.sh with network
   access (it clones them), or set VELO_MSVC_STL_DIR to the stl/inc folder of a clone of
   $repository at tag $tag.
EOF
exit 1
