#!/bin/sh
# trivexa.exe needs nothing beside it on Windows 10 or later: every DLL it
# imports is one of Windows' own.
#   imports_test.sh OBJDUMP TRIVEXA-EXE
set -u
objdump=$1 exe=$2
system_dlls="advapi32.dll gdi32.dll hid.dll kernel32.dll msvcrt.dll setupapi.dll shell32.dll user32.dll"
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "FAIL: no import table read from $exe"; exit 1; }
status=0
for dll in $imports; do
  case " $system_dlls " in
    *" $dll "*) echo "ok: $dll" ;;
    *) echo "FAIL: $dll is not a Windows system DLL"; status=1 ;;
  esac
done
exit $status
