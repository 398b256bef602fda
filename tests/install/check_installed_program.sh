#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts each installed program far enough to
# show where it finds its files: the data folder <prefix>/share/pagersetup, the "setup.ini"
# there, and the brand's help manual.
#   check_installed_program.sh BUILD-DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
data="$prefix/share/pagersetup"

for program in xjsetup zqsetup; do
    manual=$([ "$program" = xjsetup ] && echo XJSETUP.PDF || echo ZQSETUP.PDF)
    log="$work/$program.log"
    mkdir -p "$work/$program/home" "$work/$program/config" "$work/$program/data" "$work/$program/tmp"
    HOME="$work/$program/home" XDG_CONFIG_HOME="$work/$program/config" XDG_DATA_HOME="$work/$program/data" \
        TMPDIR="$work/$program/tmp" QT_QPA_PLATFORM=offscreen \
        QT_LOGGING_RULES="pagersetup.files.debug=true;qt.qpa.*=false" \
        "$prefix/bin/$program" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 300); do
        grep -q 'help manual:' "$log" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
    cat "$log"
    grep -q "data folder: \"$data\"" "$log"
    grep -q "setup.ini: \"$data/setup.ini\" found" "$log"
    grep -q "help manual: \"$data/$manual\" found" "$log"
done
