#!/bin/sh
# The real trivexactl.exe under Wine, as a script on Windows meets it: its
# version, help and exit statuses, a refused value, no joystick present,
# text that is not ASCII in a pipe and in a console, and an .exe that needs
# nothing but Windows' own DLLs.
#
#   trivexactl_exe_test.sh WINE-RUN WINE PREFIX TRIVEXACTL-EXE OBJDUMP
set -u
wine_run=$1 wine=$2 prefix=$3 exe=$4 objdump=$5

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
status_file=$(mktemp)
trap 'rm -f "$status_file"' EXIT
# Runs the program; its output (carriage returns dropped) in $out, its exit
# status in $status.
run() {
  out=$( ("$wine_run" "$wine" "$prefix" "$exe" "$@" 2>&1; echo $? >"$status_file") | tr -d '\r')
  status=$(cat "$status_file")
}
expect() {  # what status text-it-contains
  if [ "$status" != "$2" ]; then
    fail "$1: exit status $status, not $2; output: $out"
  elif ! printf '%s' "$out" | grep -qF -- "$3"; then
    fail "$1: output lacks '$3': $out"
  else
    echo "ok: $1"
  fi
}

run --version
expect "--version" 0 "trivexactl "
run --help
expect "--help lists the exit statuses" 0 "5  the Trivexa window is running"
run '/?'
expect "/? is the help" 0 "Usage: trivexactl COMMAND"
# Its reader gone before the help is written, as `| head -3` goes.
out=$( ( (sleep 1; "$wine_run" "$wine" "$prefix" "$exe" --help; echo $? >"$status_file") | true) 2>&1)
status=$(cat "$status_file")
[ "$status" = 0 ] && [ -z "$out" ] && echo "ok: help into a closed pipe" ||
  fail "help into a closed pipe: exit status $status, output: $out"
run write --interval 15ms
expect "a value not in the list" 2 "choose one of 10ms 20ms 30ms 40ms 50ms, or i0 to i4"
# The index form comes through Windows' command line as typed: i5 is
# refused for the interval, i4 is taken (and then no joystick is found).
run write --interval i5
expect "an index past the list" 2 "'i5' is not a choice"
run write --interval i4
expect "an index in the list" 1 "joystick not found"
run udev-rule
expect "udev-rule is Linux only" 2 "Linux only"
run list --json
expect "list --json" 0 '{"version":2,"interfaces":['
# Wine shows no HID interface of the joystick.
run status
expect "status without the joystick" 1 "joystick not found"

# Text that is not ASCII, from the command line to the output: UTF-8 bytes
# into a pipe, and UTF-16 through the console when the output is one (Wine
# makes a console of a terminal; script gives it one).
export LANG=C.UTF-8
run frobnicateö
expect "a word that is not ASCII, into a pipe" 2 "unknown command 'frobnicateö'"
out=$(script -qec "'$wine_run' '$wine' '$prefix' '$exe' frobnicateö" /dev/null | tr -d '\r')
if printf '%s' "$out" | grep -qF "'frobnicateö'"; then echo "ok: the same in a console"; else
  fail "a word that is not ASCII, in a console: $(printf '%s' "$out" | od -c | head -5)"
fi

# No command in a console of its own (a double-click): it says what it is
# and waits for a key. In a shell's console: the usage error.
in_console() {  # command key
  out=$( (printf "$2" | timeout 60 script -qec "'$wine_run' '$wine' '$prefix' $1" /dev/null
    echo $? >"$status_file") | tr -d '\r')
  status=$(cat "$status_file")
}
in_console "'$exe'" x
expect "a console of its own waits for a key" 2 "Press any key"
in_console "cmd /c '$exe'" ""
expect "a shell's console gets the usage error" 2 "no command given"

imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no import table read from $exe"
for dll in $imports; do
  case " advapi32.dll hid.dll kernel32.dll msvcrt.dll setupapi.dll " in
    *" $dll "*) echo "ok: imports $dll" ;;
    *) fail "$dll is not a Windows system DLL" ;;
  esac
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
