#!/usr/bin/env bash
# Installs everything the build, the demo and every test stage need on a Debian machine. The C#
# stages also need the .NET SDK (`dotnet`), which the machines carry; it restores the NuGet
# packages (Json.NET, NUnit 3 and its console runner, the Windows x86-64 .NET runtime, and for the
# Windows build the Windows SDK) itself. The Windows build also needs the MSVC STL headers, which
# no registry here serves: see VELO_MSVC_STL_DIR in cmake/clang-cl-x86_64.cmake. mono's full AOT
# assembles and links with binutils (build-essential).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    rapidjson-dev libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev
    clang clang-14 clang-tools-14 libclang-rt-14-dev lld-14 llvm-14
    wine64
    mono-devel python3
    # The Linux release's sysroot (tools/fetch-sysroot.sh) is checked against Debian's keys.
    debian-archive-keyring
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
