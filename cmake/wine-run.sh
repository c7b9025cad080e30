#!/bin/sh
# Runs a Windows program under Wine in a private prefix:
#   wine-run.sh WINE PREFIX PROGRAM [ARGS...]
# The prefix is created on first use, once, even when tests start in
# parallel. No display is needed; Mono and Gecko are never installed.
set -eu
wine=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$prefix")"
if [ ! -f "$prefix/.trivexa-ready" ]; then
  (
    flock 9
    if [ ! -f "$prefix/.trivexa-ready" ]; then
      DISPLAY= "$wine" wineboot --init >/dev/null 2>&1 || true
      WINEPREFIX="$prefix" wineserver -w || true
      touch "$prefix/.trivexa-ready"
    fi
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
