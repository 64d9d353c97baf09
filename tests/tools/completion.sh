#!/usr/bin/env bash
# The bash completion of meterctl, sourced into this shell and called as bash
# calls it: commands, options per command, ports after --port, report and
# CSV files where a file is asked for.   completion.sh COMPLETION_FILE
set -eu
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch today.xls OLD.XLS rows.csv notes.txt
failed=0

# complete_line WORD... : what _meterctl offers for the last word, sorted, on one line.
complete_line()
{
    COMP_WORDS=(meterctl "$@")
    COMP_CWORD=$#
    COMP_LINE="meterctl $*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _meterctl meterctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort -u | tr '\n' ' ' | sed 's/ $//'
}

# expect "WORDS" "OFFERED": the completion of the last of WORDS is OFFERED.
# Bash splits --lang=z into three words: --lang, = and z.
expect()
{
    local got
    read -r -a words <<<"$1"
    [[ -z $1 || $1 == *" " ]] && words+=("")
    got=$(complete_line "${words[@]}")
    if [ "$got" != "$2" ]; then
        echo "completion: 'meterctl $1': expected '$2', got '$got'" >&2
        failed=1
    fi
}

expect "" "--help --version calibrate convert download info ports set-clock show"
expect "d" "download"
expect "s" "set-clock show"
expect "download --k" "--keep-partial"
expect "download --c" "--company --csv"
expect "show --" "--csv --help --json --lang"
expect "calibrate --" "--demo --help --lang --opm --port --retries --rl --timeout --trace"
expect "ports --" "--help --probe --timeout --trace"
expect "info --" "--demo --help --lang --port --retries --timeout --trace"
expect "download --j" "--json"
expect "download --lang " "en zh"
expect "show today.xls --lang = " "en zh"
expect "download --lang =" "en zh"
expect "download --timeout " ""
# Reports and CSV files, whatever the case of the extension, and folders.
expect "download --xls " "OLD.XLS folder today.xls"
expect "download --csv " "- folder rows.csv"
expect "show " "OLD.XLS folder today.xls"
expect "show t" "today.xls"
expect "convert rows.csv " "OLD.XLS folder rows.csv today.xls"
expect "set-clock --now --port " "$( (echo auto; for d in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
    [ -e "$d" ] && echo "${d#/dev/}"; done) | sort | tr '\n' ' ' | sed 's/ $//')"
expect "info --port = au" "auto"
expect "info --port /dev/ttyNONE" ""

[ "$failed" -eq 0 ] && echo "completion: ok"
exit "$failed"
