#!/usr/bin/env bash
# Start-up to the first painted window and resident memory after a minute
# idle with no joystick, under Qt's offscreen platform.
set -euo pipefail
bin="${1:?path to trivexa_app_bench}"
idle="${2:-60}"
QT_QPA_PLATFORM=offscreen "$bin" "$(date +%s%N)" "$idle"
