#!/usr/bin/env bash
# Builds and runs every test stage. Each stage prints what it ran and its own closing lines.
#   tools/test-all.sh [stage...]    stages: linux windows (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

stage_linux() {
    echo "== Linux: build and unit tests"
    cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/linux -j "$jobs"
    ctest --test-dir build/linux --output-on-failure -j "$jobs"
}

stage_windows() {
    echo "== Windows x86-64: cross-build with mingw-w64, tests under Wine"
    export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-prefix}"
    cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/windows -j "$jobs"
    ctest --test-dir build/windows --output-on-failure
    echo "-- the suite's own summary under Wine:"
    (cd build/windows/bin && /usr/lib/wine/wine64 VeloUnityAdapterTests.exe --gtest_brief=1 2>&1 | tail -n 12)
}

stages=("$@")
((${#stages[@]})) || stages=(linux windows)
for stage in "${stages[@]}"; do
    "stage_$stage"
done
