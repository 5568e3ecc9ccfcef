#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application on the simulated meter.
set -euo pipefail
cd "$(dirname "$0")"
headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
fi
scripts/setup.sh build
[ $headless -eq 1 ] && scripts/setup.sh test
cmake -S . -B build -DMETER_BUILD_TESTS=OFF -DMETER_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
# The simulated meter stands its adapter in with the first serial port the system lists; on a
# machine that lists none, it describes a virtual adapter so that Connect still works.
if ! ls /sys/class/tty/*/device >/dev/null 2>&1; then
    export METER_SIM_PORT="${METER_SIM_PORT:-virtual}"
fi
# The translations and the manual are looked up relative to the working directory.
cd build/bin
if [ $headless -eq 1 ]; then
    echo "No display found: starting on a virtual display (xvfb-run)." >&2
    exec xvfb-run -a ./ht-meter "$@"
fi
exec ./ht-meter "$@"
