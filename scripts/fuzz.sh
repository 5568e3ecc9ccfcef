#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each of them for a while on a copy of its
# corpus. Fails on any crash, leak, timeout (more than 2 s for one input) or run on memory
# (more than 2 GB). Usage: scripts/fuzz.sh [seconds per harness, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/setup.sh fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DMETER_BUILD_FUZZ=ON \
    -DMETER_BUILD_TESTS=OFF -DMETER_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target meter_fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run_one() {
    local harness=$1 name=${1#fuzz_}
    local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=2048 -timeout=2
        -print_final_stats=1)
    [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
    mkdir -p "$work/$name"
    # New inputs go to the scratch folder; the committed corpus is only read.
    if build-fuzz/fuzz/"$harness" "${args[@]}" "$work/$name" "fuzz/corpus/$name" \
        >"$work/$name.log" 2>&1; then
        echo "fuzz $name: $(grep -E '^#[0-9]+.*DONE' "$work/$name.log" | tail -1)"
    else
        echo "fuzz $name: FAILED" >&2
        tail -60 "$work/$name.log" >&2
        return 1
    fi
}

# As many harnesses at a time as there are processors.
status=0
pids=()
for path in build-fuzz/fuzz/fuzz_*; do
    [ -f "$path" ] && [ -x "$path" ] || continue
    run_one "$(basename "$path")" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$(nproc)" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
