#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs the whole test suite (offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGERSETUP_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)"
cd build && ctest --output-on-failure -j "$(nproc)" --timeout 300
