#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Options: --sanitize builds into build-sanitize with AddressSanitizer, UBSan and LSan.
set -euo pipefail
cd "$(dirname "$0")"
dir=build
flags=(-DMETER_BUILD_TESTS=ON -DMETER_BUILD_BENCH=ON)
if [ "${1:-}" = --sanitize ]; then
    dir=build-sanitize
    flags=(-DMETER_BUILD_TESTS=ON -DMETER_SANITIZE=ON -DMETER_BUILD_BENCH=OFF)
fi
scripts/setup.sh test
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
cd "$dir"
ctest --output-on-failure -j"$(nproc)"
