#!/usr/bin/env bash
# Purlo's memory around one cleaning of a large clipboard (figures only, no
# pass or fail), on X11 or on a headless sway:
#   tests/e2e/harness.sh --tray --notifications -- bench/memory/big_clipboard.sh x11 build/bin/purlo
#   tests/e2e/harness.sh --sway --notifications -- bench/memory/big_clipboard.sh sway build/bin/purlo
# Prints the resident memory when idle, its peak during the run (VmHWM), the
# peak above idle as a multiple of the text's size, and the memory while
# Purlo holds the cleaned text (it serves it from memory) and once another
# program has copied something else.
set -u
desk=${1:?usage: big_clipboard.sh x11|sway PATH-TO-purlo [MiB]}
purlo=${2:?purlo}
mib=${3:-60}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}
source "$PURLO_E2E_LIB/common.sh"

kb() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$pid/status"; }
case $desk in
x11) copy() { xclip -selection clipboard -i -quiet <"$1" >/dev/null 2>&1 & owner=$!; }
     paste() { timeout 30 xclip -o -selection clipboard 2>/dev/null; } ;;
sway) copy() { wl-copy --foreground --type text/plain <"$1" & owner=$!; }
      paste() { timeout 30 wl-paste --no-newline --type text/plain 2>/dev/null; } ;;
*) echo "big_clipboard: no such desktop '$desk'" >&2; exit 2 ;;
esac

yes 'word  word' | head -c "$((mib << 20))" >"$work/big"
"$purlo" 2>"$work/purlo.err" & pid=$!
gdbus wait --session --timeout 10 app.purlo.Purlo
sleep 2  # idle: the launch's own allocations settle
idle=$(kb VmRSS)
copy "$work/big"
until_ok 10 bash -c "$(declare -f paste); paste | head -c 4 | grep -q word"
"$purlo" --clean
until_ok 120 bash -c "$(declare -f paste); paste | head -c 20 | grep -q '^word word word'"
sleep 2
peak=$(kb VmHWM) holding=$(kb VmRSS)
# Another program copies: Purlo no longer holds the cleaned text.
kill $owner 2>/dev/null
printf 'small' >"$work/small"
copy "$work/small"
until_ok 10 bash -c "$(declare -f paste); [[ \$(paste) == small ]]"
sleep 2
after=$(kb VmRSS)
awk -v i="$idle" -v p="$peak" -v h="$holding" -v a="$after" -v t="$((mib << 10))" -v d="$desk" 'BEGIN {
    printf "%s, %d MiB text: idle %.1f MiB; peak %.1f MiB, %.2f x the text above idle; ", d, t / 1024, i / 1024, p / 1024, (p - i) / t
    printf "holding the cleaned text %.1f MiB (%+.1f); once another program copies %.1f MiB (%+.1f)\n", h / 1024, (h - i) / 1024, a / 1024, (a - i) / 1024 }'
kill $pid $owner 2>/dev/null
