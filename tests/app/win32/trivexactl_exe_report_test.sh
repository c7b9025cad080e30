#!/bin/sh
# A problem report made by trivexactl.exe under Wine, with the virtual
# joystick behind Wine's own HID stack, replays there: `list` and `status`
# under the report print what they printed under the scenario. The report
# writes no EEPROM and sends one close command.
#
#   trivexactl_exe_report_test.sh WINE-RUN WINE PREFIX TRIVEXACTL-EXE WORK-FOLDER VJOY-RUN
set -u
wine_run=$1 wine=$2 prefix=$3 exe=$4 work=$5 vjoy_run=$6

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# A fresh Wine server for every run: one still running from the last run
# would serve the next with the last scenario's devices.
fresh() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w
}
rm -rf "$work"
mkdir -p "$work"
cp "$exe" "$work/trivexactl.exe"
cat >"$work/joystick.scenario" <<'SCENARIO'
hidraw 0 vendor=0x046d product=0xc52b name="Logitech USB Receiver"
hidraw 1 vendor=0x0079 product=0x0026 name="USB Joystick" firmware delay=2 eeprom=8,1,3,2
SCENARIO

# winebus reads /dev/hidraw* itself, as in the window's joystick test.
fresh
key='HKLM\System\CurrentControlSet\Services\winebus'
for option in "DisableUdevd 1" "Enable SDL 0" "DisableInput 1"; do
  "$wine_run" "$wine" "$prefix" reg add "$key" /v "${option% *}" /t REG_DWORD /d "${option##* }" /f \
    >/dev/null 2>&1 || fail "registry option ${option% *}"
done

# One Wine session under SCENARIO with its log in LOG: winebus adds the
# fixture's nodes a moment after the Wine server starts, so the commands
# wait until `list` shows the joystick, then run COMMANDS (a shell script
# in which $ctl runs trivexactl.exe).
session() {  # scenario log commands
  fresh
  (cd "$work" && "$vjoy_run" "$1" "$2" -- sh -c '
    run=$0 wine=$1 prefix=$2
    ctl() { "$run" "$wine" "$prefix" ./trivexactl.exe "$@"; }
    for _ in $(seq 60); do ctl list 2>/dev/null | grep -q 0079:0026 && break; sleep 0.5; done
    '"$3" "$wine_run" "$wine" "$prefix")
}
session "$work/joystick.scenario" "$work/report.log" \
  'ctl report --output report.txt >report.out 2>&1; echo $? >report.status'
status=$(cat "$work/report.status")
[ "$status" = 0 ] && echo "ok: report made under Wine" || fail "report: exit status $status: $(cat "$work/report.out")"
grep -q '^# platform: Windows.*(Wine ' "$work/report.txt" && echo "ok: the report names Wine" ||
  fail "the report's platform line: $(grep '^# platform' "$work/report.txt")"
grep -q '^E: ' "$work/report.txt" && echo "ok: the report holds the input reports" ||
  fail "no E: line in the report"
[ "$(grep -c 'write hidraw1 .* bytes=00aa' "$work/report.log")" -eq 1 ] &&
  echo "ok: one close command" || fail "close commands: $(grep -c 'bytes=00aa' "$work/report.log")"
grep -q 'write hidraw1 .* bytes=003a' "$work/report.log" && fail "the report wrote the EEPROM" ||
  echo "ok: no EEPROM write"

commands='ctl list 2>&1 | tr -d "\r" >"$PWD/list$1.txt"; ctl status 2>&1 | tr -d "\r" >"$PWD/status$1.txt"'
session "$work/joystick.scenario" "$work/original.log" "set -- ''; $commands"
session "$work/report.txt" "$work/replay.log" "set -- -replay; $commands"
for command in list status; do
  original=$(cat "$work/$command.txt")
  replayed=$(cat "$work/$command-replay.txt")
  # Both must show the joystick: two runs that failed alike prove nothing.
  if printf '%s' "$original" | grep -qE '0079:0026|Current Status:' && [ "$original" = "$replayed" ]; then
    echo "ok: $command prints the same under the replay"
  else
    fail "$command: under the scenario: $original; under the replay: $replayed"
  fi
done
grep -q 'replay step' "$work/replay.log" && echo "ok: the replay answered status" ||
  fail "the replayed joystick answered nothing"
fresh

echo "the report and the fixture's logs in $work"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
