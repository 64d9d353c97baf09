# bash completion for meterctl: the commands, each command's options, the
# serial ports after --port, .xls and .csv files where a file is asked for.
# Installed as .../bash-completion/completions/meterctl; needs only bash.

# Adds the directories and the files ending in .EXT (any case) that start
# with the word being completed.
_meterctl_files()
{
    local cur=$1 ext pattern c
    shift
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY+=($(compgen -d -- "$cur"))
    for ext in "$@"; do
        # xls -> *.[xX][lL][sS]
        pattern=
        while [ -n "$ext" ]; do
            c=${ext:0:1}
            pattern+="[$c${c^^}]"
            ext=${ext:1}
        done
        COMPREPLY+=($(compgen -f -X "!*.$pattern" -- "$cur"))
    done
}

# The serial devices meterctl can talk to, by name (ttyUSB0) or, once a path
# is being typed, by path (/dev/ttyUSB0); and auto, which finds the meter.
_meterctl_ports()
{
    local cur=$1 dev names=(auto)
    for dev in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
        [ -e "$dev" ] || continue
        if [[ $cur == /* ]]; then
            names+=("$dev")
        else
            names+=("${dev#/dev/}")
        fi
    done
    COMPREPLY+=($(compgen -W "${names[*]}" -- "$cur"))
}

_meterctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    local cword=$COMP_CWORD
    [ "$cword" -gt 0 ] && prev=${COMP_WORDS[cword - 1]}
    # --port=tty... arrives as three words: --port, =, tty...
    if [ "$cur" = "=" ]; then
        cur=
        prev=${COMP_WORDS[cword - 1]}
    elif [ "$prev" = "=" ] && [ "$cword" -gt 1 ]; then
        prev=${COMP_WORDS[cword - 2]}
    fi
    COMPREPLY=()

    local command=
    if [ "$cword" -gt 1 ]; then
        command=${COMP_WORDS[1]}
    fi
    if [ -z "$command" ]; then
        COMPREPLY=($(compgen -W "ports info download calibrate set-clock show convert --help --version" -- "$cur"))
        return 0
    fi

    local meter="--port --demo --timeout --retries --trace --lang --help"
    local userinfo="--company --meter-type --serial --operator --notes"
    local options
    case $command in
        ports) options="--probe --timeout --trace --help" ;;
        info) options=$meter ;;
        download) options="$meter --xls --csv --json --keep-partial $userinfo" ;;
        calibrate) options="--rl --opm $meter" ;;
        set-clock) options="--now $meter" ;;
        show) options="--csv --json --lang --help" ;;
        convert) options="--lang $userinfo --help" ;;
        *) return 0 ;;
    esac

    # The value of the option before the cursor.
    case $prev in
        --port)
            _meterctl_ports "$cur"
            return 0
            ;;
        --lang)
            COMPREPLY=($(compgen -W "zh en" -- "$cur"))
            return 0
            ;;
        --xls)
            _meterctl_files "$cur" xls
            return 0
            ;;
        --csv)
            # download writes a file or, with -, standard output; show's
            # --csv takes no file, so options and the report go on there.
            if [ "$command" = download ]; then
                _meterctl_files "$cur" csv
                [[ -z $cur || $cur == - ]] && COMPREPLY+=(-)
                return 0
            fi
            ;;
        --timeout | --retries | --rl | --opm | --company | --meter-type | --serial | --operator | --notes)
            return 0
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return 0
    fi
    # The files a command takes: show a report, convert a CSV or a report.
    case $command in
        show) _meterctl_files "$cur" xls ;;
        convert) _meterctl_files "$cur" csv xls ;;
    esac
    return 0
}

complete -F _meterctl meterctl
