#!/usr/bin/env bash
# The whole program on a real Wayland compositor, unfocused, as a user meets
# it: wl-copy holds the clipboard, the chord goes into the compositor, and
# wl-paste and the notifications show what came of it.
#   harness.sh --sway [--no-xwayland] --notifications -- wayland_test.sh sway PATH-TO-purlo
#   harness.sh --kwin --notifications -- wayland_test.sh kwin PATH-TO-purlo PATH-TO-fake_keys
#   PURLO_LABWC_CLEAN="PATH-TO-purlo --clean" harness.sh --labwc --notifications -- wayland_test.sh labwc PATH-TO-purlo
#   harness.sh --mutter --notifications -- wayland_test.sh mutter PATH-TO-purlo
# sway runs `purlo --clean` from its own binding; on KWin Purlo binds the
# chord through the portal; on GNOME a custom shortcut runs `purlo --clean`.
# Purlo's Qt is on X (Xwayland, or the harness's Xvfb beside KWin; with the
# harness's --no-xwayland, on Wayland itself), whose
# clipboard neither sway nor KWin keeps in step while no X window has focus:
# a cleaned wl-copy source there shows it used data-control. mutter has
# none, and keeps Xwayland's clipboard in step: Purlo goes through X there.
set -u
desk=${1:?sway, labwc, kwin or mutter}
purlo=${2:?purlo}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}
source "$PURLO_E2E_LIB/common.sh"

fake_keys=${3:-}
case $desk in
sway | labwc) chord() { wtype -M logo -M shift v -m shift -m logo; } ;;
kwin) chord() { "$fake_keys" 125 42 47; } ;;
# What a custom shortcut in GNOME's settings runs.
mutter) chord() { "$purlo" --clean; } ;;
*) echo "wayland_test.sh: no such desktop '$desk'" >&2; exit 2 ;;
esac
started=()
# As the package installs it: xdg-desktop-portal 1.22 binds no shortcut for
# a program whose desktop entry it cannot find (its app id). Not on mutter,
# which stands for GNOME before 48 here: with the entry, Debian 13's GNOME
# portal would open its dialog instead (the gnome-shell test covers that).
if [[ $desk == kwin ]]; then
    mkdir -p "$XDG_DATA_HOME/applications"
    sed "s|^Exec=purlo|Exec=$purlo|" "$(dirname "$0")/../../data/app.purlo.Purlo.desktop" \
        >"$XDG_DATA_HOME/applications/app.purlo.Purlo.desktop"
fi
trap 'kill -CONT "${started[@]}" 2>/dev/null; kill "${started[@]}" 2>/dev/null' EXIT
# Every call to the portal's shortcuts and every notification Purlo sends.
dbus-monitor --session "type='method_call',interface='org.freedesktop.portal.GlobalShortcuts'" \
    "type='method_call',member='Notify'" >"$work/bus" 2>&1 &
started+=($!)
until_ok 5 grep -q NameLost "$work/bus"
cleanings() { grep -c '^ *string "✓ Purlo"$' "$work/bus"; }
cleanings_are() { [[ $(cleanings) -eq $1 ]]; }
pasted() { timeout 5 wl-paste --no-newline --type text/plain 2>/dev/null | cmp -s - "$1"; }
text() { printf '%s' "$2" >"$work/$1"; }
# wl-copy serving file $1 as text until a newer copy replaces it; returns
# once wl-paste reads it. The type is given: wl-copy's guess through xdg-mime
# can be wrong for text, or, run as root here, a garbled string.
copy() { wl-copy --foreground --type text/plain <"$1" & source_pid=$!; started+=($!); until_ok 5 copied "$1"; }
# mutter has no data-control: there each wl-paste takes the keyboard focus
# for a moment, which a wl-copy still waiting for it to take the selection
# may lose for good. The X side sees a copy without focus.
copied() {
    if [[ $desk != mutter ]]; then pasted "$1"
    else timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | cmp -s - "$1"; fi
}
ready_notes_are() { [[ $(notes | grep -cx 'Purlo|Ready! Press [A-Za-z+]*V to clean clipboard') -eq $1 ]]; }
presses=0  # those that clean
# Waits for wl-paste to read file $1, and for one cleaning notification per press.
cleaned_to() { until_ok 10 pasted "$1" && until_ok 5 cleanings_are $presses; }
press_to() { chord; presses=$((presses + 1)); cleaned_to "$1"; }
waiting() { noted "Purlo|Super+Shift+V is waiting for you: confirm the shortcut in the desktop's dialog"; }
ready_or_waiting() { ready_notes_are "$1" || waiting; }
start() {
    "$purlo" 2>>"$work/purlo.err" & purlo_pid=$!; started+=($!)
    # Plasma 6.4 and later ask the user to confirm a new shortcut: Purlo
    # says so, and Enter confirms it in the dialog, which has the focus.
    until_ok 15 ready_or_waiting "$1" || return 1
    ready_notes_are "$1" || { "$fake_keys" 28 && until_ok 15 ready_notes_are "$1"; }
}

# Where Purlo cannot bind the chord, the desktop runs `purlo --clean` on it,
# and Purlo finds that binding where the desktop keeps it.
[[ $desk != sway ]] || { printf 'bindsym Mod4+Shift+v exec %s --clean\n' "$purlo" >>"$PURLO_SWAY_CONFIG" && swaymsg -q reload; }
if [[ $desk == mutter ]]; then
    # GNOME before 48: the launch offers to make GNOME's custom shortcut (the
    # gnome-shell test takes that offer), which runs purlo --clean.
    "$purlo" 2>>"$work/purlo.err" & purlo_pid=$!; started+=($!)
    until_ok 15 grep -q 'string "Set up Super+Shift+V"' "$work/bus"
    check "GNOME: the launch offers to set the shortcut up" $? "$(notes) $(cat "$work/purlo.err")"
else
    start 1; check "Purlo starts and says Ready! (KWin: the portal bound the chord; sway, labwc: their binding runs purlo --clean)" $? "$(notes) $(cat "$work/purlo.err")"
fi

text dirty $'  naïve ✓ 中  https://host/a?id=1&utm_source=mail\n\nand https://host/b?fbclid=9 '
text clean "naïve ✓ 中 https://host/a?id=1 and https://host/b"
copy "$work/dirty"
press_to "$work/clean"; check "a press cleans another program's UTF-8 text" $? "$(wl-paste -n) $(cleanings)"
# What the first press wrote is our own selection, served from memory.
press_to "$work/clean"; check "a second press reads our own text back and leaves it" $? "$(wl-paste -n) $(cleanings)"

if [[ $desk == kwin ]]; then
    # Another program's session, with a shortcut of the same id on
    # Meta+Shift+O: the portal tells every listener of its presses, and
    # Purlo must act on its own session's alone.
    /usr/bin/python3 "$PURLO_E2E_LIB/portal-other-session.py" >"$work/other" 2>&1 &
    started+=($!)
    until_ok 15 grep -qx 'bound 0' "$work/other" && copy "$work/dirty" && "$fake_keys" 125 42 24 &&
        until_ok 5 grep -qx 'activated clean' "$work/other"
    check "another program's session hears its own shortcut" $? "$(cat "$work/other")"
    # Had Purlo taken that press for its own, this one would make two
    # cleanings, which the counts from here on show.
    press_to "$work/clean"; check "Purlo's shortcut still cleans once beside it" $? "$(wl-paste -n) $(cleanings)"
fi

{ printf 'big  '; head -c 1048576 /dev/zero | tr '\0' w; } >"$work/big"
{ printf 'big '; head -c 1048576 /dev/zero | tr '\0' w; } >"$work/big.clean"
copy "$work/big"
press_to "$work/big.clean"; check "1 MB comes back exactly" $? "$(wl-paste -n | wc -c) bytes"

# A source that never sends costs the deadline and leaves the clipboard.
text frozen "frozen  text"
copy "$work/frozen"; frozen=$source_pid
kill -STOP $frozen
chord
until_ok 10 noted "Purlo|The program holding the clipboard did not answer"; rc=$?
kill -CONT $frozen
((rc == 0)) && pasted "$work/frozen" && test "$(cleanings)" -eq $presses
check "a stalled source is reported and keeps the clipboard" $? "$(notes | tail -n 2)"

# A copy made while a run waits for the older one's text is never
# overwritten with that text: the run starts over on the newer copy.
text older "older  text"; text newer "newer  copy"; text newer.clean "newer copy"
copy "$work/older"; older=$source_pid
kill -STOP $older
# Not the chord: a key press changes the seat, which the compositor tells
# every client, this source included.
"$purlo" --clean; presses=$((presses + 1))
# Bytes the compositor queued for the stopped source: its asking it to
# send (the run now waits on it), then its telling it that a newer copy
# replaced it.
queued() { ss -xpH | awk -v p="pid=$older," 'index($0, p) { print $3 }'; }
more_than() { (($(queued) > $1)); }
until_ok 2 more_than 0 && asked=$(queued) && { wl-copy --foreground --type text/plain <"$work/newer" & started+=($!); } &&
    until_ok 2 more_than "$asked"
kill -CONT $older
cleaned_to "$work/newer.clean"; check "a newer copy is cleaned, never replaced by the older" $? "$(wl-paste -n)"

if [[ $desk == kwin ]]; then
    # A new start finds the binding its predecessor made (BindShortcuts
    # would open System Settings on Plasma 5.27 at every start).
    kill $purlo_pid; wait $purlo_pid
    start 2; check "a new start binds again" $? "$(notes | tail -n 2)"
    copy "$work/dirty"
    press_to "$work/clean"; check "the new start cleans" $? "$(wl-paste -n) $(cleanings)"
    # Two starts and the other program's session. Plasma 5.27 binds the
    # list CreateSession gives; the portal of Plasma 6 drops that list, and
    # binding is asked for once per session (answered at once, no dialog).
    binds=0
    [[ $(dpkg-query -W -f='${Version}' kwin-wayland) == *:5.* ]] || binds=3
    [[ $(grep -c 'member=CreateSession' "$work/bus") -eq 3 && $(grep -c 'member=BindShortcuts' "$work/bus") -eq $binds ]]
    check "each start creates one session and binds only where the session does not already" $? "$(grep -o 'member=[A-Za-z]*' "$work/bus" | sort | uniq -c)"

    # The portal, or its KDE half, stops and is started again the way its
    # clients start it, through D-Bus: Purlo says the shortcut was lost, binds
    # it again once the portal is back, and says so.
    daemon() { bus org.freedesktop.DBus /org/freedesktop/DBus "org.freedesktop.DBus.$1" "${@:2}"; }
    gone() { daemon NameHasOwner "$1" | grep -q false; }
    # The chord as the portal reported it.
    noted_times() { [[ $(notes | grep -cx "Purlo|[A-Za-z+]*V $1") -eq $2 ]]; }
    portals=(org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde) which=("the portal" "its KDE half")
    for n in 1 2; do
        stop=("${portals[@]:n-1}")  # both, then the KDE half alone
        for name in "${stop[@]}"; do kill "$(daemon GetConnectionUnixProcessID "$name" | sed 's/[^ ]* \([0-9]*\).*/\1/')"; done
        for name in "${stop[@]}"; do until_ok 5 gone "$name"; done
        until_ok 5 noted_times "stopped working: the desktop portal stopped" $n && daemon StartServiceByName "${stop[0]}" 0 >/dev/null &&
            until_ok 15 noted_times "works again" $n && copy "$work/dirty" && press_to "$work/clean"
        check "${which[n-1]} stopped and started: said, bound again, cleans" $? "$(notes | tail -n 3)"
    done
fi
# Late duplicates of any press would have shown by now.
test "$(cleanings)" -eq $presses; check "one cleaning notification per press" $? "$(cleanings) for $presses"
if [[ $desk == kwin ]]; then
    # Qt is on the harness's Xvfb, which outlives KWin: Purlo ends through
    # its own Wayland connection, as it does with Xwayland elsewhere.
    kill -KILL "$PURLO_KWIN_PID"
    until_ok 10 bash -c '! kill -0 $0 2>/dev/null' $purlo_pid && grep -q "compositor has gone" "$work/purlo.err"
    check "Purlo ends when KWin dies" $? "$(tail -n 2 "$work/purlo.err")"
fi

echo "e2e: $passed passed, $failed failed"
((failed == 0))
