#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in build-fuzz/ (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs them.
#   tools/fuzz.sh build                  install clang when missing, build every target
#   tools/fuzz.sh list                   the target names
#   tools/fuzz.sh run TARGET [SECONDS] [JOBS] [libFuzzer options...]
#                                        one target (default 600 s, 1 job)
#   tools/fuzz.sh all [SECONDS] [JOBS]   every target for SECONDS (default 20),
#                                        JOBS targets at a time (default 4);
#                                        fails when any target finds something
# New inputs go to a scratch corpus (build-fuzz/corpus/TARGET), seeded from
# fuzz/corpus/TARGET; the kept seeds are not touched. A failing input is
# written to build-fuzz/crashes/TARGET/: minimise it, add it to
# fuzz/crashes/TARGET/ with the fix, and the normal test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${WREN_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}

install_clang() {
    local missing=()
    for p in clang libclang-rt-14-dev; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

build() {
    install_clang
    if [ ! -f "$BUILD/build.ninja" ]; then
        CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DWREN_FUZZ=ON -DWREN_BUILD_TESTS=OFF -DWREN_BUILD_BENCH=OFF
    fi
    cmake --build "$BUILD" --parallel "$(nproc)"
}

targets() {
    for f in "$ROOT"/fuzz/targets/*.cpp; do basename "$f" .cpp; done
}

# run_one TARGET SECONDS JOBS [options]: one target; exit status 0 when clean.
run_one() {
    local target=$1 seconds=$2 jobs=$3
    shift 3
    local corpus="$BUILD/corpus/$target" crashes="$BUILD/crashes/$target"
    mkdir -p "$corpus" "$crashes"
    local extra=()
    [ "$jobs" -gt 1 ] && extra=(-jobs="$jobs" -workers="$jobs")
    ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        "$BUILD/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
        -artifact_prefix="$crashes/" -print_final_stats=1 "${extra[@]}" "$@" "$corpus" "$ROOT/fuzz/corpus/$target"
}

case "${1:-}" in
build)
    build
    ;;
list)
    targets
    ;;
run)
    [ $# -ge 2 ] || { echo "usage: $0 run TARGET [SECONDS] [JOBS] [options]" >&2; exit 2; }
    target=$2
    seconds=${3:-600}
    jobs=${4:-1}
    shift $(($# < 4 ? $# : 4))
    build
    run_one "$target" "$seconds" "$jobs" "$@"
    ;;
all)
    seconds=${2:-20}
    parallel=${3:-4}
    build
    logs="$BUILD/logs"
    mkdir -p "$logs"
    failed=0
    pids=()
    names=()
    for target in $(targets); do
        run_one "$target" "$seconds" 1 >"$logs/$target.log" 2>&1 &
        pids+=($!)
        names+=("$target")
        while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do sleep 1; done
    done
    passed=0
    for i in "${!pids[@]}"; do
        if wait "${pids[$i]}"; then
            passed=$((passed + 1))
            echo "fuzz ${names[$i]}: clean, $(grep -ho 'stat::number_of_executed_units: *[0-9]*' "$logs/${names[$i]}.log" | grep -o '[0-9]*$' | tail -1) executions"
        else
            echo "fuzz ${names[$i]}: FAILED (log: $logs/${names[$i]}.log)"
            tail -40 "$logs/${names[$i]}.log"
            failed=$((failed + 1))
        fi
    done
    echo "fuzz: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    ;;
*)
    sed -n '2,14p' "$0"
    exit 2
    ;;
esac
