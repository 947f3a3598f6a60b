#!/usr/bin/env bash
# Builds and runs every test stage through the CMake presets. Each stage prints what it ran and
# its own closing lines.
#   tools/test-all.sh [stage...]   stages: linux windows sanitizers tsan fuzz package (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# Configures, builds and tests one preset.
run_preset() {
    cmake --preset "$1"
    cmake --build --preset "$1"
    ctest --preset "$1" -j "$jobs"
}

stage_linux() {
    echo "== Linux: build and unit tests, the C# suite under mono, mono's full AOT and .NET"
    for program in dotnet mono; do
        command -v "$program" >/dev/null || {
            echo "test-all: '$program' is missing: the C# suite needs the .NET SDK and mono" >&2
            return 1
        }
    done
    run_preset linux
    csharp_summary linux
}

# The C# suite's closing lines in a preset's last test log.
csharp_summary() {
    echo "-- the C# suite's own closing lines:"
    grep -h "^C# under" "build/$1/Testing/Temporary/LastTest.log"
}

# The Windows build needs the MSVC STL headers, which no package registry serves: CI has them
# beside the clone, other machines clone them through tools/install-deps.sh. Without them the
# Windows stages say what to set and are skipped.
msvc_stl_missing() {
    local missing
    missing=$(tools/msvc-stl.sh 2>&1 >/dev/null) && return 1
    echo "${missing/msvc-stl:/-- skipped:}"
}

stage_windows() {
    echo "== Windows x86-64, MSVC C++ ABI: cross-build with clang-cl and lld-link, tests under Wine"
    msvc_stl_missing && return
    run_preset windows
    echo "-- the suite's own summary under Wine:"
    (cd build/windows/bin && WINEDEBUG=-all WINEPREFIX="$PWD/../../wine-prefix" \
        /usr/lib/wine/wine64 VeloUnityAdapterTests.exe --gtest_brief=1 2>&1 | tail -n 12)
    csharp_summary windows
}

stage_sanitizers() {
    echo "== AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer: the whole suite"
    run_preset sanitizers
}

stage_tsan() {
    echo "== ThreadSanitizer: the whole suite, concurrent deliveries and registrations included"
    run_preset tsan
}

stage_fuzz() {
    local seconds=${VELO_FUZZ_SECONDS:-60}
    echo "== libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer: ${seconds}s a target"
    cmake --preset fuzz
    cmake --build --preset fuzz
    for target in raw_json:FuzzRawJson results:FuzzResults scenario:FuzzScenario; do
        local corpus=${target%%:*} binary=${target##*:}
        local work=build/fuzz/corpus/$corpus
        mkdir -p "$work"
        cp -n fuzz/corpus/"$corpus"/* "$work"/
        echo "-- $binary: seeds in fuzz/corpus/$corpus"
        rm -f build/fuzz/"$binary"-*
        if ! build/fuzz/fuzz/"$binary" -max_total_time="$seconds" -max_len=4096 \
            -artifact_prefix=build/fuzz/"$binary"- -print_final_stats=1 "$work" \
            >build/fuzz/"$binary".log 2>&1; then
            tail -n 60 build/fuzz/"$binary".log
            local input
            for input in build/fuzz/"$binary"-*; do
                [ -f "$input" ] || continue
                echo "-- the failing input, $(wc -c <"$input") bytes, as hex:"
                od -A x -t x1z -v "$input" | head -n 256
                echo "-- replay it: build/fuzz/fuzz/$binary $input"
            done
            return 1
        fi
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" build/fuzz/"$binary".log
    done
}

stage_package() {
    echo "== The documentation site: built with DocFX, its links checked, rendered by Chromium"
    tools/build-docs.sh build/docs
    echo "== The release as studios receive it: reproducible, with its symbols, then checked"
    msvc_stl_missing && return
    local out
    out=$(mktemp -d)
    tools/check-release.sh "$out" | tee "$out/release.log"
    local tarball
    tarball=$(tail -n 1 "$out/release.log")
    python3 tools/check-unity-package.py "$tarball"
    tools/check-player-without-core.sh "$tarball"
    rm -rf "$out"
}

stages=("$@")
((${#stages[@]})) || stages=(linux windows sanitizers tsan fuzz package)
for stage in "${stages[@]}"; do
    "stage_$stage"
done
