#!/bin/sh
# The real trivexa.exe under Wine on a virtual X server, as a user meets it:
# its controls, colours and sizes, the settings file beside the program in a folder
# named outside ASCII, a second copy that ends at once, Tab and Space, a
# click on "Write EEPROM" without a joystick, EXIT, and the window at 144
# dpi started from a folder of a long path.
#
#   trivexa_exe_test.sh WINE-RUN WINE PREFIX TRIVEXA-EXE WORK-FOLDER
#
# Runs on the display of xvfb-run; the screenshots stay in WORK-FOLDER.
set -u
wine_run=$1 wine=$2 prefix=$3 exe=$4 work=$5

. "$(dirname "$0")/wine_window_checks.sh"
wait_for_exit() {  # pid seconds
  for _ in $(seq $(($2 * 4))); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.25
  done
  return 1
}
set_dpi() {  # dots per inch of Wine's screen; 96 is Windows' 100 %
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  "$wine_run" "$wine" "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1 || fail "LogPixels $1"
  WINEPREFIX="$prefix" wineserver -w
}
finish() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  # The prefix is shared with the other window tests.
  set_dpi 96
  echo "screenshots in $work"
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
  exit 0
}

rm -rf "$work"
set_dpi 96
folder="$work/Spiele/Prüfstand"
second="$work/second"
mkdir -p "$folder" "$second"
cp "$exe" "$folder/trivexa.exe"
cp "$exe" "$second/trivexa.exe"

# --version with nowhere to write (a start from Explorer): a box Return closes.
(cd "$second" && exec "$wine_run" "$wine" "$prefix" ./trivexa.exe --version >&- 2>&-) &
version=$!
# The box is found before it is mapped, and cannot take the focus until then.
press_return() {  # window
  for _ in $(seq 40); do
    xdotool windowfocus --sync "$1" key Return 2>/dev/null && return 0
    sleep 0.25
  done
  return 1
}
if box=$(wait_for_window) && press_return "$box" && wait_for_exit $version 30 &&
  [ ! -e "$second/JOYSTICK.INI" ]; then echo "ok: --version in a box"
else
  fail "--version without an output showed no box that Return closes"
  kill $version 2>/dev/null
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
fi

(cd "$folder" && exec "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
app=$!
window=$(wait_for_window) || { fail "no window within 60 s"; finish; }

geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
check "client area" "564x265" "$geometry"

sleep 1  # the first tick has run, and painted
xwd -id "$window" -silent | convert xwd:- "$work/window.png"
check "window background" "255,255,192" "$(pixel "$work/window.png" 4 4)"
check "status label background" "255,255,192" "$(pixel "$work/window.png" 49 217)"
check "Write EEPROM face" "255,192,255" "$(pixel "$work/window.png" 413 70)"
check "EXIT face" "255,192,255" "$(pixel "$work/window.png" 413 148)"
check "connection label, top left" "255,0,0" "$(pixel "$work/window.png" 384 24)"
red=$(convert "$work/window.png" -crop 130x16+384+24 +repage -fill black +opaque 'rgb(255,0,0)' \
  -fill white -opaque 'rgb(255,0,0)' -format '%[fx:int(mean*w*h)]' info:)
[ "$red" -gt 1000 ] && echo "ok: connection label is red ($red pixels)" ||
  fail "connection label: only $red red pixels"

# The status line shows its placeholder: text on the yellow.
text=$(convert "$work/window.png" -crop 433x17+48+216 +repage -fill white -opaque 'rgb(255,255,192)' \
  -fill black +opaque white -format '%[fx:int((1-mean)*w*h)]' info:)
[ "$text" -gt 200 ] && echo "ok: the status line shows text ($text text pixels)" ||
  fail "the status line is blank ($text text pixels)"

# The settings file: created beside the program, in the platform's CRLF.
expected=$(printf '[TRIVEXA]\r\nDeadZoneAngle=5\r\nMaximumAngleOffset=5\r\nMoveThreshold=2\r\nTimeInterval=1\r\n' | od -An -c)
check "new JOYSTICK.INI" "$expected" "$(od -An -c "$folder/JOYSTICK.INI" 2>/dev/null)"

# A second copy ends at once: no window, no settings file of its own.
(cd "$second" && exec "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
copy=$!
if wait_for_exit "$copy" 60; then
  wait "$copy"
  check "second copy's exit status" 0 $?
else
  fail "the second copy is still running"
  kill "$copy" 2>/dev/null
fi
check "windows named Trivexa" 1 "$(window_ids | wc -l)"
[ -e "$second/JOYSTICK.INI" ] && fail "the second copy created its settings file" ||
  echo "ok: the second copy left no settings file"

# Without a joystick a click on Write EEPROM neither sends nor saves.
before=$(od -An -c "$folder/JOYSTICK.INI")
xdotool mousemove --window "$window" 460 85 click 1
sleep 2
check "JOYSTICK.INI after Write EEPROM without a joystick" "$before" "$(od -An -c "$folder/JOYSTICK.INI")"

# Tab moves the focus from Write EEPROM to EXIT; Space presses it.
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Tab
sleep 1
xwd -id "$window" -silent | convert xwd:- "$work/after-tab.png"
xdotool key space
if wait_for_exit "$app" 30; then
  wait "$app"
  check "exit status after EXIT" 0 $?
  app=
else
  fail "EXIT did not end the program"
fi
check "windows left" 0 "$(window_ids | wc -l)"

# At 144 dpi (150 %) the client area and every control are half again as
# large as at 96 dpi. This copy runs from a folder whose Windows path is
# longer than 260 characters: nothing in the program cuts it short.
set_dpi 144
long="$work"
for part in 1 2 3 4 5 6 7 8; do long="$long/Ordner mit einem langen Namen $part"; done
mkdir -p "$long"
cp "$exe" "$long/trivexa.exe"
(cd "$long" && exec "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
app=$!
window=$(wait_for_window) || { fail "no window at 144 dpi within 60 s"; finish; }
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
check "client area at 144 dpi" "846x398" "$geometry"
sleep 1
xwd -id "$window" -silent | convert xwd:- "$work/window-144dpi.png"
# The 96-dpi points above, times 1.5, and the edges of Write EEPROM (408,64
# to 514,107 at 96 dpi).
check "Write EEPROM face at 144 dpi" "255,192,255" "$(pixel "$work/window-144dpi.png" 620 105)"
check "EXIT face at 144 dpi" "255,192,255" "$(pixel "$work/window-144dpi.png" 620 222)"
check "connection label at 144 dpi" "255,0,0" "$(pixel "$work/window-144dpi.png" 576 36)"
check "left of Write EEPROM at 144 dpi" "255,255,192" "$(pixel "$work/window-144dpi.png" 610 130)"
check "right of Write EEPROM at 144 dpi" "255,255,192" "$(pixel "$work/window-144dpi.png" 773 130)"
check "below Write EEPROM at 144 dpi" "255,255,192" "$(pixel "$work/window-144dpi.png" 690 162)"
check "inside Write EEPROM's lower right at 144 dpi" "255,192,255" \
  "$(pixel "$work/window-144dpi.png" 766 154)"
[ -f "$long/JOYSTICK.INI" ] && echo "ok: JOYSTICK.INI in a folder of ${#long}+ characters" ||
  fail "no JOYSTICK.INI in the long folder"
kill "$app" 2>/dev/null
app=
finish
