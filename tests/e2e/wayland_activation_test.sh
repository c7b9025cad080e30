#!/bin/sh
# A second launch on Wayland hands its activation token to the running
# window, which asks the compositor for the focus with it: sway with no
# screen, which has xdg-activation (weston has not). On the way, the window
# is seen to take sway's own title bar. sway refuses to run as root, so as
# root everything runs as nobody.
#
#   wayland_activation_test.sh TRIVEXA
set -eu
trivexa=$1
work=$(mktemp -d)
trap 'kill $(cat "$work/pids" 2>/dev/null) 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/run" "$work/app"
cp "$trivexa" "$work/app/trivexa"
as_user=
if [ "$(id -u)" = 0 ]; then
  chown -R 65534:65534 "$work/run" "$work/app"
  chmod 755 "$work"
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
chmod 700 "$work/run"
session="env -i PATH=/usr/bin:/bin HOME=$work/run XDG_RUNTIME_DIR=$work/run"
# Up to SECONDS for COMMAND to succeed, or the test fails with WHAT.
wait_for() {
  seconds=$1 what=$2
  shift 2
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -lt $((seconds * 10)) ] || { echo "FAIL $what"; exit 1; }
    sleep 0.1
  done
}

echo "output HEADLESS-1 resolution 1024x768" >"$work/sway.config"

$as_user $session WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
echo $! >>"$work/pids"
wait_for 10 "sway did not start" test -S "$work/run/wayland-1"

window="$session WAYLAND_DISPLAY=wayland-1 QT_QPA_PLATFORM=wayland"
$as_user $window WAYLAND_DEBUG=client "$work/app/trivexa" >"$work/first.log" 2>&1 &
echo $! >>"$work/pids"
wait_for 20 "the window did not open" grep -q 'xdg_toplevel@[0-9]*\.set_app_id' "$work/first.log"
wait_for 5 "the window does not listen for a second launch" test -S "$work/run/trivexa.socket"
# The frame is the compositor's: the window asks for a decoration (xdg-decoration)
# and sway answers that it draws it, server-side (mode 2).
wait_for 5 "the window did not take the compositor's title bar" \
  grep -q 'zxdg_toplevel_decoration_v1@[0-9]*\.configure(2)' "$work/first.log"
echo "ok: the compositor draws the window's title bar"

start=$(date +%s)
$as_user $window XDG_ACTIVATION_TOKEN=token-of-the-second-launch "$work/app/trivexa" ||
  { echo "FAIL the second launch did not end with 0"; exit 1; }
[ $(($(date +%s) - start)) -lt 3 ] || { echo "FAIL the second launch took 3 s or more"; exit 1; }
wait_for 5 "the running window did not ask for activation with the token" \
  grep -q 'xdg_activation_v1@[0-9]*\.activate("token-of-the-second-launch"' "$work/first.log"
echo "ok: the running window asked for activation with the second launch's token"
