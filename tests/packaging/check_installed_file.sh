# Checks of one installed file each, shared by the install and package tests.
# Sourced; every check prints what is wrong and returns non-zero.

APP_ID=io.github.trivexa.Trivexa
UDEV_RULE='ACTION!="remove", SUBSYSTEM=="hidraw", ATTRS{idVendor}=="0079", ATTRS{idProduct}=="0026", TAG+="uaccess"'

fail() {
  echo "FAIL: $*" >&2
  return 1
}

# Width and height from a PNG's IHDR chunk.
png_size() {
  local bytes
  bytes=$(od -An -tu1 -j16 -N8 "$1" | tr -s ' \n' ' ')
  set -- $bytes
  echo "$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))x$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))"
}

check_executable() {
  [ -x "$1" ] || fail "$1 is not executable" || return 1
  [ "$(head -c4 "$1" | od -An -c | tr -d ' ')" = '177ELF' ] || fail "$1 is no ELF program"
}

# $1 the file, $2 the root it is installed under (DESTDIR + prefix).
check_desktop() {
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$1" || fail "desktop-file-validate rejects $1" || return 1
  fi
  local exec icon
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$1")
  icon=$(sed -n 's/^Icon=//p' "$1")
  [ -x "$2/bin/$exec" ] || fail "$1 starts $exec, which is not installed in bin" || return 1
  [ "$icon" = "$APP_ID" ] || fail "$1 names the icon $icon" || return 1
  [ -f "$2/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon is not installed"
}

check_metainfo() {
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$1" >/dev/null || {
      appstreamcli validate --no-net "$1" >&2
      fail "appstreamcli rejects $1"
      return 1
    }
  fi
  grep -q "<id>$APP_ID</id>" "$1" || fail "$1 has another id" || return 1
  grep -q '<modalias>usb:v0079p0026d\*</modalias>' "$1" || fail "$1 lacks the joystick's modalias" ||
    return 1
  grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$1" ||
    fail "$1 does not launch $APP_ID.desktop" || return 1
  [ -f "$2/share/applications/$APP_ID.desktop" ] || fail "the launchable desktop file is missing"
}

check_png_icon() {
  local want size
  want=$(basename "$(dirname "$(dirname "$1")")")
  [ "$(head -c8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$1 is no PNG" ||
    return 1
  size=$(png_size "$1")
  [ "$size" = "$want" ] || fail "$1 is $size, not $want"
}

check_svg_icon() {
  grep -q '<svg ' "$1" || fail "$1 is no SVG" || return 1
  if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w 64 -h 64 "$1" >/dev/null || fail "$1 does not render"
  fi
}

check_udev_rule() {
  [ "$(grep -v '^#' "$1")" = "$UDEV_RULE" ] || fail "$1 is not exactly the joystick's rule"
}

# Gzipped, as Debian ships man pages.
check_man_page() {
  gzip -t "$1" 2>/dev/null || fail "$1 is not gzipped" || return 1
  [ -n "$(gzip -dc "$1")" ] || fail "$1 is empty" || return 1
  if command -v groff >/dev/null; then
    local warnings
    warnings=$(gzip -dc "$1" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $1: $warnings"
  fi
}

# Debian's machine-readable format, naming the licence of LICENSE.
check_copyright() {
  head -1 "$1" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$1 is not in the machine-readable format" || return 1
  grep -qx 'License: MIT' "$1" || fail "$1 does not name the licence MIT"
}

check_changelog() {
  gzip -dc "$1" 2>/dev/null | head -1 | grep -q '^trivexa (' || fail "$1 is no gzipped Debian changelog"
}

# Each line of stdin completed by one shell ($1) with its file ($2): the
# candidates of each line, space-separated, one line each.
completions_bash() {
  bash -c '. "$1"; while IFS= read -r line; do
      read -ra COMP_WORDS <<<"${line//=/ = }"  # bash splits a word at "="
      [[ $line == *[\ =] ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _trivexactl && echo "${COMPREPLY[*]}"
    done' _ "$1"
}
completions_fish() {
  fish --no-config -c 'source $argv[1]
    while read -l line; echo (complete -C$line | string replace -r "\t.*" ""); end' "$1"
}
# An interactive zsh on a pseudo-terminal, as a user at a prompt, types each
# line and Tab. compadd is wrapped to log what the completion offers; each
# line waits for the last to be done, as zsh drops keys typed ahead.
completions_zsh() {
  timeout 60 zsh -f -c 'zmodload zsh/zpty; log=$(mktemp); zpty z zsh -f -i
    logged() {
      repeat 1000; do [[ $(<$log) == *DONE ]] && break; zpty -rt z _; sleep 0.01; done
      print -r -- ${(f)"$(<$log)"%DONE}; : >$log
    }
    zpty -w z "PS1= fpath=(${1:h} \$fpath); autoload -Uz compinit; compinit -u -D
      compadd() { local -a m; [[ \$* == *-[OAD]* ]] || builtin compadd -O m \"\$@\"
        print -rl -- \$m >>$log; builtin compadd \"\$@\"; }
      complete-and-log() { zle complete-word; print DONE >>$log; zle kill-whole-line; }
      zle -N complete-and-log; bindkey \"^I\" complete-and-log; print DONE >>$log"
    logged >/dev/null
    while IFS= read -r line; do zpty -w -n z "$line"$'\''\t'\''; logged; done
    zpty -d z; rm $log' _ "$1"
}

# The words of each line, sorted, without the "--interval=" that bash and fish
# put before the values they offer after it.
sorted_words() {
  local words
  while read -ra words; do printf '%s\n' "${words[@]#--*=}" | LC_ALL=C sort | paste -sd' '; done
}

# Completion by shell $1 from file $2: the commands, each command's options
# and operands, and each option's values are those trivexactl ($3) names in
# its --help and its usage errors.
check_completion() {
  command -v "$1" >/dev/null || return 0
  local program=$3 help commands command option operands lines want got
  help=$("$program" --help)
  values() { "$program" write "$1" 2>&1 | sed -n 's/.*needs a value: \(.*\), or i0.*/\1/p'; }
  # A command's part of the help: its usage line and the lines under it.
  section() { awk -v c="$1" '$0 ~ "^  "c"( |$)" {on=1; print; next}
                            on && /^  [a-z]|^$/ {exit} on' <<<"$help"; }
  # Its options: those its usage line names, [VALUES] for the V options told under it.
  options() {
    section "$1" | head -1 | grep -o '\[--[a-z-]*' | tr -d '['
    section "$1" | head -1 | grep -q '\[VALUES\]' && section "$1" | sed -n 's/^      \(--[a-z-]*\) V .*/\1/p'
  }
  # The help text lists its commands but not "help" itself.
  commands="$(sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p' <<<"$help") help"
  lines="trivexactl "$'\n'"trivexactl w"$'\n'
  want=$(echo $commands)$'\n'$(printf '%s\n' $commands | grep ^w | paste -sd' ')$'\n'
  for command in $commands; do
    if [ -n "$(options "$command")" ]; then
      lines+="trivexactl $command --"$'\n' want+=$(options "$command" | paste -sd' ')$'\n'
    fi
    # A word after the command, as "completion bash|zsh|fish" shows its choices.
    operands=$(section "$command" | head -1 | sed -n "s/^  $command \([a-z|]*\)\( .*\)\{0,1\}\$/\1/p")
    [ -z "$operands" ] || { lines+="trivexactl $command "$'\n' want+=${operands//|/ }$'\n'; }
  done
  for option in $(section write | sed -n 's/^      \(--[a-z-]*\) V .*/\1/p'); do
    lines+="trivexactl write $option "$'\n' want+=$(values "$option")$'\n'
  done
  lines+="trivexactl write --interval=" want+=$(values --interval)
  got=$("completions_$1" "$2" <<<"$lines" 2>&1 | sorted_words)
  want=$(sorted_words <<<"$want")
  [ "$got" = "$want" ] || fail "$1 completes from $2:"$'\n'"$got"$'\n'"instead of:"$'\n'"$want"
}

# $1 a path below $2 (DESTDIR + prefix), relative as "bin/trivexa".
check_installed_file() {
  local root=$2 file="$2/$1"
  case "$1" in
    bin/*) check_executable "$file" ;;
    share/applications/*.desktop) check_desktop "$file" "$root" ;;
    share/metainfo/*.metainfo.xml) check_metainfo "$file" "$root" ;;
    share/icons/hicolor/*x*/apps/*.png) check_png_icon "$file" ;;
    share/icons/hicolor/scalable/apps/*.svg) check_svg_icon "$file" ;;
    lib/udev/rules.d/*.rules) check_udev_rule "$file" ;;
    share/man/man*/*.gz) check_man_page "$file" ;;
    share/doc/trivexa/copyright) check_copyright "$file" ;;
    share/doc/trivexa/changelog.gz) check_changelog "$file" ;;
    share/bash-completion/completions/trivexactl) check_completion bash "$file" "$root/bin/trivexactl" ;;
    share/zsh/vendor-completions/_trivexactl) check_completion zsh "$file" "$root/bin/trivexactl" ;;
    share/fish/vendor_completions.d/trivexactl.fish) check_completion fish "$file" "$root/bin/trivexactl" ;;
    *) fail "$1 is installed, but no check knows it: add one to $(basename "${BASH_SOURCE[0]}")" ;;
  esac
}

# Every file the program needs installed, relative to the prefix.
REQUIRED_FILES="bin/trivexa
bin/trivexactl
share/man/man1/trivexactl.1.gz
share/doc/trivexa/copyright
share/doc/trivexa/changelog.gz
share/man/man1/trivexa.1.gz
share/bash-completion/completions/trivexactl
share/zsh/vendor-completions/_trivexactl
share/fish/vendor_completions.d/trivexactl.fish
share/applications/$APP_ID.desktop
share/metainfo/$APP_ID.metainfo.xml
share/icons/hicolor/16x16/apps/$APP_ID.png
share/icons/hicolor/24x24/apps/$APP_ID.png
share/icons/hicolor/32x32/apps/$APP_ID.png
share/icons/hicolor/48x48/apps/$APP_ID.png
share/icons/hicolor/64x64/apps/$APP_ID.png
share/icons/hicolor/128x128/apps/$APP_ID.png
share/icons/hicolor/256x256/apps/$APP_ID.png
share/icons/hicolor/scalable/apps/$APP_ID.svg
lib/udev/rules.d/70-trivexa.rules"
