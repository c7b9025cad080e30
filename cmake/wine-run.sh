#!/bin/sh
# Runs a Windows program under Wine in a private prefix:
#   wine-run.sh WINE PREFIX PROGRAM [ARGS...]
# The prefix is created on first use, once, even when tests start in
# parallel. No display is needed; Mono and Gecko are never installed.
# Wine now and then dies at start-up before it has made the prefix, so the
# set-up is tried three times; if it never succeeds, Wine's output is shown.
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
    attempt=1
    while [ ! -f "$prefix/.trivexa-ready" ]; do
      DISPLAY= "$wine" wineboot --init >"$prefix.log" 2>&1 || true
      wineserver -w || true
      if [ -d "$prefix/drive_c" ]; then
        touch "$prefix/.trivexa-ready"
      elif [ "$attempt" -ge 3 ]; then
        echo "wine-run.sh: Wine did not set up $prefix in $attempt tries; its last output:" >&2
        cat "$prefix.log" >&2
        exit 1
      else
        attempt=$((attempt + 1))
        sleep 1
      fi
    done
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
