#!/usr/bin/env bash
# Builds and runs every test stage. Each stage prints what it ran and its own closing lines.
#   tools/test-all.sh [stage...]    stages: linux (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

stage_linux() {
    echo "== Linux: build and unit tests"
    cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/linux -j "$jobs"
    ctest --test-dir build/linux --output-on-failure -j "$jobs"
}

stages=("$@")
((${#stages[@]})) || stages=(linux)
for stage in "${stages[@]}"; do
    "stage_$stage"
done
