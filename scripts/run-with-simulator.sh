#!/usr/bin/env bash
# Installs what the build needs, builds the program and the simulated encoder, and starts
# xjsetup with its COM 1 cabled to a simulated encoder (a pseudo-terminal). The encoder's line
# traffic is written to /tmp/pagersetup-encoder.log. Closing the program stops the encoder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DPAGERSETUP_TESTS=OFF -DPAGERSETUP_BENCH=OFF >/dev/null
cmake --build build-run -j "$(nproc)" --target xjsetup encoder-sim

link=/tmp/pagersetup-encoder-com1
build-run/tools/encoder-sim/encoder-sim --link "$link" --preset demo --no-stdin --quiet \
    --log /tmp/pagersetup-encoder.log >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

# COM 1 of the Solvendra program leads to the simulated encoder: stored preferences, section
# "Ports", key "COM1" (see the README).
store="${XDG_CONFIG_HOME:-$HOME/.config}/pagersetup/Solvendra Paging Encoder Setup.ini"
bash scripts/set-port.sh "$store" COM1 "$link"

echo "Simulated encoder on $link (COM 1); its line traffic goes to /tmp/pagersetup-encoder.log"
build-run/src/app/xjsetup
