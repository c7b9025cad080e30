#!/usr/bin/env bash
# Installs the built program as a package build would (DESTDIR staging, the
# prefix /usr) and checks every file that lands there.
set -euo pipefail
build=$1
. "$(dirname "$0")/check_installed_file.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
root="$work/stage/usr"

status=0
while IFS= read -r file; do
  [ -e "$root/$file" ] || { fail "$file is not installed"; status=1; }
done <<<"$REQUIRED_FILES"

count=0
while IFS= read -r -d '' path; do
  count=$((count + 1))
  check_installed_file "${path#"$root/"}" "$root" || status=1
done < <(find "$work/stage" -mindepth 1 \( -type f -o -type l \) -print0)
# Nothing may land outside the prefix.
[ -z "$(find "$work/stage" -mindepth 1 -maxdepth 1 ! -name usr)" ] ||
  { fail "files outside the prefix"; status=1; }

# The installed copy, even staged, keeps its settings in the user's config
# folder and writes nothing beside itself.
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
  QT_QPA_PLATFORM=offscreen "$root/bin/trivexa" >"$work/program.out" 2>&1 &
program=$!
for _ in $(seq 200); do
  [ -s "$work/config/trivexa/JOYSTICK.INI" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
grep -q '^\[TRIVEXA\]' "$work/config/trivexa/JOYSTICK.INI" 2>/dev/null ||
  { cat "$work/program.out" >&2; fail "the installed program made no JOYSTICK.INI in XDG_CONFIG_HOME"; status=1; }
[ ! -e "$root/bin/JOYSTICK.INI" ] || { fail "the installed program wrote beside itself"; status=1; }

echo "checked $count installed files"
exit $status
