#!/usr/bin/env bash
# Builds everything and runs the transfer benchmarks: a full database read, detection, full writes
# and 200 TAP test pages against the simulated encoder paced at 9600 baud. Each prints its wall
# time, the bytes on the line, the line-time floor and their ratio. Then the soak: a range test
# of 10,000 TAP pages, the program's memory growth and the pages received against those sent.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

# Besides those figures each transfer shows the longest stall of the main window's event loop.
# The benchmarks run first, with nothing else beside them; then the whole test suite at -j8,
# and its wall time is printed.
export QT_QPA_PLATFORM=offscreen
build/bench/bench_read 3 2>/dev/null
build/bench/bench_write 2>/dev/null
build/bench/bench_paging 200 2>/dev/null
build/bench/bench_soak 10000 2>/dev/null

# The test suite as scripts/test.sh runs it, eight at a time.
start=$(date +%s.%N)
status=0
(cd build && ctest --output-on-failure -j8 --timeout 300) || status=$?
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { printf "test suite: %.0f s at -j8\n", e - s }'
exit "$status"
