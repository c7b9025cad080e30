#!/bin/sh
# Runs a Windows program that opens windows under Wine, on a virtual X
# server of its own:
#   wine-x11-run.sh WINE PREFIX PROGRAM [ARGS...]
# Wine keeps one server per prefix and that server keeps the display it was
# started with: it is ended afterwards, so the next run gets its own display.
# Runs sharing PREFIX must not overlap (the tests take a resource lock).
set -u
here=$(cd "$(dirname "$0")" && pwd)
xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-run.sh" "$@"
status=$?
WINEPREFIX="$2" wineserver -k 2>/dev/null
exit $status
