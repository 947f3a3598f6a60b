#!/usr/bin/env bash
# Builds and runs every test stage. Each stage prints what it ran and its own closing lines.
#   tools/test-all.sh [stage...]    stages: linux windows sanitizers tsan fuzz (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

stage_linux() {
    echo "== Linux: build and unit tests, the C# suite under mono and .NET"
    for program in dotnet mono; do
        command -v "$program" >/dev/null || {
            echo "test-all: '$program' is missing: the C# suite needs the .NET SDK and mono" >&2
            return 1
        }
    done
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

# Clang with its sanitizer runtime (libclang-rt-14-dev).
configure_clang() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug -DVELO_BUILD_DEMO=OFF "$@"
    cmake --build "$dir" -j "$jobs"
}

stage_sanitizers() {
    echo "== AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer: the whole suite"
    configure_clang build/asan "-DVELO_SANITIZE=address;undefined"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build/asan --output-on-failure -j "$jobs"
}

stage_tsan() {
    echo "== ThreadSanitizer: the whole suite, concurrent deliveries and registrations included"
    configure_clang build/tsan -DVELO_SANITIZE=thread
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        ctest --test-dir build/tsan --output-on-failure -j "$jobs"
}

stage_fuzz() {
    local seconds=${VELO_FUZZ_SECONDS:-60}
    echo "== libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer: ${seconds}s a target"
    configure_clang build/fuzz -DVELO_FUZZ=ON "-DVELO_SANITIZE=address;undefined" \
        -DBUILD_TESTING=OFF
    for target in raw_json:FuzzRawJson requests:FuzzRequests results:FuzzResults; do
        local corpus=${target%%:*} binary=${target##*:}
        local work=build/fuzz/corpus/$corpus
        mkdir -p "$work"
        cp -n fuzz/corpus/"$corpus"/* "$work"/
        echo "-- $binary: seeds in fuzz/corpus/$corpus"
        if ! build/fuzz/fuzz/"$binary" -max_total_time="$seconds" -max_len=4096 \
            -artifact_prefix=build/fuzz/ -print_final_stats=1 "$work" >build/fuzz/"$binary".log 2>&1; then
            tail -n 60 build/fuzz/"$binary".log
            return 1
        fi
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" build/fuzz/"$binary".log
    done
}

stages=("$@")
((${#stages[@]})) || stages=(linux windows sanitizers tsan fuzz)
for stage in "${stages[@]}"; do
    "stage_$stage"
done
