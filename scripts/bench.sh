#!/usr/bin/env bash
# Builds and runs the transfer benchmarks: a full database read, detection and full writes
# against the simulated encoder paced at 9600 baud. Each prints its wall time, the bytes on
# the line, the line-time floor and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target bench_read bench_write
export QT_QPA_PLATFORM=offscreen
build/bench/bench_read 3 2>/dev/null
build/bench/bench_write 2>/dev/null
