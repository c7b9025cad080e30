#!/usr/bin/env bash
# Builds the .deb from this build, installs it with dpkg, checks what it put
# where, removes it, and checks that nothing of it is left.
set -euo pipefail
build=$1
. "$(dirname "$0")/check_installed_file.sh"

skip() {
  echo "SKIP: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg >/dev/null && command -v cpack >/dev/null || skip "no dpkg or cpack"

# One package test per machine at a time: they would remove each other's copy.
exec 9>/tmp/trivexa-deb-test.lock
flock 9

if dpkg-query -W -f='${Status}' trivexa 2>/dev/null | grep -q installed; then
  skip "a trivexa package is installed already; it is left alone"
fi

work=$(mktemp -d)
installed=false
cleanup() {
  if $installed; then dpkg --purge trivexa >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# dpkg waits for nobody: another apt or dpkg run holds its lock for a while.
dpkg_retrying() {
  local attempt
  for attempt in $(seq 90); do
    if dpkg "$@" 2>"$work/dpkg.err"; then return 0; fi
    grep -qi 'lock' "$work/dpkg.err" || { cat "$work/dpkg.err" >&2; return 1; }
    sleep 2
  done
  cat "$work/dpkg.err" >&2
  return 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
deb=$(ls "$work"/out/trivexa_*.deb)
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
grep -v '/$' "$work/contents" >"$work/files"
grep '/$' "$work/contents" | sed 's|/$||' >"$work/folders"

status=0
while IFS= read -r file; do
  grep -qx "/usr/$file" "$work/files" || { fail "the package lacks /usr/$file"; status=1; }
done <<<"$REQUIRED_FILES"
while IFS= read -r path; do
  [ ! -e "$path" ] || skip "$path exists before the package is installed"
done <"$work/files"
# Folders that only the package brings must go with it.
while IFS= read -r folder; do
  [ -e "$folder" ] || echo "$folder" >>"$work/new-folders"
done <"$work/folders"

installed=true
dpkg_retrying -i "$deb" >/dev/null
while IFS= read -r path; do
  check_installed_file "${path#/usr/}" /usr || status=1
done <"$work/files"
[ ! -e /etc/udev/rules.d/70-trivexa.rules ] || { fail "the package wrote into /etc"; status=1; }

dpkg_retrying -r trivexa >/dev/null
installed=false
while IFS= read -r path; do
  [ ! -e "$path" ] || { fail "$path is left after removal"; status=1; }
done <"$work/files"
if [ -f "$work/new-folders" ]; then
  while IFS= read -r folder; do
    [ ! -e "$folder" ] || { fail "folder $folder is left after removal"; status=1; }
  done <"$work/new-folders"
fi
state=$(dpkg-query -W -f='${Status}' trivexa 2>/dev/null || true)
case "$state" in
  "" | *not-installed) ;;
  *) fail "dpkg still knows the package after removal: $state"; status=1 ;;
esac

echo "installed and removed $(wc -l <"$work/files") files"
exit $status
