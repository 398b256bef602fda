#!/usr/bin/env bash
# Runs a program with its COM 1 cabled to a simulated encoder (a pseudo-terminal):
#   scripts/with-simulated-encoder.sh BUILD-DIR PROGRAM [ARGUMENTS...]
# BUILD-DIR holds the built simulated encoder (tools/encoder-sim/encoder-sim). The program runs
# with a configuration folder of its own for this session, whose stored preferences lead COM 1
# of both brands to the encoder, so the user's own preferences are left as they are. The
# encoder's line traffic goes to a log file whose name is printed; it stops with the program.
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)

session=$(mktemp -d "${TMPDIR:-/tmp}/pagersetup-simulator.XXXXXX")
link="$session/encoder-com1"
log="$session/encoder.log"
sim=""
cleanup() {
    if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; fi
    rm -rf "$session/config" "$link"
}
trap cleanup EXIT

encoder="$build/tools/encoder-sim/encoder-sim"
if [ -x "$encoder" ]; then
    "$encoder" --link "$link" --preset demo --no-stdin --quiet --log "$log" >"$session/encoder.out" 2>&1 &
    sim=$!
    for _ in $(seq 50); do
        [ -e "$link" ] && break
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.1
    done
fi
if [ ! -e "$link" ]; then
    echo "The simulated encoder did not come up ($encoder)." >&2
    [ -s "$session/encoder.out" ] && cat "$session/encoder.out" >&2
    exit 1
fi

# COM 1 leads to the simulated encoder: stored preferences, section "Ports", key "COM1" (see
# the README), in this session's own configuration folder.
export XDG_CONFIG_HOME="$session/config"
for title in "Solvendra Paging Encoder Setup" "Kestrane Paging Encoder Setup"; do
    bash "$here/set-port.sh" "$XDG_CONFIG_HOME/pagersetup/$title.ini" COM1 "$link"
done

echo "Simulated encoder on $link (COM 1); its line traffic goes to $log"
"$@"
