#!/bin/sh
# wine-run.sh against a stand-in Wine that dies before making the prefix on
# its first FAILS start-ups:  wine_run_test.sh WINE_RUN WORK_DIR
set -u
wine_run=$1
work=$2
rm -rf "$work" && mkdir -p "$work/bin"
cat >"$work/bin/wine" <<'STANDIN'
#!/bin/sh
if [ "$1" = wineboot ]; then
  n=$(($(cat "$WINEPREFIX.starts" 2>/dev/null || echo 0) + 1))
  echo "$n" >"$WINEPREFIX.starts"
  [ "$n" -le "$FAILS" ] && { echo "start-up $n failed"; exit 1; }
  mkdir -p "$WINEPREFIX/drive_c"
  exit 0
fi
echo "ran $*"
STANDIN
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
chmod +x "$work/bin/wine" "$work/bin/wineserver"
export PATH="$work/bin:$PATH"
status=0

out=$(FAILS=2 "$wine_run" "$work/bin/wine" "$work/twice" prog.exe a b 2>&1)
[ "$out" = "ran prog.exe a b" ] || { echo "two failed start-ups, then: $out"; status=1; }
out=$(FAILS=0 "$wine_run" "$work/bin/wine" "$work/twice" prog.exe 2>&1)
[ "$(cat "$work/twice.starts")" = 3 ] || { echo "a ready prefix was set up again"; status=1; }

if out=$(FAILS=9 "$wine_run" "$work/bin/wine" "$work/never" prog.exe 2>&1); then
  echo "a prefix that was never made counted as ready"; status=1
fi
case $out in
  *"did not set up"*"start-up 3 failed"*) ;;
  *) echo "no reason given: $out"; status=1 ;;
esac
exit $status
