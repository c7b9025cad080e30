#!/usr/bin/env bash
# Reads what Windows shows of an .exe from the file itself (Explorer's
# "Details" tab, Task Manager, the icon at each scaling):
#   resources_test.sh EXE VERSION [ICON_SIZE...]
# checks the VERSIONINFO strings and numbers against the project's version
# and, when sizes are given, that the icon holds exactly those, 32-bit.
set -euo pipefail
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

if [ $# -gt 0 ]; then
  wrestool -x --type=group_icon "$exe" >"$work/icon.ico"
  sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\) .*--bit-depth=32 .*/\1/p' | sort -n | tr '\n' ' ')
  [ "$sizes" = "$(printf '%s\n' "$@" | sort -n | tr '\n' ' ')" ] ||
    fail "32-bit icon sizes are \"$sizes\", not \"$*\" (all: $(icotool -l "$work/icon.ico" | tr '\n' ' '))"
fi

[ $status -ne 0 ] || echo "$(basename "$exe"): VERSIONINFO $version${1:+, icons $*}"
exit $status
