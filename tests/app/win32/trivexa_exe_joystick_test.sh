#!/bin/sh
# The real trivexa.exe under Wine with the virtual joystick, through Wine's
# own HID stack: winebus in its direct hidraw mode opens the fixture's
# /dev/hidrawN, and the program's Windows backend finds the joystick with
# SetupAPI and hid.dll among the other interfaces.
#
# trivexactl.exe lists the same interfaces meanwhile.
#
#   trivexa_exe_joystick_test.sh WINE-RUN WINE PREFIX TRIVEXA-EXE WORK-FOLDER VJOY-RUN TRIVEXACTL-EXE
#
# Runs on the display of xvfb-run; the screenshots and the fixture's log
# stay in WORK-FOLDER.
set -u
wine_run=$1 wine=$2 prefix=$3 exe=$4 work=$5 vjoy_run=$6 ctl=$7

. "$(dirname "$0")/wine_window_checks.sh"
shot() {  # name
  xwd -id "$window" -silent 2>/dev/null | convert xwd:- "$work/$1.png" 2>/dev/null
}
wait_for() {  # seconds command...
  limit=$1
  shift
  for _ in $(seq $((limit * 4))); do
    "$@" && return 0
    sleep 0.25
  done
  return 1
}
label_is() {  # r,g,b
  shot label
  [ "$(pixel "$work/label.png" 384 24 2>/dev/null)" = "$1" ]
}
log_has() { grep -q "$1" "$log"; }
finish() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  # winebus rereads a dead node without pause: keep the log's head only.
  [ -f "$work/vjoy-unplug.log" ] && sed -i 5000q "$work/vjoy-unplug.log"
  echo "screenshots and the fixture's log in $work"
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
  exit 0
}

rm -rf "$work"
folder="$work/program"
mkdir -p "$folder"
cp "$exe" "$folder/trivexa.exe"
log="$work/vjoy.log"
cat >"$work/joystick.scenario" <<'SCENARIO'
hidraw 0 vendor=0x046d product=0xc52b name="Logitech USB Receiver"
hidraw 1 vendor=0x0079 product=0x0026 name="USB Joystick" firmware delay=2
SCENARIO

# winebus reads /dev/hidraw* itself rather than asking udevd or SDL. The
# options are set first; then the Wine server starts afresh under the
# fixture with the program, so that winebus runs inside the fixture too.
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
key='HKLM\System\CurrentControlSet\Services\winebus'
for option in "DisableUdevd 1" "Enable SDL 0" "DisableInput 1"; do
  value=${option##* }
  name=${option% *}
  "$wine_run" "$wine" "$prefix" reg add "$key" /v "$name" /t REG_DWORD /d "$value" /f \
    >/dev/null 2>&1 || fail "registry option $name"
done
WINEPREFIX="$prefix" wineserver -w

(cd "$folder" && exec "$vjoy_run" "$work/joystick.scenario" "$log" -- \
  "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
app=$!
window=$(wait_for_window) || { fail "no window within 60 s"; finish; }

if wait_for 30 label_is 0,255,0; then echo "ok: the connection label turned green"; else
  fail "the connection label did not turn green"
  finish
fi
wait_for 10 log_has 'write hidraw1 .* bytes=006a' ||
  fail "no position query reached the joystick"
sleep 1.5
shot connected
check "connection label, connected" "0,255,0" "$(pixel "$work/connected.png" 384 24)"
# The status line now carries the device's reply, longer than the
# placeholder: it reaches further right.
reach=$(convert "$work/connected.png" -crop 433x17+48+216 +repage -fill white -opaque 'rgb(255,255,192)' \
  -fill black +opaque white -trim -format '%[fx:page.x+w]' info:)
[ "$reach" -gt 330 ] && echo "ok: the status line shows the device's reply" ||
  fail "the status line ends at x=$reach"
grep -q 'open /dev/hidraw0' "$log" && echo "ok: winebus opened the other interface too" ||
  fail "the other interface was not seen"
grep -q 'write hidraw0' "$log" && fail "something was written to the other interface" ||
  echo "ok: nothing was written to the other interface"

# trivexactl lists what winebus shows, while the window keeps the joystick:
# paths as Windows gives them, one backslash each, and the joystick numbered
# without a port, since Wine's bus tells none.
listed=$("$wine_run" "$wine" "$prefix" "$ctl" list 2>&1 | tr -d '\r')
if printf '%s\n' "$listed" | grep -qE '^\\\\\?\\hid#[^ \\]+  0079:0026  in 9 out 65  "USB Joystick"  <- joystick 1$'; then
  echo "ok: trivexactl list shows the joystick's path as Windows gives it, as joystick 1"
else
  fail "trivexactl list: $listed"
fi
printf '%s\n' "$listed" | grep -q '046d:c52b' && echo "ok: trivexactl list shows the other interface" ||
  fail "trivexactl list lacks the other interface: $listed"

# Choose the next dead zone entry (index 6) from the keyboard; Return in
# the list writes nothing. Then Return on Write EEPROM: 00 3A with the four
# indexes reaches the firmware, and the file keeps them.
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Tab Tab Down Return
sleep 1.5
grep -q 'write hidraw1 .* bytes=003a' "$log" && fail "Return in a list wrote the EEPROM" ||
  echo "ok: Return in a list writes nothing"
xdotool key shift+Tab shift+Tab
sleep 0.5
xdotool key Return
if wait_for 10 log_has 'firmware hidraw1 eeprom=6,5,2,1'; then
  echo "ok: the firmware's EEPROM holds 6,5,2,1"
else
  fail "no EEPROM write of 6,5,2,1"
fi
grep -q 'write hidraw1 .* bytes=003a06050201' "$log" && echo "ok: the write report is 00 3A 06 05 02 01" ||
  fail "no write report 00 3A 06 05 02 01"
expected=$(printf '[TRIVEXA]\r\nDeadZoneAngle= 6\r\nMaximumAngleOffset= 5\r\nMoveThreshold= 2\r\nTimeInterval= 1\r\n' | od -An -c)
wait_for 5 test -f "$folder/JOYSTICK.INI"
check "JOYSTICK.INI after the write" "$expected" "$(od -An -c "$folder/JOYSTICK.INI" 2>/dev/null)"

# EXIT: one close command, then the program ends.
xdotool mousemove --window "$window" 460 160 click 1
if wait_for 30 sh -c "! kill -0 $app 2>/dev/null"; then
  wait "$app"
  check "exit status after EXIT" 0 $?
  app=
else
  fail "EXIT did not end the program"
fi
check "close commands sent" 1 "$(grep -c 'write hidraw1 .* bytes=00aa' "$log")"
check "close commands the firmware took" 1 "$(grep -c 'firmware hidraw1 close' "$log")"

# Unplugged while polled: winebus sees hidrawN leave /dev (inotify, as
# without udevd), drops the interface and closes the node; the failing
# exchange marks the link lost, the label turns red and stays red, since no
# search finds the joystick any more. The first session must be gone
# first: a Wine process started while its server is still exiting joins it,
# and the old winebus, outside this scenario, serves the program.
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w
log="$work/vjoy-unplug.log"
cat >"$work/unplug.scenario" <<'SCENARIO'
hidraw 0 vendor=0x0079 product=0x0026 name="USB Joystick" firmware delay=2
unplug 0 after=0x6a*2+300
SCENARIO
(cd "$folder" && exec "$vjoy_run" "$work/unplug.scenario" "$log" -- \
  "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
app=$!
window=$(wait_for_window) || { fail "no window within 60 s"; finish; }
wait_for 30 label_is 0,255,0 || fail "the joystick was not found"
wait_for 20 log_has 'unplug hidraw0' || fail "the scenario did not unplug"
if wait_for 15 label_is 255,0,0; then echo "ok: unplugged, the label turned red"; else
  fail "the label stayed green after the unplug"
fi
wait_for 10 log_has 'close hidraw0' && echo "ok: winebus closed the unplugged node" ||
  fail "winebus kept the unplugged node open"
sleep 2.5
label_is 255,0,0 && echo "ok: the label stays red two ticks later" ||
  fail "the label turned green again without a joystick"
shot unplugged
kill "$app" 2>/dev/null
app=

# Two joysticks, numbered by path; trivexactl tells which node is number 2,
# which trivexa.exe --device 2 names, writes to and closes alone.
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w
log="$work/vjoy-two.log"
printf 'hidraw %s vendor=0x0079 product=0x0026 name="USB Joystick" firmware eeprom=%s\n' \
  0 1,1,1,1 1 2,2,2,2 >"$work/two.scenario"
# winebus adds the nodes a moment after the Wine server starts, and a
# --device that names no joystick present ends either program: each run
# waits until list shows both joysticks, then starts its command.
after_two() {  # log command...
  log_file=$1
  shift
  cd "$folder" && exec "$vjoy_run" "$work/two.scenario" "$log_file" -- sh -c '
    run=$0 wine=$1 prefix=$2 ctl=$3
    shift 3
    for _ in $(seq 60); do
      [ "$("$run" "$wine" "$prefix" "$ctl" list 2>/dev/null | grep -c "<- joystick")" = 2 ] && break
      sleep 0.5
    done
    exec "$run" "$wine" "$prefix" "$@"' "$wine_run" "$wine" "$prefix" "$ctl" "$@"
}
two=$(after_two "$work/vjoy-two-ctl.log" "$ctl" status --device 2 2>&1)
case $two in
  *"1.5deg, -4, 2, 20ms"*) second=hidraw0 other=hidraw1 ;;
  *"2.0deg, -3, 3, 30ms"*) second=hidraw1 other=hidraw0 ;;
  *) second=none other=none; fail "trivexactl status --device 2 read neither joystick: $two" ;;
esac
WINEPREFIX="$prefix" wineserver -w
(after_two "$log" ./trivexa.exe --device 2) &
app=$!
window=$(wait_for_window) || { fail "no window within 60 s"; finish; }
wait_for 30 label_is 0,255,0 || fail "joystick 2 was not found"
check "title with --device 2" "Trivexa — joystick 2" "$(xdotool getwindowname "$window" 2>/dev/null)"
"$wine_run" "$wine" "$prefix" "$folder/trivexa.exe" --device 1 2>&1 >/dev/null | grep -q "for joystick 2, not joystick 1;" &&
  echo "ok: a second launch names the window's joystick" || fail "a second launch said nothing of joystick 2"
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Return
wait_for 10 log_has "firmware $second eeprom=" && echo "ok: Write EEPROM reached joystick 2" ||
  fail "no EEPROM write on joystick 2 ($second)"
shot device-two
xdotool mousemove --window "$window" 460 160 click 1
wait_for 30 sh -c "! kill -0 $app 2>/dev/null" || fail "EXIT did not end the program"
app=
check "close commands to joystick 2" 1 "$(grep -c "firmware $second close" "$log")"
check "writes to the other joystick" 0 "$(grep -c "write $other " "$log")"
finish
