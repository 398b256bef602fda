#!/usr/bin/env bash
# Installs what the build needs, builds the program and the simulated encoder, and starts
# xjsetup with its COM 1 cabled to a simulated encoder (a pseudo-terminal). The program runs
# with a configuration folder of its own, so the user's stored preferences stay as they are;
# the encoder's line traffic goes to a log file whose name is printed. Closing the program
# stops the encoder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DPAGERSETUP_TESTS=OFF -DPAGERSETUP_BENCH=OFF >/dev/null
cmake --build build-run -j "$(nproc)" --target xjsetup encoder-sim
exec bash scripts/with-simulated-encoder.sh build-run build-run/src/app/xjsetup
