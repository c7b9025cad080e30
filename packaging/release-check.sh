#!/bin/sh
# Builds the release of the checked-out commit twice, as two strangers
# would: each in a clone of its own, in folders of other names and depths,
# with other time zones, umasks and locales, the second after the first has
# finished and with its clock (faketime) two days ahead. Fails unless the
# two dist/ folders hold the same bytes; diffoscope, where installed, shows
# what differs. The second build's caller also sets flags a build could
# take from its environment (CXXFLAGS, LDFLAGS, DEB_BUILD_OPTIONS=noopt,
# dpkg's buildflags.conf in HOME): none may reach it.
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

build() {  # folder time-zone umask locale clock [VARIABLE=value...]
  folder=$1 zone=$2 mask=$3 locale=$4 clock=$5
  shift 5
  echo "$(date -u +%T) building in $folder (TZ=$zone, umask $mask, LC_ALL=$locale${clock:+, clock $clock}${1:+, $*})"
  mkdir -p "$(dirname "$folder")"
  (
    umask "$mask"
    git clone -q --no-checkout "$repo" "$folder" && git -C "$folder" checkout -q "$commit" &&
      env TZ="$zone" LC_ALL="$locale" LANG="$locale" "$@" ${clock:+faketime -f "$clock"} \
        make -C "$folder" release JOBS="$jobs" RELEASE_CLOCK="$clock"
  ) >"$folder.log" 2>&1 || {
    tail -n 40 "$folder.log"
    echo "the release build in $folder failed; its log and the builds are kept in $work"
    exit 1
  }
}

# What a caller could hand a build without meaning to: each carries the
# mark TRIVEXA_CALLER_FLAGS, and most would change the bytes too.
caller=$work/caller-home
mkdir -p "$caller/.config/dpkg"
echo "APPEND CXXFLAGS -O1 -DTRIVEXA_CALLER_FLAGS" >"$caller/.config/dpkg/buildflags.conf"

# As root in a clone another user owns, git refuses: make release must say
# what git said. No config of the caller's may let git in (safe.directory).
if [ "$(id -u)" -eq 0 ]; then
  git clone -q "$repo" "$work/foreign" && chown -R 65534:65534 "$work/foreign"
  refusal=$(GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_SYSTEM=/dev/null make -C "$work/foreign" release 2>&1) || true
  rm -rf "$work/foreign"
  case $refusal in *"dubious ownership"*) echo "another user's clone: git's words are shown" ;;
    *) printf '%s\nmake release hid why git refused another user'"'"'s clone\n' "$refusal"
      rm -rf "$work"
      exit 1 ;;
  esac
fi

# POSIX time zones, which need no tzdata: UTC and 14 hours east of it.
build "$work/a" UTC 022 C.UTF-8 ""
build "$work/second/clone-b" XST-14 077 C +2d HOME="$caller" \
  DEB_BUILD_OPTIONS=noopt CXXFLAGS="-O0 -DTRIVEXA_CALLER_FLAGS" \
  LDFLAGS="-Wl,--defsym=TRIVEXA_CALLER_FLAGS=0" DEB_CXXFLAGS_APPEND=-DTRIVEXA_CALLER_FLAGS

status=0
# Flags that leave no trace in the bytes still must not reach the build.
if grep -rl -e TRIVEXA_CALLER_FLAGS -e "$caller" -e '-O0 ' \
  --include=build.ninja --include=CMakeCache.txt "$work/second/clone-b"/build-release-*; then
  echo "DIFFERENT: the caller's flags reached the build in the files above"
  status=1
fi
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
