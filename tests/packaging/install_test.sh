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

echo "checked $count installed files"
exit $status
