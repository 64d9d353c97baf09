#!/usr/bin/env bash
# Times what a user waits for against generic tools doing the same work, in
# one interleaved run: each round runs every command once, in turn, so that
# a busy moment of the machine falls on all of them alike.
#   meterctl convert IN.csv OUT.xls   vs  Perl Spreadsheet::WriteExcel writing the same cells
#   meterctl show OUT.xls             vs  python3-xlrd opening it and reading every cell
# Prints median and minimum wall time of each, the ratios, and the peak
# resident memory (/usr/bin/time -v). Run by hand on an idle machine:
#   bench/compare.sh [BUILD_DIR] [ROWS] [ROUNDS]
# Needs hyperfine, libspreadsheet-writeexcel-perl, libole-storage-lite-perl,
# python3-xlrd and time (scripts/setup installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-rel}
ROWS=${2:-65530}
ROUNDS=${3:-7}
METERCTL=$BUILD/tools/meterctl/meterctl
[ -x "$METERCTL" ] || { echo "no $METERCTL: build it first (cmake -DCMAKE_BUILD_TYPE=Release)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

/usr/bin/python3 bench/gen_records.py "$ROWS" "$WORK/in.csv"
"$METERCTL" convert "$WORK/in.csv" "$WORK/report.xls" >/dev/null

declare -A CMDS=(
    [convert]="$METERCTL convert $WORK/in.csv $WORK/out.xls"
    [perl]="/usr/bin/perl bench/swe_report.pl $WORK/in.csv $WORK/swe.xls"
    [show]="$METERCTL show $WORK/report.xls"
    [xlrd]="/usr/bin/python3 bench/xlrd_read.py $WORK/report.xls"
)
ORDER=(convert perl show xlrd)
for round in $(seq 1 "$ROUNDS"); do
    args=()
    for name in "${ORDER[@]}"; do args+=(-n "$name" "${CMDS[$name]}"); done
    hyperfine -N --runs 1 --style none --output=null --export-json "$WORK/round$round.json" "${args[@]}" >/dev/null
done

/usr/bin/python3 - "$WORK" "$ROUNDS" <<'PY'
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
times = {}
for r in range(1, rounds + 1):
    for res in json.load(open("%s/round%d.json" % (work, r)))["results"]:
        times.setdefault(res["command"], []).extend(res["times"])
med = {k: statistics.median(v) for k, v in times.items()}
low = {k: min(v) for k, v in times.items()}
for k in ("convert", "perl", "show", "xlrd"):
    print("%-8s median %7.3f s   min %7.3f s   (%d runs)" % (k, med[k], low[k], len(times[k])))
print("convert is %.1fx faster than Spreadsheet::WriteExcel (medians), %.1fx (minima)" % (med["perl"] / med["convert"], low["perl"] / low["convert"]))
print("show is %.1fx faster than xlrd (medians), %.1fx (minima)" % (med["xlrd"] / med["show"], low["xlrd"] / low["show"]))
PY
for name in "${ORDER[@]}"; do
    rss=$(/usr/bin/time -v ${CMDS[$name]} 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
    awk -v n="$name" -v k="$rss" 'BEGIN { printf "%-8s peak RSS %6.1f MB\n", n, k / 1024 }'
done
