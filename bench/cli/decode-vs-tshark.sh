#!/usr/bin/env bash
# Speed of `vessik-cli decode` end to end (process start, reading hex,
# decoding, writing to /dev/null) on a basic-rate mix, in its three forms on
# one thread and on two; and, when tshark is installed, tshark's full tree
# (-V) and its one line per packet on the same frames as a pcap.
#
#   bench/cli/decode-vs-tshark.sh [FRAMES]     (default 1000000)
#
# VESSIK_CLI names the program (default build/cli/vessik-cli). Each vessik
# figure is the best of three runs; tshark runs once. The machine's load
# average is printed with the figures: other work on the cores slows all.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${VESSIK_CLI:-$here/../../build/cli/vessik-cli}
frames=${1:-1000000}
[[ -x $cli ]] || { echo "no vessik-cli at $cli (build it, or set VESSIK_CLI)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The decoder benchmark's mix: call set-up and clearing, overlap digits,
# advice of charge, layer-2 supervision and TEI management.
cat > "$work/mix.txt" <<'MIX'
02 FF 03 08 01 05 05 A1 04 03 80 90 A3 18 01 83 6C 0B 21 83 33 30 31 32 33 34 35 36 37 70 08 A1 30 33 30 39 38 37 36 7D 02 91 81
02 FF 03 08 01 06 05 04 03 80 90 A3 18 01 89 6C 06 01 80 35 35 35 31 70 04 C1 31 32 33 28 05 41 6E 6E 61 20 29 05 18 03 0E 0A 1E
00 81 01 0A
02 81 00 02 08 01 85 02 18 01 89
02 81 02 04 08 01 85 01 1E 02 82 88
00 81 04 04 08 01 05 7B 70 02 80 31
00 81 06 06 08 01 05 7B 70 03 80 32 33
02 81 04 08 08 01 85 07 29 05 18 03 0E 0A 1F 4C 05 01 80 31 32 33
00 81 08 06 08 01 05 0F
02 81 01 0A
02 81 05 0A
02 81 06 0A 08 01 85 62 1C 16 91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01
00 81 0A 0A 08 01 05 45 08 02 80 90
02 81 0C 0C 08 01 85 4D 08 02 82 90
00 81 0E 0E 08 01 05 5A
FE FF 03 0F 7C 5A 01 FF
FC FF 03 0F 7C 5A 02 81
MIX
awk -v n="$frames" '{ f[NR] = $0 } END { for (i = 0; i < n; i++) print f[i % NR + 1] }' "$work/mix.txt" > "$work/frames.txt"

# "wall-seconds cpu-seconds" of one run, output to /dev/null. On a busy
# machine the CPU time tells what the program costs; the wall time what a
# user waits.
run() {
    local TIMEFORMAT='%R %U %S' t
    t=$( { time "$@" > /dev/null 2>&1; } 2>&1 ) || true
    awk '{ printf "%s %.3f", $1, $2 + $3 }' <<< "$t"
}
# The run of three with the least wall time.
best_of_three() {
    local best='' r
    for _ in 1 2 3; do
        r=$(run "$@" < "$work/frames.txt")
        best=$(awk -v a="$best" -v b="$r" 'BEGIN { split(a, x, " "); split(b, y, " ");
            print (a == "" || y[1] < x[1]) ? b : a }')
    done
    echo "$best"
}
wall() { echo "${1%% *}"; }
cpu() { echo "${1##* }"; }
rate() { awk -v n="$frames" -v s="$1" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

echo "vessik-cli decode: $frames frames of the basic-rate mix, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %14s %14s %14s %8s\n' form "1 job, wall" "1 job, CPU" "2 jobs, wall" "2 / 1"
declare -A one onecpu
for form in text summary json; do
    case $form in
        text) option=() ;;
        *) option=("--$form") ;;
    esac
    r1=$(best_of_three "$cli" decode --jobs 1 "${option[@]}")
    r2=$(best_of_three "$cli" decode --jobs 2 "${option[@]}")
    one[$form]=$(rate "$(wall "$r1")")
    onecpu[$form]=$(rate "$(cpu "$r1")")
    printf '%-9s %14s %14s %14s %8s\n' "$form" "${one[$form]}" "${onecpu[$form]}" "$(rate "$(wall "$r2")")" \
        "$(ratio "$(wall "$r1")" "$(wall "$r2")")"
done
echo "(frames per second; CPU: frames per second of user and system time)"
met() { awk -v r="$1" -v g="$2" 'BEGIN { print (r >= g) ? "met" : "NOT met" }'; }
echo "goals on one thread, wall (CPU): text >= 1000000 frames/s $(met "${one[text]}" 1000000)" \
     "($(met "${onecpu[text]}" 1000000)), summary >= 4000000 frames/s $(met "${one[summary]}" 4000000)" \
     "($(met "${onecpu[summary]}" 4000000))"

if ! command -v tshark > /dev/null; then
    echo "tshark is not installed: no comparison"
    exit 0
fi
# The same frames as a pcap of link type LINUX_LAPD, through a log.
awk '{ printf "00:00:00,000;T;x;%s\r\n", $0 }' "$work/frames.txt" > "$work/frames.log"
"$cli" export --pcap "$work/frames.pcap" "$work/frames.log" 2> /dev/null
tv=$(run tshark -n -V -r "$work/frames.pcap")
tl=$(run tshark -n -r "$work/frames.pcap")
printf '%-9s %14s %14s\n' "tshark -V" "$(rate "$(wall "$tv")")" "$(rate "$(cpu "$tv")")" \
    tshark "$(rate "$(wall "$tl")")" "$(rate "$(cpu "$tl")")"
echo "one job against tshark, wall (CPU):" \
     "text $(ratio "${one[text]}" "$(rate "$(wall "$tv")")")x ($(ratio "${onecpu[text]}" "$(rate "$(cpu "$tv")")")x) tshark -V," \
     "json $(ratio "${one[json]}" "$(rate "$(wall "$tv")")")x ($(ratio "${onecpu[json]}" "$(rate "$(cpu "$tv")")")x) tshark -V," \
     "summary $(ratio "${one[summary]}" "$(rate "$(wall "$tl")")")x ($(ratio "${onecpu[summary]}" "$(rate "$(cpu "$tl")")")x) tshark"
