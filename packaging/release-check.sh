#!/bin/sh
# Builds the release of the checked-out commit twice, as two strangers
# would: each in a clone of its own, in folders of other names and depths,
# with other time zones, umasks and locales, the second after the first has
# finished and with its clock (faketime) two days ahead. Fails unless the
# two dist/ folders hold the same bytes; diffoscope, where installed, shows
# what differs.
#   release-check.sh [JOBS]
# The builds run without ccache, which could hand the second build the
# first one's objects and so hide a difference.
set -eu
jobs=${1:-2}
repo=$(git rev-parse --show-toplevel)
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain)" ] ||
  echo "Uncommitted changes are not checked: this builds the commit $commit."
work=$(mktemp -d "${TMPDIR:-/tmp}/trivexa-release-check.XXXXXX")
unset SOURCE_DATE_EPOCH MAKEFLAGS MFLAGS MAKELEVEL CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1

build() {  # folder time-zone umask locale [clock]
  echo "$(date -u +%T) building in $1 (TZ=$2, umask $3, LC_ALL=$4${5:+, clock $5})"
  mkdir -p "$(dirname "$1")"
  (
    umask "$3"
    git clone -q --no-checkout "$repo" "$1" && git -C "$1" checkout -q "$commit" &&
      TZ=$2 LC_ALL=$4 LANG=$4 ${5:+faketime -f "$5"} make -C "$1" release JOBS="$jobs"
  ) >"$1.log" 2>&1 || { tail -n 40 "$1.log"; echo "the release build in $1 failed"; exit 1; }
}
# POSIX time zones, which need no tzdata: UTC and 14 hours east of it.
build "$work/a" UTC 022 C.UTF-8
build "$work/second/clone-b" XST-14 077 C +2d

status=0
for file in $(cd "$work/a/dist" && ls); do
  if cmp -s "$work/a/dist/$file" "$work/second/clone-b/dist/$file"; then
    echo "same: $file"
  else
    echo "DIFFERENT: $file"
    status=1
    if command -v diffoscope >/dev/null; then
      diffoscope --text - "$work/a/dist/$file" "$work/second/clone-b/dist/$file" | head -n 200 || true
    fi
  fi
done
check=$( (cd "$work/a/dist" && ls) | tr '\n' ' ')
[ "$check" = "$( (cd "$work/second/clone-b/dist" && ls) | tr '\n' ' ')" ] ||
  { echo "DIFFERENT: the two dist/ folders hold other files"; status=1; }
if [ "$status" -eq 0 ]; then
  cat "$work/a/dist/SHA256SUMS"
  echo "$(date -u +%T) the two builds of $commit are the same bytes"
  rm -rf "$work"
else
  echo "The builds are kept in $work."
fi
exit "$status"
