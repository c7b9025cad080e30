#!/usr/bin/env bash
# Time from a click on EXIT to the end of the program while the window scans
# K HID interfaces without a joystick (K x 100 ms per scan), on a real X
# server (Xvfb, Qt's xcb platform) and the virtual joystick's interfaces.
#   bench/measure_click.sh BUILD_DIR [K...]      (default K: 16 50)
# Prints, per K, when the click was made and when the program had ended,
# both in seconds since it started. The effect includes the 300 ms of the
# close sequence.
set -euo pipefail
build="$(realpath "${1:?build folder holding bin/trivexa and bin/vjoy-run}")"
shift
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(16 50)
click_at=3.0

work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
sleep 1

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }

for k in "${counts[@]}"; do
  scenario="$work/k$k.scenario"
  : >"$scenario"
  for ((i = 0; i < k; i++)); do
    printf 'hidraw %d vendor=0x046d product=0x%04x name="Mouse %d"\n' "$i" "$((0xc000 + i))" "$i" \
      >>"$scenario"
  done
  mkdir -p "$work/k$k"
  log="$work/k$k.log"
  rm -f "$log"
  cp "$build/bin/trivexa" "$work/k$k/trivexa"
  start=$(now)
  DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" \
    "$build/bin/vjoy-run" "$scenario" "$log" -- "$work/k$k/trivexa" 2>/dev/null &
  pid=$!
  window=$(DISPLAY="$display" xdotool search --sync --name '^Trivexa$' | head -1)
  # EXIT's centre: (6120 + 1590/2, 2160 + 525/2) twips at 96 dpi.
  delay=$(calc "$start + $click_at - $(now)")
  case "$delay" in -*) ;; *) sleep "$delay" ;; esac
  clicked=$(now)
  DISPLAY="$display" xdotool mousemove --window "$window" 461 161 click 1
  wait "$pid" || true
  ended=$(now)
  click_ms=$(calc "($clicked - $start) * 1000")
  end_ms=$(calc "($ended - $start) * 1000")
  # Scans from the fixture's log (its times count from the program's start,
  # a few ms after ours): a scan opens hidraw0 first and closes the last one
  # last.
  awk -v k="$k" -v click="$click_ms" -v end="$end_ms" '
    $3 == "open" && $4 == "/dev/hidraw0" { begin[++n] = $1 }
    $3 == "close" && $4 == "hidraw" (k - 1) { finish[n] = $1 }
    END {
      after = 0; busy = "between scans"; done_at = click
      for (i = 1; i <= n; i++) {
        if (begin[i] > click) after++
        else if (finish[i] >= click) { busy = sprintf("during scan %.2f-%.2f s", begin[i] / 1000, finish[i] / 1000); done_at = finish[i] }
      }
      printf "K=%-3d click at %.2f s (%s), program ended at %.2f s: %.2f s after the click, %.2f s after the scan in progress; scans begun after the click: %d\n",
        k, click / 1000, busy, end / 1000, (end - click) / 1000, (end - done_at) / 1000, after
    }' "$log"
done
