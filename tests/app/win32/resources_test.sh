#!/usr/bin/env bash
# Reads what Windows shows of an .exe from the file itself (Explorer's
# "Details" tab, Task Manager, the icon at each scaling):
#   resources_test.sh [--window] EXE VERSION [ICON_SIZE...]
# checks the VERSIONINFO strings and numbers against the project's version,
# the application manifest (with --window also visual styles and per-monitor
# DPI awareness) and, when sizes are given, that the icon holds exactly
# those, 32-bit.
set -euo pipefail
window=no
if [ "$1" = --window ]; then
  window=yes
  shift
fi
exe=$1
version=$2
shift 2
for tool in wrestool icotool iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (package icoutils)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $(basename "$exe"): $*" >&2
  status=1
}

# Each String of the resource is its lengths and type, the key, NULs, the
# value: in UTF-8 with NULs as line ends, a key line ends in U+0001 and the
# key, and the next non-empty line is the value.
wrestool -x --raw --type=version "$exe" >"$work/version.res"
[ -s "$work/version.res" ] || { fail "no VERSIONINFO"; exit 1; }
iconv -c -f UTF-16LE -t UTF-8 <"$work/version.res" | tr '\0' '\n' >"$work/version.txt"
value() {
  awk -v key="$1" 'found && NF { print; exit } $0 ~ ("\001" key "$") { found = 1 }' "$work/version.txt"
}
expect() {
  local got
  got=$(value "$1")
  [ "$got" = "$2" ] || fail "$1 is \"$got\", not \"$2\""
}
expect FileVersion "$version"
expect ProductVersion "$version"
expect ProductName Trivexa
expect OriginalFilename "$(basename "$exe")"
expect CompanyName "The Trivexa developers"
[ -n "$(value FileDescription)" ] || fail "no FileDescription"
case "$(value LegalCopyright)" in
  *"Trivexa developers"*MIT*) ;;
  *) fail "LegalCopyright \"$(value LegalCopyright)\" names neither the authors nor the licence MIT" ;;
esac

# VS_FIXEDFILEINFO, 4-aligned after its signature 0xFEEF04BD: the numbers
# Windows compares, major.minor.patch.0 of the same version.
read -r -a words <<<"$(od -An -v -tx4 "$work/version.res" | tr -s ' \n' ' ')"
fixed=""
for i in "${!words[@]}"; do
  if [ "${words[$i]}" = feef04bd ]; then
    for j in 2 4; do
      ms=$((16#${words[$((i + j))]})) ls=$((16#${words[$((i + j + 1))]}))
      fixed+="$((ms >> 16)).$((ms & 65535)).$((ls >> 16)).$((ls & 65535)) "
    done
    break
  fi
done
[ "$fixed" = "$version.0 $version.0 " ] || fail "fixed file and product version are \"$fixed\", not $version.0"

# The application manifest (resource 1 of type 24), which Windows reads
# before the program runs: a malformed one stops it from starting at all.
wrestool -x --raw --type=24 --name=1 "$exe" >"$work/manifest.xml" 2>/dev/null || true
if [ ! -s "$work/manifest.xml" ]; then
  fail "no application manifest"
else
  if command -v xmllint >/dev/null; then
    xmllint --noout "$work/manifest.xml" 2>/dev/null || fail "the manifest is not well-formed XML"
  fi
  in_manifest() {  # text...
    local text
    for text in "$@"; do
      grep -qF -- "$text" "$work/manifest.xml" || fail "the manifest lacks $text"
    done
  }
  in_manifest "version=\"$version.0\"" 'level="asInvoker"' 'uiAccess="false"' \
    '<longPathAware>true</longPathAware>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'
  # The window: visual styles and the DPI of each monitor.
  if [ "$window" = yes ]; then
    in_manifest 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
      'publicKeyToken="6595b64144ccf1df"' '<dpiAware>true/pm</dpiAware>' \
      '<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness>'
  fi
fi

if [ $# -gt 0 ]; then
  wrestool -x --type=group_icon "$exe" >"$work/icon.ico"
  sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\) .*--bit-depth=32 .*/\1/p' | sort -n | tr '\n' ' ')
  [ "$sizes" = "$(printf '%s\n' "$@" | sort -n | tr '\n' ' ')" ] ||
    fail "32-bit icon sizes are \"$sizes\", not \"$*\" (all: $(icotool -l "$work/icon.ico" | tr '\n' ' '))"
fi

[ $status -ne 0 ] || echo "$(basename "$exe"): VERSIONINFO $version, manifest${1:+, icons $*}"
exit $status
