#!/usr/bin/env bash
# Builds the .deb from this build, then
#   deb_test.sh BUILD install    installs it with dpkg, checks what it put
#                                where, removes it, and checks that nothing
#                                of it is left (root only);
#   deb_test.sh BUILD release V  checks that every place naming the version
#                                names V, and that lintian finds no error
#                                and no warning (skipped without lintian).
set -euo pipefail
build=$1
mode=$2
. "$(dirname "$0")/check_installed_file.sh"

skip() {
  echo "SKIP: $*"
  exit 77
}
command -v dpkg >/dev/null && command -v cpack >/dev/null || skip "no dpkg or cpack"
[ "$mode" = release ] || [ "$(id -u)" -eq 0 ] || skip "installing a package needs root"

if [ "$mode" = install ]; then
  # One package test per machine at a time: they would remove each other's copy.
  exec 9>/tmp/trivexa-deb-test.lock
  flock 9
  if dpkg-query -W -f='${Status}' trivexa 2>/dev/null | grep -q installed; then
    skip "a trivexa package is installed already; it is left alone"
  fi
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

# Packed under a umask that keeps everything private: the package's
# folders must still be 0755 for everyone (lintian checks them).
(umask 077 && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/trivexa_*.deb)

if [ "$mode" = release ]; then
  version=$3
  status=0
  expect() {
    [ "$2" = "$3" ] || { status=1; fail "$1 is \"$2\", not \"$3\"" || true; }
  }
  dpkg-deb -x "$deb" "$work/root"
  expect "the package's version" "$(dpkg-deb -f "$deb" Version)" "$version"
  expect "the package's Recommends" "$(dpkg-deb -f "$deb" Recommends)" qt6-wayland
  expect "trivexactl --version" "$("$work/root/usr/bin/trivexactl" --version)" "trivexactl $version"
  expect "the changelog's latest entry" \
    "$(gzip -dc "$work/root/usr/share/doc/trivexa/changelog.gz" | sed -n '1s/^trivexa (\(.*\)).*/\1/p')" "$version"
  metainfo="$work/root/usr/share/metainfo/$APP_ID.metainfo.xml"
  expect "the metainfo's latest release" \
    "$(sed -n 's/.*<release version="\([^"]*\)" date="[0-9-]*".*/\1/p' "$metainfo" | head -1)" "$version"
  expect "the metainfo's licence" "$(sed -n 's:.*<project_license>\(.*\)</project_license>.*:\1:p' "$metainfo")" MIT
  # A man page that names the release in its title line names this one.
  for page in "$work"/root/usr/share/man/man*/*.gz; do
    named=$(gzip -dc "$page" | sed -n 's/^\.TH .*"Trivexa \([^"]*\)".*/\1/p')
    [ -z "$named" ] || expect "the version in $(basename "$page")" "$named" "$version"
  done
  [ $status -eq 0 ] || exit 1
  echo "the package, trivexactl, the changelog, the metainfo and the man pages name $version"

  command -v lintian >/dev/null || skip "no lintian: the package's versions agree, lintian was not run"
  # Its notice about running as root goes to standard error.
  lintian "$deb" 2>/dev/null | tee "$work/lintian.txt"
  if grep -q '^[EW]: ' "$work/lintian.txt"; then
    fail "lintian reports errors or warnings"
    exit 1
  fi
  echo "lintian: no error, no warning"
  exit 0
fi
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
