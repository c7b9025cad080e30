# fish completion for trivexactl: commands, the options of each, and the
# choices of each value option (the texts of the window's lists).

set -l commands list status write watch udev-rule report help
set -l no_command "not __fish_seen_subcommand_from $commands"

complete -c trivexactl -f
complete -c trivexactl -n $no_command -a list -d 'every HID interface, each joystick marked with its number and port'
complete -c trivexactl -n $no_command -a status -d "print the joystick's status line and position line"
complete -c trivexactl -n $no_command -a write -d "write new values into the joystick's EEPROM and read them back"
complete -c trivexactl -n $no_command -a watch -d 'print a line for every change, until Ctrl+C'
complete -c trivexactl -n $no_command -a udev-rule -d 'print the udev rule that lets the logged-in user open the joystick'
complete -c trivexactl -n $no_command -a report -d 'write a problem report to attach when something goes wrong'
complete -c trivexactl -n $no_command -a help -d 'print the help text'
complete -c trivexactl -n $no_command -s h -l help -d 'print the help text'
complete -c trivexactl -n $no_command -l version -d "print the program's version"

complete -c trivexactl -n '__fish_seen_subcommand_from list status watch' -l json -d 'print JSON'

# The joysticks present, each by number and by path, as `list` shows them.
function __trivexactl_joysticks
    trivexactl list 2>/dev/null | string replace -rf '^(\S+) .*  <- joystick (\d+).*' '$2\t$1'
    trivexactl list 2>/dev/null | string replace -rf '^(\S+) .*  <- joystick (\d+).*' '$1\tjoystick $2'
end
complete -c trivexactl -n '__fish_seen_subcommand_from report' -l output -r -F -d 'write the report to this file'
complete -c trivexactl -n '__fish_seen_subcommand_from status write watch report' -l device -x \
    -d 'the joystick, by its number or path as list shows them' -a '(__trivexactl_joysticks)'

set -l write '__fish_seen_subcommand_from write'
complete -c trivexactl -n $write -l dead-zone -x -d 'dead zone angle' \
    -a '1.0deg 1.5deg 2.0deg 2.5deg 3.0deg 3.5deg 4.0deg 4.5deg 5.0deg'
complete -c trivexactl -n $write -l angle-offset -x -d 'maximum angle offset' -a '-5 -4 -3 -2 -1 0 +1 +2 +3 +4 +5'
complete -c trivexactl -n $write -l threshold -x -d 'movement threshold' -a '1 2 3 4 5 6'
complete -c trivexactl -n $write -l interval -x -d 'transmission interval' -a '10ms 20ms 30ms 40ms 50ms'
complete -c trivexactl -n $write -l save -d 'also store the values in JOYSTICK.INI'
