#!/usr/bin/env bash
# scripts/with-simulated-encoder.sh leaves the user's stored preferences as they were, starts
# the program with COM 1 leading to the simulated encoder, and says so plainly when the
# encoder does not come up.
#   check_simulated_session.sh SOURCE-DIR BUILD-DIR
set -euo pipefail
source=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The user's own preferences: COM 1 is their real adapter.
export XDG_CONFIG_HOME="$work/user-config" TMPDIR="$work"
user="$XDG_CONFIG_HOME/pagersetup/Solvendra Paging Encoder Setup.ini"
mkdir -p "$(dirname "$user")"
printf '[Ports]\nCOM1=/dev/ttyUSB0\n' > "$user"
cp "$user" "$work/before"

# The "program" reports what it was given: its stored COM 1 and whether the device is there.
cat > "$work/program" <<'PROGRAM'
#!/usr/bin/env bash
store="$XDG_CONFIG_HOME/pagersetup/Solvendra Paging Encoder Setup.ini"
com1=$(sed -n 's/^COM1=//p' "$store")
[ -e "$com1" ] && echo "COM1 leads to a device: $com1"
PROGRAM
chmod +x "$work/program"

out=$(bash "$source/scripts/with-simulated-encoder.sh" "$build" "$work/program")
echo "$out"
echo "$out" | grep -q "COM1 leads to a device: $work/pagersetup-simulator"
cmp "$user" "$work/before"                                     # the user's preferences as they were
[ -z "$(ls -A "$XDG_CONFIG_HOME/pagersetup" | grep -v 'Solvendra Paging Encoder Setup.ini')" ]

# No encoder: a plain message and a failure, nothing started.
if err=$(bash "$source/scripts/with-simulated-encoder.sh" "$work/no-build" "$work/program" 2>&1); then
    echo "started without an encoder" >&2
    exit 1
fi
echo "$err" | grep -q "The simulated encoder did not come up"
cmp "$user" "$work/before"
