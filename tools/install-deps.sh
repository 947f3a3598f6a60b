#!/usr/bin/env bash
# Installs everything the build, the demo and every test stage need on a Debian machine. The C#
# stages also need the .NET SDK (`dotnet`), which the machines carry; it restores the NuGet
# packages (Json.NET, NUnit 3 and its console runner, the Windows x86-64 .NET runtime, DocFX for
# the documentation site, and for the Windows build the Windows SDK) itself. mono's full AOT
# assembles and links with binutils (build-essential). Last, the MSVC STL headers of the Windows
# build, which no registry serves: where no folder has them, tools/msvc-stl.sh clones them from
# their repository into a cache folder; without network it says what to set, and the Windows
# stages are skipped.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    rapidjson-dev libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev
    clang clang-14 clang-tools-14 libclang-rt-14-dev lld-14 llvm-14
    wine64
    mono-devel python3
    # The Linux release's sysroot (tools/fetch-sysroot.sh) and the MSVC STL's clone.
    curl git
    # The documentation site rendered headless (tools/check-docs-site.py).
    chromium
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
# npm packs the Unity package; Debian's is taken only where the machine has none of its own.
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        "${missing[@]}"
fi
bash "$(dirname "$0")/msvc-stl.sh" fetch >/dev/null || true
