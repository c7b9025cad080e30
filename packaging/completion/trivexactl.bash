# bash completion for trivexactl: commands, the options of each, and the
# choices of each value option (the texts of the window's lists).

_trivexactl_values() {
  case $1 in
    --dead-zone) echo "1.0deg 1.5deg 2.0deg 2.5deg 3.0deg 3.5deg 4.0deg 4.5deg 5.0deg" ;;
    --angle-offset) echo "-5 -4 -3 -2 -1 0 +1 +2 +3 +4 +5" ;;
    --threshold) echo "1 2 3 4 5 6" ;;
    --interval) echo "10ms 20ms 30ms 40ms 50ms" ;;
  esac
}

# The joysticks present, each by number and by path, as `list` shows them.
_trivexactl_joysticks() {
  "$1" list 2>/dev/null | sed -n 's/^\([^ ]*\) .*  <- joystick \([0-9]*\).*/\2 \1/p'
}

_trivexactl() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local IFS=$' \t\n'
  COMPREPLY=()

  # The command is the first word that is not an option.
  local command= word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    [[ $word != -* && ${COMP_WORDS[i - 1]} != --device && ${COMP_WORDS[i - 1]} != --output &&
      -z $(_trivexactl_values "${COMP_WORDS[i - 1]}") ]] && command=$word && break
  done

  # --interval=2<Tab>: bash splits the word at the equals sign.
  [[ $prev == "=" ]] && ((COMP_CWORD > 1)) && prev=${COMP_WORDS[COMP_CWORD - 2]}
  local values
  if [[ $prev == --device || $cur == --device=* ]]; then
    values=$(_trivexactl_joysticks "${COMP_WORDS[0]}")
    [[ $prev == --device ]] && COMPREPLY=($(compgen -W "$values" -- "$cur"))
    [[ $cur == --device=* ]] && COMPREPLY=($(compgen -P --device= -W "$values" -- "${cur#*=}"))
    return
  fi
  values=$(_trivexactl_values "$prev")
  if [[ -n $values ]]; then
    COMPREPLY=($(compgen -W "$values" -- "$cur"))
    return
  fi
  if [[ $cur == --*=* ]]; then
    values=$(_trivexactl_values "${cur%%=*}")
    [[ -n $values ]] && COMPREPLY=($(compgen -P "${cur%%=*}=" -W "$values" -- "${cur#*=}"))
    return
  fi

  case $command in
    "")
      # Options only once a dash is typed, as zsh and fish offer them.
      local words="list status write watch udev-rule report help"
      [[ $cur == -* ]] && words="--help --version"
      COMPREPLY=($(compgen -W "$words" -- "$cur"))
      ;;
    list) COMPREPLY=($(compgen -W "--json" -- "$cur")) ;;
    status | watch) COMPREPLY=($(compgen -W "--json --device" -- "$cur")) ;;
    report)
      # --output takes a file name.
      if [[ $prev == --output ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
      fi
      COMPREPLY=($(compgen -W "--device --output" -- "$cur"))
      ;;
    write)
      COMPREPLY=($(compgen -W "--dead-zone --angle-offset --threshold --interval --save --device" -- "$cur"))
      ;;
  esac
}

complete -F _trivexactl trivexactl
