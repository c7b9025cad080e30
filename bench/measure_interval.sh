#!/usr/bin/env bash
# Cadence of the poll ticks while the (virtual) joystick is connected, and
# the time from the end of a write command to the next tick, on a real X
# server (Xvfb, Qt's xcb platform).
#   bench/measure_interval.sh BUILD_DIR
# A tick begins with its status query (0x5A); the write command ends 30 ms
# after its 0x3A report.
set -euo pipefail
build="$(realpath "${1:?build folder holding bin/trivexa and bin/vjoy-run}")"

work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
sleep 1

printf 'hidraw 0 vendor=0x0079 product=0x0026 name="USB Joystick" firmware delay=2\n' \
  >"$work/scenario"
cp "$build/bin/trivexa" "$work/trivexa"
DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" \
  "$build/bin/vjoy-run" "$work/scenario" "$work/log" -- "$work/trivexa" 2>/dev/null &
pid=$!
window=$(DISPLAY="$display" xdotool search --sync --name '^Trivexa$' | head -1)
sleep 8
# "Write EEPROM": (6120 + 1590/2, 960 + 645/2) twips at 96 dpi.
DISPLAY="$display" xdotool mousemove --window "$window" 461 85 click 1
sleep 8
kill -TERM "$pid"
wait "$pid" || true

# The command byte of a written report is the second byte of "bytes=".
awk '
  $3 == "write" { code = substr($NF, 9, 2); t = $1
    if (code == "5a") last5a = t
    if (code == "6a") { starts[++n] = last5a }
    if (code == "3a") { written = t; after = n } }
  END {
    min = 1e9; max = 0
    for (i = 2; i <= n; i++) {
      if (i == after + 1) continue
      d = starts[i] - starts[i - 1]; if (d < min) min = d; if (d > max) max = d; count++
    }
    printf "%d tick intervals while polling: %.1f to %.1f ms\n", count, min, max
    if (written) printf "write command ended at %.1f ms, next tick %.1f ms later\n", written + 30, starts[after + 1] - written - 30
  }' "$work/log"
