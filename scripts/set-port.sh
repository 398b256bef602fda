#!/usr/bin/env bash
# Points one COM number of a brand's stored preferences at a device path:
#   scripts/set-port.sh STORE-FILE COMn PATH
# STORE-FILE is "<config folder>/pagersetup/<brand window title>.ini".
set -euo pipefail
file=$1 key=$2 value=$3
mkdir -p "$(dirname "$file")"
touch "$file"
awk -v s="[Ports]" -v k="$key" -v v="$value" '
    /^\[/ { if (insec && !done) { print k "=" v; done = 1 } insec = ($0 == s) }
    insec && index($0, k "=") == 1 { if (!done) { print k "=" v; done = 1 } next }
    { print }
    END { if (!done) { if (!insec) print s; print k "=" v } }' "$file" > "$file.tmp"
mv "$file.tmp" "$file"
