#!/usr/bin/env bash
# Figures of the tray program on a private X server, tray host and dunst:
#   tests/e2e/harness.sh --tray --notifications -- bench/tray/latency.sh build/bin/purlo
# - key press to cleaned clipboard readable, 10 KB and 1 MB of text, median of
#   PRESSES presses (default 21), against a plain xclip write+read round trip
#   of the same text in the same run;
# - start to docked in the tray;
# - idle resident memory and wake-ups per second over 10 s.
set -u
purlo=${1:?usage: latency.sh PATH-TO-purlo}
presses=${PRESSES:-21}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
until_ok() {
    local end=$((SECONDS + $1)); shift
    until "$@"; do
        ((SECONDS >= end)) && return 1
        sleep 0.01
    done
    return 0
}
docked() {
    local root w
    root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    for w in $(xdotool search --classname purlo 2>/dev/null); do
        [[ $(xwininfo -id "$w" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p') != "$root" ]] && return 0
    done
    return 1
}

t0=$(now)
"$purlo" 2>"$work/purlo.err" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT
until_ok 15 docked || { echo "latency: the icon did not dock" >&2; exit 1; }
echo "start to docked: $(( ($(now) - t0) / 1000000 )) ms"

# Idle: nothing happens for 10 s.
until_ok 5 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) >= 1 ))'
ctx() { awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { s += $2 } END { print s }' "/proc/$pid/status"; }
c0=$(ctx); sleep 10; c1=$(ctx)
echo "idle: $(awk '/^VmRSS/ { print $2 / 1024 " MiB" }' "/proc/$pid/status") resident, $(awk -v a="$c0" -v b="$c1" 'BEGIN { printf "%.1f", (b - a) / 10 }') wake-ups/s"

for size in 10240 1048576; do
    # Words with double spaces and addresses, so every press has work to do.
    base=$(head -c "$size" /dev/zero | tr '\0' 'a' | fold -w 40 | sed 's/$/  https:\/\/h\/p?id=1\&utm_source=x/' | head -c "$size")
    : >"$work/press" ; : >"$work/xclip"
    for ((i = 0; i < presses; i++)); do
        text="$i $base"
        printf '%s' "$text" | xclip -selection clipboard -i
        until_ok 5 bash -c '[[ -n $(xclip -o -selection clipboard -t TARGETS 2>/dev/null) ]]'
        printf '%s' "$text" | sed 's/&utm_source=x//g' | tr -s ' \n' '  ' | sed 's/^ //; s/ $//' >"$work/want"
        s=$(now)
        xdotool key super+shift+v
        until_ok 10 bash -c 'xclip -o -selection clipboard 2>/dev/null | cmp -s - "$0"' "$work/want" ||
            { echo "latency: press $i did not clean the clipboard" >&2; exit 1; }
        echo $(( ($(now) - s) / 1000 )) >>"$work/press"
        # The baseline: another program writing the same text and a reader
        # getting it back, through the same X server.
        s=$(now)
        xclip -selection clipboard -i "$work/want"
        xclip -o -selection clipboard >/dev/null
        echo $(( ($(now) - s) / 1000 )) >>"$work/xclip"
    done
    p=$(median <"$work/press"); x=$(median <"$work/xclip")
    awk -v n="$size" -v p="$p" -v x="$x" -v k="$presses" 'BEGIN {
        printf "%7d bytes: press to clean clipboard %.1f ms, xclip round trip %.1f ms, ratio %.2f (median of %d)\n",
               n, p / 1000, x / 1000, p / x, k }'
done
