#!/usr/bin/env bash
# Figures of the whole program on a headless Wayland compositor (figures
# only, no pass or fail):
#   tests/e2e/harness.sh --sway --notifications -- bench/wayland/press_bench.sh sway build/bin/purlo
#   tests/e2e/harness.sh --kwin --notifications -- bench/wayland/press_bench.sh kwin build/bin/purlo build/tests/e2e/fake_keys
# - key press to cleaned text readable by wl-paste, 10 KB and 1 MB, median of
#   REPS presses (default 7), against a wl-copy + wl-paste round trip of the
#   same text in the same run;
# - on KWin, start to shortcut bound through the portal (the "Ready!"
#   notification), for a first start, when D-Bus has to start the portals,
#   and for a second one.
# One `wl-paste --watch` reads every new clipboard as the compositor announces
# it and notes when it had read it all: that moment ends each figure, so
# polling costs none of them.
set -u
desk=${1:?usage: press_bench.sh sway|kwin PATH-TO-purlo [PATH-TO-fake_keys]}
purlo=${2:?purlo}
fake_keys=${3:-}
reps=${REPS:-7}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}

now() { date +%s%N; }
ms() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.0f\n", (b - a) / 1e6 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
until_ok() {
    local end=$((SECONDS + $1)); shift
    until "$@"; do
        ((SECONDS >= end)) && return 1
        sleep 0.005
    done
}
# Each clipboard the watcher read, as a file named by the time it had it all.
mkdir -p "$work/seen"
# When the watcher had read text file $1 ($2: not before), in ns; false until it has.
seen_at() {
    local f
    for f in "$work/seen"/[0-9]*; do
        [[ -e $f && ${f##*/} -ge $2 ]] && cmp -s "$f" "$1" && { echo "${f##*/}"; return 0; }
    done
    return 1
}
# Waits, at most 10 s, for text file $1 to be read after $2; the ms between.
read_after() {
    local at end=$((SECONDS + 10))
    until at=$(seen_at "$1" "$2"); do
        ((SECONDS >= end)) && return 1
        sleep 0.002
    done
    awk -v a="$2" -v b="$at" 'BEGIN { printf "%.0f\n", (b - a) / 1e6 }'
}
case $desk in
sway) chord() { wtype -M logo -M shift v -m shift -m logo; } ;;
kwin) chord() { "$fake_keys" 125 42 47; } ;;
*) echo "press_bench: no such desktop '$desk'" >&2; exit 2 ;;
esac
started=()
trap 'kill "${started[@]}" 2>/dev/null' EXIT

wl-paste --type text/plain --watch sh -c 'f=$(mktemp -p "$0"); cat >"$f"; mv "$f" "$0/$(date +%s%N)"' \
    "$work/seen" &
started+=($!)
dbus-monitor --session "type='method_call',member='Notify'" >"$work/bus" 2>&1 &
started+=($!)
until_ok 5 grep -q NameLost "$work/bus"
readies() { grep -c 'string "Ready!' "$work/bus"; }
readies_above() { (($(readies) > $1)); }
start() {
    local t0 n=$(readies)
    t0=$(now)
    "$purlo" 2>>"$work/purlo.err" &
    purlo_pid=$!; started+=($!)
    if [[ $desk == sway ]]; then
        gdbus wait --session --timeout 10 app.purlo.Purlo
    else
        until_ok 20 readies_above "$n" || { echo "press_bench: no Ready! after 20 s" >&2; exit 1; }
        echo "start to shortcut bound ($1): $(ms "$t0") ms"
    fi
}

[[ $desk == sway ]] && swaymsg -q "bindsym Mod4+Shift+v exec $purlo --clean"
start "first start, the bus starts the portals"
if [[ $desk == kwin ]]; then
    kill $purlo_pid; wait $purlo_pid
    start "second start"
fi

for size in 10240 1048576; do
    # Words with double spaces and addresses, so every press has work to do.
    head -c "$size" /dev/zero | tr '\0' a | fold -w 40 | sed 's|$|  https://h/p?id=1\&utm_source=x|' |
        head -c "$size" >"$work/base"
    : >"$work/press"; : >"$work/trip"
    for ((i = 0; i < reps; i++)); do
        { printf '%d ' "$i"; cat "$work/base"; } >"$work/text"
        sed 's/&utm_source=x//g' "$work/text" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//' >"$work/want"
        # The baseline: another program copying the same text and a reader
        # getting it back, through the same compositor.
        t0=$(now)
        wl-copy --type text/plain <"$work/text"
        read_after "$work/text" "$t0" >>"$work/trip" || { echo "press_bench: wl-copy did not copy" >&2; exit 1; }
        t0=$(now)
        chord
        read_after "$work/want" "$t0" >>"$work/press" ||
            { echo "press_bench: press $i did not clean the clipboard" >&2; exit 1; }
        rm -f "$work/seen"/[0-9]*
    done
    p=$(median <"$work/press"); t=$(median <"$work/trip")
    awk -v n="$size" -v p="$p" -v t="$t" -v k="$reps" -v d="$desk" 'BEGIN {
        printf "%s, %7d bytes: press to cleaned text %d ms, wl-copy + wl-paste round trip %d ms, ratio %.2f (median of %d)\n",
               d, n, p, t, p / t, k }'
done
