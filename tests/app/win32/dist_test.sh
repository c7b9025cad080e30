#!/bin/sh
# The two Windows release files as a user gets them:
#   dist_test.sh WINE-RUN WINE PREFIX CMAKE OBJDUMP WIXL ZIP MSI VERSION WORK
# The zip holds exactly the stripped programs, README.txt and LICENSE.txt
# with CRLF line ends. The MSI asks for no elevation; under Wine, msiexec /qn
# installs it into the user's %LOCALAPPDATA%\Programs\Trivexa with a Start
# menu entry and one "Installed apps" entry; the installed trivexactl.exe
# names the version, the installed trivexa.exe starts and writes
# JOYSTICK.INI beside itself; a rebuild of the same version, and a build
# of it with another product code, stay the one entry (the rebuild's files
# go in only with REINSTALL=ALL); a newer MSI (the
# same one rebuilt with the patch number raised and a product code of its
# own) replaces it; msiexec /x removes the program and leaves JOYSTICK.INI. A folder chosen with INSTALLDIR is shown in the
# entry and found again by the upgrade and the uninstall, not by a later
# installation.
# Runs on the display of xvfb-run, in the shared window-test prefix.
set -u
wine_run=$1 wine=$2 prefix=$3 cmake=$4 objdump=$5 wixl=$6 zip=$7 msi=$8 version=$9
shift 9
work=$1

. "$(dirname "$0")/wine_window_checks.sh"
msiexec() { "$wine_run" "$wine" "$prefix" msiexec "$@" >/dev/null 2>&1; }
# Wine writes its registry files when its server ends.
flush_registry() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null; WINEPREFIX="$prefix" wineserver -w 2>/dev/null; }
# "name version" of every uninstall entry called Trivexa, or the value
# named, as the registry file writes it.
installed_apps() {
  cat "$prefix/system.reg" "$prefix/user.reg" | awk -v value="${1:-DisplayVersion}" '
    /^\[/ { arp = ($0 ~ /\\\\Uninstall\\\\/); name = ""; v = ""; next }
    arp && /^"DisplayName"="Trivexa"$/ { name = "Trivexa" }
    arp && index($0, "\"" value "\"=\"") == 1 { v = substr($0, length(value) + 5); sub(/"$/, "", v) }
    arp && /^$/ && name != "" { print (value == "DisplayVersion" ? name " " v : v); name = "" }'
}
# Product codes of Trivexa's entries: what a failed run left is removed
# before and after, so one failure does not fail the next run too.
remove_installed() {
  flush_registry
  for code in $(cat "$prefix/system.reg" "$prefix/user.reg" | awk '
      /^\[/ { key = ""; if ($0 ~ /\\Uninstall\\/) { key = $0; sub(/^.*\\/, "", key); sub(/\].*$/, "", key) } }
      key != "" && /^"DisplayName"="Trivexa"$/ { print key }' | sort -u); do
    msiexec /x "$code" /qn
  done
}
finish() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  remove_installed
  rm -rf "${folder:-/nonexistent}" "${custom:-/nonexistent}"
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
  exit 0
}

rm -rf "$work"
mkdir -p "$work/unpacked"

# The zip: exactly four files, stripped programs, CRLF texts.
check "zip contents" "LICENSE.txt README.txt trivexa.exe trivexactl.exe" \
  "$("$cmake" -E tar tf "$zip" | sort | tr '\n' ' ' | sed 's/ $//')"
(cd "$work/unpacked" && "$cmake" -E tar xf "$zip")
for exe in trivexa.exe trivexactl.exe; do
  "$objdump" -p "$work/unpacked/$exe" | grep -q 'symbols stripped' || fail "$exe in the zip is not stripped"
done
for text in README.txt LICENSE.txt; do
  check "$text lines without CR" 0 "$(grep -vc "$(printf '\r')\$" "$work/unpacked/$text")"
done
grep -q "JOYSTICK.INI" "$work/unpacked/README.txt" || fail "README.txt does not say where JOYSTICK.INI is kept"

# The MSI's own tables: per user (no ALLUSERS), no elevation (word count bit
# 8), the project's version.
if command -v msiinfo >/dev/null; then
  words=$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
  check "MSI needs no elevation (word count bit 8)" 8 "$((words & 8))"
  msiinfo export "$msi" Property | tr -d '\r' >"$work/property.idt"
  check "MSI ProductVersion" "$version" "$(awk -F'\t' '$1 == "ProductVersion" { print $2 }' "$work/property.idt")"
  grep -q '^ALLUSERS' "$work/property.idt" && fail "MSI sets ALLUSERS: a machine-wide install"
else
  echo "msiinfo missing: the MSI's tables are not read"
fi

# A rebuild of the same version; a build of it with a product code of its
# own (as builds that drew their codes at random had); a newer MSI: the
# patch number raised, a product code of its own. wixl builds them beside
# the staged files, as the build does.
newer=$(echo "$version" | awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }')
wxs=$(dirname "$msi")/../packaging/windows/trivexa.wxs
new_code() { sed "s/<Product Id=\"[^\"]*\"/<Product Id=\"$(cat /proc/sys/kernel/random/uuid)\"/" "$wxs"; }
cp "$wxs" "$work/rebuild.wxs"
new_code >"$work/other.wxs"
new_code | sed "s/\"$version\"/\"$newer\"/g" >"$work/newer.wxs"
# The rebuild holds other contents, as a later build of the version would.
cp -r "$(dirname "$msi")/stage" "$work/changed" && echo rebuilt >>"$work/changed/README.txt"
for build in rebuild other newer; do
  stage=$(dirname "$msi")/stage; [ "$build" = rebuild ] && stage=$work/changed
  (cd "$stage" && "$wixl" --arch x64 -o "$work/$build.msi" "$work/$build.wxs" 2>/dev/null)
  [ -s "$work/$build.msi" ] || fail "wixl could not build $build.msi"
done

# The prefix is made on first use: before its user folder is looked for.
"$wine_run" "$wine" "$prefix" cmd /c exit >/dev/null 2>&1
user_dir=$(find "$prefix/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
folder="$user_dir/AppData/Local/Programs/Trivexa"
shortcut="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Trivexa.lnk"
remove_installed
rm -rf "$folder"

msiexec /i "$msi" /qn || fail "msiexec /i failed"
for file in trivexa.exe trivexactl.exe README.txt LICENSE.txt; do
  [ -f "$folder/$file" ] || fail "$file is not installed in AppData/Local/Programs/Trivexa"
done
[ -f "$shortcut" ] || fail "no Start menu shortcut"
flush_registry
check "Installed apps" "Trivexa $version" "$(installed_apps)"

check "installed trivexactl.exe --version" "trivexactl $version" \
  "$("$wine_run" "$wine" "$prefix" "$folder/trivexactl.exe" --version 2>/dev/null | tr -d '\r')"

# The installed program keeps its settings beside itself.
(cd "$folder" && exec "$wine_run" "$wine" "$prefix" ./trivexa.exe) &
app=$!
wait_for_window >/dev/null || fail "the installed trivexa.exe opened no window within 60 s"
for _ in $(seq 40); do
  [ -s "$folder/JOYSTICK.INI" ] && break
  sleep 0.25
done
grep -q '^\[TRIVEXA\]' "$folder/JOYSTICK.INI" 2>/dev/null || fail "no JOYSTICK.INI beside the installed trivexa.exe"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
wait "$app" 2>/dev/null
app=

for build in rebuild other; do
  msiexec /i "$work/$build.msi" /qn
  flush_registry
  check "Installed apps after installing $build.msi of the same version" "Trivexa $version" "$(installed_apps)"
  [ -f "$folder/trivexa.exe" ] || fail "installing $build.msi removed trivexa.exe"
  [ "$build" = rebuild ] || continue
  check "rebuild.msi's README.txt installed" 0 "$(grep -c rebuilt "$folder/README.txt")"
  msiexec /i "$work/rebuild.msi" REINSTALL=ALL REINSTALLMODE=vamus /qn
  check "rebuild.msi's README.txt after REINSTALL=ALL" 1 "$(grep -c rebuilt "$folder/README.txt")"
done

# Upgrade and uninstall, in the default folder, then in one chosen with
# INSTALLDIR; the upgrade is given no folder and must find the chosen one.
custom="$prefix/drive_c/Tools/Trivexa"
rm -rf "$custom"
for target in "$folder" "$custom"; do
  if [ "$target" = "$custom" ]; then
    msiexec /i "$msi" 'INSTALLDIR=C:\Tools\Trivexa\' /qn || fail "msiexec /i INSTALLDIR= failed"
    [ -f "$custom/trivexa.exe" ] || fail "trivexa.exe is not installed in the chosen folder"
    flush_registry
    check "Installed apps' InstallLocation" 'C:\\Tools\\Trivexa\\' "$(installed_apps InstallLocation)"
    echo "[TRIVEXA]" >"$custom/JOYSTICK.INI"
  fi
  msiexec /i "$work/newer.msi" /qn || fail "msiexec /i of the newer MSI failed"
  flush_registry
  check "Installed apps after the upgrade" "Trivexa $newer" "$(installed_apps)"
  [ -f "$target/trivexa.exe" ] || fail "the upgrade removed trivexa.exe from $target"
  [ -f "$target/JOYSTICK.INI" ] || fail "the upgrade removed JOYSTICK.INI from $target"

  msiexec /x "$work/newer.msi" /qn || fail "msiexec /x failed"
  flush_registry
  check "files left in $target after uninstalling" "JOYSTICK.INI" "$(ls "$target" | tr '\n' ' ' | sed 's/ $//')"
  [ ! -e "$shortcut" ] || fail "the Start menu shortcut is left after uninstalling"
  check "Installed apps after uninstalling" "" "$(installed_apps)"
done
# A later installation takes the default folder: the values left in the
# chosen one are found only with INSTALLDIR given again.
msiexec /i "$msi" /qn
[ -f "$folder/trivexa.exe" ] && [ ! -e "$custom/trivexa.exe" ] || fail "a later installation left the default folder"
msiexec /x "$msi" /qn
msiexec /i "$msi" 'INSTALLDIR=C:\Tools\Trivexa\' /qn
[ -f "$custom/trivexa.exe" ] && [ -f "$custom/JOYSTICK.INI" ] || fail "INSTALLDIR given again did not find JOYSTICK.INI"
finish
