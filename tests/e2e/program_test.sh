#!/usr/bin/env bash
# The whole tray program on a real X server, tray hosts (trayer, and
# xfce4-panel as a StatusNotifier host) and notification daemon (run by
# harness.sh --tray --notifications). Each press is a real key event from
# xdotool, each clipboard owner a real program (xclip, clip_owner), and what
# the user would see is read back from the clipboard and dunst.
#   program_test.sh PATH-TO-purlo PATH-TO-clip_owner
set -u
purlo=${1:?purlo}
clip_owner=${2:?clip_owner}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}
source "$PURLO_E2E_LIB/common.sh"
clip() { timeout 60 xclip -o -selection clipboard "$@" 2>/dev/null; }
targets() { clip -t TARGETS | sort | tr '\n' ' '; }
owner() { "$PURLO_SELECTION_OWNER" CLIPBOARD 2>/dev/null; }
# Owns CLIPBOARD with the contents of file $1 through xclip (more xclip
# arguments after it), returning once the owner is no longer the previous
# one: a press before that would clean the old text.
own_file() {
    local was; was=$(owner)
    xclip -selection clipboard -i -quiet "${@:2}" <"$1" >/dev/null 2>&1 &
    owner_pid=$!
    until_ok 10 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD 2>/dev/null) != "$0" ]]' "$was"
}
own_text() { printf '%s' "$1" >"$work/text"; own_file "$work/text"; }
# Presses Super+Shift+V and waits for the clipboard to read $1.
press_until() {
    local want=$1
    xdotool key super+shift+v
    until_ok 15 bash -c '[[ $(timeout 10 xclip -o -selection clipboard 2>/dev/null) == "$0" ]]' "$want"
}
expected_targets="MULTIPLE STRING TARGETS TEXT TIMESTAMP UTF8_STRING text/plain text/plain;charset=utf-8 "
# A fresh file for each owner's "ready": the parent must never read the
# previous owner's word before the new one has truncated it.
owners=0
start_clip_owner() {
    local out="$work/owner.$((++owners)).out"
    "$clip_owner" "$@" >"$out" &
    owner_pid=$!
    until_ok 5 grep -q ready "$out"
}

# The display named the way a user may name it: on the command line only.
display=$DISPLAY
env -u DISPLAY "$purlo" -display "$display" 2>"$work/purlo.err" &
purlo_pid=$!
trap 'kill $purlo_pid 2>/dev/null; kill $owner_pid ${dunst_pid:-} 2>/dev/null' EXIT

# The icon docks: purlo's window gets reparented into the tray host.
docked() {
    local w
    for w in $(xdotool search --classname purlo 2>/dev/null); do
        [[ $(xwininfo -id "$w" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p') != \
           $(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p') ]] && { icon=$w; return 0; }
    done
    return 1
}
until_ok 10 docked; check "the icon docks in the tray" $? "$(cat "$work/purlo.err")"
until_ok 5 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) >= 1 ))'
notes | grep -qxF "Purlo|Ready! Press Super+Shift+V to clean clipboard"; check "the launch notification" $? "$(notes)"

# A plain owner: cleaned, one plain-text representation, one notification.
own_text $'  See  https://host/a?id=1&utm_source=mail\n\nand https://host/b?fbclid=9 '
before=$(notes_total)
press_until "See https://host/a?id=1 and https://host/b"; check "Super+Shift+V cleans a plain owner" $? "$(clip)"
[[ $(targets) == "$expected_targets" ]]; check "only plain-text targets remain" $? "$(targets)"
until_ok 5 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) > $0 ))' "$before"
# dunst without a configuration reads no markup: the & travels as it is.
[[ $(notes | tail -n 1) == "✓ Purlo|Removed formatting & cleaned URLs" && $(notes_total) -eq $((before + 1)) ]]
check "one cleaning notification, & shown as &" $? "$(notes | tail -n 2)"

# A rich owner: text, HTML and an image become the plain text alone.
printf 'Rich\t text' >"$work/t"; printf '<b>Rich</b> text' >"$work/h"; printf '\x89PNG' >"$work/i"
start_clip_owner text/plain="$work/t" text/html="$work/h" image/png="$work/i"
press_until "Rich text"; check "a rich owner becomes plain text" $? "$(clip)"
[[ $(targets) == "$expected_targets" ]]; check "no HTML or image left" $? "$(targets)"
own_text "tick  ✓"
press_until "tick ✓" && [[ $(targets) == "${expected_targets/STRING /}" ]]
check "text that is not Latin-1 is not offered as STRING" $? "$(targets)"
kill $owner_pid 2>/dev/null
printf 'caf\xe9  \xbd' >"$work/latin1"; own_file "$work/latin1" -t STRING
press_until "café ½"; check "a STRING-only (Latin-1) owner is read" $? "$(clip)"
# 20 MB goes both ways in INCR pieces, exactly.
python3 -c 'import sys; sys.stdout.write(" ".join(["abcdefghij klmnop é"] * 1000000))' >"$work/big"
{ printf '  '; cat "$work/big"; } >"$work/big.dirty"; own_file "$work/big.dirty"
was=$(owner); xdotool key super+shift+v
# No reading while xclip serves: it transfers to one reader at a time.
until_ok 60 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD 2>/dev/null) != "$0" ]]' "$was" && clip | cmp -s - "$work/big"
check "20 MB are cleaned exactly" $?
# Over 64 MiB: refused and said, and the owner is not left stuck halfway.
head -c $((65 << 20)) /dev/zero | tr '\0' x >"$work/huge"; own_file "$work/huge"
xdotool key super+shift+v
until_ok 60 noted "Purlo|The clipboard is too large to clean" && [[ $(clip | wc -c) -eq $((65 << 20)) ]]
check "65 MiB are refused and their owner still serves them" $? "$(notes | tail -n 1)"
rm -f "$work/big" "$work/big.dirty" "$work/huge"

# Owners with no plain text, and the wrong combinations: nothing changes.
# (Nothing to wait for here: a bounded look for a change that must not come.)
unchanged_after() {  # keys, owner window before
    local count=$(notes_total)
    xdotool key "$1"
    ! until_ok 2 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD 2>/dev/null) != "$0" ]]' "$2" &&
        [[ $(notes_total) -eq $count ]]
}
for kind in html image; do
    if [[ $kind == html ]]; then offer="text/html=$work/h"; else offer="image/png=$work/i"; fi
    kill $owner_pid 2>/dev/null
    start_clip_owner "$offer"
    was=$(owner); types=$(targets)
    unchanged_after super+shift+v "$was" && [[ $(targets) == "$types" ]]
    check "a $kind-only owner is left as it was" $? "$(targets)"
done
kill $owner_pid 2>/dev/null
own_text "dirty  https://h/?ref=1"
was=$(owner)
for keys in ctrl+shift+v super+v super+shift+alt+v super+shift+b; do
    unchanged_after "$keys" "$was" && [[ $(clip) == "dirty  https://h/?ref=1" ]]
    check "$keys does nothing" $? "$(clip)"
done

# A second purlo (a launch from the menu) has the first one say that it
# runs, and leaves it working, however the display is written.
DISPLAY="$display.0" "$purlo" >"$work/second.out" 2>"$work/second.err"; rc=$?
[[ $rc -eq 0 && $(wc -l <"$work/second.err") -eq 1 ]] && kill -0 $purlo_pid &&
    until_ok 5 noted "Purlo|Purlo is already running: Super+Shift+V cleans the clipboard"
check "a second instance exits 0 with one line, and the first one says it runs" $? "rc=$rc $(cat "$work/second.err") $(notes | tail -n 1)"
press_until "dirty https://h/"; check "the first instance still cleans" $? "$(clip)"
# What a desktop's own key binding runs.
own_text "bound  key https://h/?gclid=1"
"$purlo" --clean && until_ok 15 bash -c '[[ $(xclip -o -selection clipboard) == "bound key https://h/" ]]'
check "purlo --clean cleans through the running Purlo" $? "$(clip)"
# A Purlo that does not answer: given up on within 3 s, and said where a
# key binding's user looks. It takes the request once it runs again.
kill -STOP $purlo_pid
start=${EPOCHREALTIME/./}
timeout 10 "$purlo" --clean 2>"$work/hung.err"; rc=$?; took=$(((${EPOCHREALTIME/./} - start) / 1000))
kill -CONT $purlo_pid
# Its own bound is 2 s, and 0.8 s for the notification; 5 s leaves a loaded
# machine room to start the process, and still tells it from a wait of 25 s.
((rc == 1 && took < 5000)) && until_ok 5 noted "Purlo|The clipboard was not cleaned: Purlo did not answer"
check "purlo --clean gives up on a stopped Purlo and says so" $? "rc=$rc ${took} ms $(cat "$work/hung.err") $(notes | tail -n 1)"
own_text "after  the stop"
"$purlo" --clean && until_ok 15 bash -c '[[ $(xclip -o -selection clipboard) == "after the stop" ]]'
check "the Purlo that was stopped cleans again" $? "$(clip)"
# NumLock and CapsLock are modifiers to X: the shortcut must not care.
for locks in Num_Lock Caps_Lock "Num_Lock Caps_Lock"; do
    own_text "with  $locks"
    xdotool key $locks; press_until "with $locks"; rc=$?; xdotool key $locks
    check "Super+Shift+V with $locks on" $rc "$(clip)"
done
# A layout that moves V to another key: the shortcut follows it. A layout
# without V is reported, and so is V's return.
old_v=$(xmodmap -pke | awk '$4 == "v" { print $2 }')
spare=$(xmodmap -pke | awk 'NF == 3 { k = $2 } END { print k }')
moves=(-e "keycode $spare = v V"); for k in $old_v; do moves+=(-e "keycode $k ="); done
xmodmap "${moves[@]}"
own_text "moved  v"
press_until "moved v"; check "the shortcut follows V to keycode $spare" $? "$(clip)"

xmodmap -e "keycode $spare ="
until_ok 5 noted "Purlo|Super+Shift+V is unavailable: the keyboard layout has no V key. Bind Super+Shift+V to “purlo --clean” in the window manager’s key bindings, or with xbindkeys"
check "a layout without V is reported" $? "$(notes | tail -n 2)"
before=$(notes_total)
xmodmap -e "keycode $spare = v V"
until_ok 5 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) > $0 ))' "$before"
[[ $(notes | tail -n 1) == "Purlo|Ready! Press Super+Shift+V to clean clipboard" ]]; check "V's return is reported" $? "$(notes | tail -n 1)"
restore=(-e "keycode $spare ="); for k in $old_v; do restore+=(-e "keycode $k = v V"); done
xmodmap "${restore[@]}"
# A layout chosen through XKB (setxkbmap) is announced through XKB alone;
# Dvorak puts V on another key.
setxkbmap -layout us -variant dvorak
own_text "dvorak  v"
press_until "dvorak v"; check "the shortcut follows an XKB layout" $? "$(clip)"
setxkbmap -layout us -variant ''

# An owner that stalls costs about two seconds and is reported; the next
# press works.
kill $owner_pid 2>/dev/null
own_text "stalled  text"
kill -STOP $owner_pid
xdotool key super+shift+v
until_ok 10 noted "Purlo|The program holding the clipboard did not answer"
check "a stalled owner is reported" $? "$(notes | tail -n 3)"
kill -CONT $owner_pid 2>/dev/null; kill $owner_pid 2>/dev/null
own_text "live  text"
press_until "live text"; check "a stalled owner does not block the next press" $? "$(clip)"

# An owner that pauses halfway through a large text (a busy machine, a
# debugger) is reported at the deadline, and lives on: it is stopped once
# it has written a megabyte of the transfer to the X server.
{ printf 'paused  '; head -c 40000000 /dev/zero | tr '\0' p; } >"$work/paused"
{ printf 'paused '; head -c 40000000 /dev/zero | tr '\0' p; } >"$work/paused.clean"
own_file "$work/paused"
stalls() { notes | grep -cxF "Purlo|The program holding the clipboard did not answer"; }
more_stalls() { (($(stalls) > $1)); }
stalled=$(stalls) before=$(awk '/^wchar/ { print $2 }' "/proc/$owner_pid/io")
xdotool key super+shift+v
until_ok 10 bash -c '(( $(awk "/^wchar/ { print \$2 }" /proc/$0/io) > $1 + 1000000 ))' "$owner_pid" "$before" &&
    kill -STOP $owner_pid && until_ok 10 more_stalls "$stalled"
rc=$?
kill -CONT $owner_pid
# Purlo takes the rest unread; the owner is then free for the next press.
((rc == 0)) && until_ok 60 bash -c 'timeout 20 xclip -o -selection clipboard | cmp -s - "$0"' "$work/paused" && kill -0 $owner_pid
check "an owner paused mid-transfer is reported and lives on" $? "rc=$rc alive=$(kill -0 $owner_pid && echo y) clip=$(clip | head -c 20) size=$(clip | wc -c)"
xdotool key super+shift+v
until_ok 60 bash -c 'timeout 20 xclip -o -selection clipboard | cmp -s - "$0"' "$work/paused.clean"
check "the next press cleans its text" $?

# A burst of presses: one cleaning notification on screen, replaced, not
# a pile of them.
before=$(notes_total)
for _ in $(seq 20); do xdotool key super+shift+v; done
until_ok 15 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) > $0 ))' "$before"
sleep 1  # the burst's last notifications, if any were to pile up
(( $(notes_total) <= before + 2 )); check "20 presses do not pile up notifications" $? "$before -> $(notes_total)"

# Without a notification server the tray's own balloon says it; a server
# that starts later is used, and one that reads markup gets the & escaped.
kill "$PURLO_DUNST_PID"
until_ok 5 bash -c '! dunstctl is-paused >/dev/null 2>&1'
own_text "no  server"
balloon() { xdotool search --onlyvisible --classname purlo 2>/dev/null | grep -vx "$icon" | head -n 1 | grep .; }
press_until "no server" && until_ok 5 balloon >/dev/null; check "without a server the tray's balloon says it" $?
xdotool mousemove --window "$(balloon)" 5 5 click 1  # it would cover the icon
printf '[global]\n    markup = full\n    stack_duplicates = false\n' >"$work/dunstrc"
dunst -config "$work/dunstrc" >/dev/null 2>&1 & dunst_pid=$!
gdbus wait --session --timeout 10 org.freedesktop.Notifications
own_text "a  server  again"
press_until "a server again" && until_ok 5 noted "✓ Purlo|Removed formatting &amp; cleaned URLs"
check "a server that starts later is used, & escaped for markup" $? "$(notes | tail -n 2)"

# Left click: the 280x300 panel; a click elsewhere closes it.
panel_shown() { xdotool search --onlyvisible --classname purlo 2>/dev/null | while read -r w; do
    xwininfo -id "$w" | grep -q 'Width: 280' && xwininfo -id "$w" | grep -q 'Height: 300' && echo "$w"; done | grep -q .; }
if [[ -n ${icon:-} ]]; then
    xdotool mousemove --window "$icon" 4 4 click 1
    until_ok 5 panel_shown; check "a left click shows the 280x300 panel" $?
    xdotool mousemove 600 500 click 1
    ! until_ok 0 panel_shown || until_ok 5 bash -c '! xdotool search --onlyvisible --classname purlo 2>/dev/null | while read -r w; do xwininfo -id "$w" | grep -q "Width: 280" && echo x; done | grep -q .'
    check "a click outside closes the panel" $?

    # Right click: the menu; its one item, Close, ends purlo with status 0.
    xdotool mousemove --window "$icon" 4 4 click 3
    menu_shown() { menu=$(xdotool search --onlyvisible --classname purlo 2>/dev/null | while read -r w; do
        [[ $w != "$icon" ]] && xwininfo -id "$w" | grep -q 'Map State: IsViewable' && echo "$w"; done | head -n 1); [[ -n $menu ]]; }
    until_ok 5 menu_shown; check "a right click shows the menu" $?
    # While the menu holds the keyboard the shortcut is still ours, and
    # every other key is still the menu's.
    own_text "menu  open"
    press_until "menu open" && menu_shown; check "the shortcut cleans while the menu is open, and the menu stays" $?
    xdotool key v Escape
    until_ok 5 bash -c '! xwininfo -id $0 2>/dev/null | grep -q IsViewable' "$menu"; check "Escape still reaches the menu" $?
    # Qt lets the pointer go only after the menu has left the screen: a
    # click in between is the closed menu's. Clicks until the menu is back.
    for _ in 1 2 3; do
        xdotool mousemove --window "$icon" 4 4 click 3
        until_ok 2 menu_shown && break
    done
    [[ -n ${menu:-} ]] && xdotool mousemove --window "$menu" 12 10 click 1
    if until_ok 5 bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid"; then wait "$purlo_pid"; rc=$?; else rc=timeout; fi
    check "Close quits with status 0" $([[ $rc == 0 ]]; echo $?) "rc=$rc"
else
    check "clicks need the docked icon" 1 "no icon window"
fi
kill $purlo_pid 2>/dev/null; wait $purlo_pid 2>/dev/null

# Logging out (SIGTERM) right after a cleaning: the clipboard manager keeps
# the cleaned text once purlo is gone.
xfsettingsd --no-daemon --disable-wm-check --replace >"$work/xfsettingsd.log" 2>&1 & manager=$!
until_ok 10 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD_MANAGER) != 0x0 ]]'
"$purlo" 2>>"$work/purlo.err" &
purlo_pid=$!
until_ok 10 docked
own_text "kept  after  logout"
press_until "kept after logout" && kill -TERM $purlo_pid
if until_ok 10 bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid"; then wait $purlo_pid; rc=$?; else rc=timeout; fi
[[ $rc == 0 && $(clip) == "kept after logout" ]]; check "SIGTERM hands the clipboard to the manager" $? "rc=$rc $(clip)"
kill $manager $owner_pid 2>/dev/null

# A manager that keeps the text without answering Purlo (xfce4-clipman):
# Purlo waits for it, bounded, but its icon goes at once.
xfce4-clipman >"$work/clipman.log" 2>&1 & clipman=$!
until_ok 10 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD_MANAGER) != 0x0 ]]'
"$purlo" 2>>"$work/purlo.err" &
purlo_pid=$!
until_ok 10 docked
own_text "kept  by  clipman"
press_until "kept by clipman" && kill -TERM $purlo_pid
until_ok 2 bash -c '! xwininfo -id "$0" >/dev/null 2>&1' "$icon"; check "the icon goes at once on the way out" $?
until_ok 10 bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid" && until_ok 5 bash -c '[[ $(timeout 5 xclip -o -selection clipboard) == "kept by clipman" ]]'
check "xfce4-clipman keeps the cleaned text after Purlo" $? "$(clip)"
kill $clipman $owner_pid 2>/dev/null

# A tray that starts after purlo (autostart before the panel): the icon
# docks once it appears.
kill $PURLO_TRAY_PID; wait $PURLO_TRAY_PID 2>/dev/null
"$purlo" 2>"$work/purlo3.err" &
purlo_pid=$!
until_ok 10 grep -q "no system tray yet" "$work/purlo3.err"
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 & tray=$!
until_ok 10 docked; check "the icon docks in a tray that starts later" $? "$(cat "$work/purlo3.err")"
kill $purlo_pid $tray 2>/dev/null; wait $purlo_pid 2>/dev/null

# A StatusNotifier host that draws the menu itself (xfce4-panel, up before
# purlo as at a login): its item carries purlo's menu, Activate (the host's
# left click) shows the panel, and once the host has gone the icon docks in
# the X tray that follows.
bus() { gdbus call --session --dest "$1" --object-path "$2" --method "$3" -- "${@:4}" 2>/dev/null; }
watcher() { bus org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"; }
hosted() { [[ $(watcher IsStatusNotifierHostRegistered) == "(<true>,)" ]]; }
item() { watcher RegisteredStatusNotifierItems | cut -s -d"'" -f2 | grep .; }
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cp "$PURLO_E2E_LIB/xfce4-panel.xml" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/"
NO_AT_BRIDGE=1 xfce4-panel --disable-wm-check >"$work/xfce4-panel.log" 2>&1 & panel=$!
until_ok 10 hosted
"$purlo" 2>"$work/purlo4.err" &
purlo_pid=$!
until_ok 10 item >/dev/null; it=$(item); svc=${it%%/*} path=/${it#*/}
menu=$(bus "$svc" "$path" org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu | cut -d"'" -f2)
close=$(bus "$svc" "$menu" com.canonical.dbusmenu.GetLayout 0 -1 '[]' | sed -n "s/.*<(\([0-9]*\), {[^}]*'label': <'Close'>.*/\1/p")
[[ -n $close ]]; check "the StatusNotifier item has the menu, with Close" $? "item '$it' menu '$menu'"
bus "$svc" "$path" org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
until_ok 5 panel_shown; check "Activate shows the 280x300 panel" $?
xfce4-panel --quit
until_ok 10 eval '! watcher IsStatusNotifierHostRegistered >/dev/null'
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 & tray=$!
until_ok 10 docked; check "the icon docks in an X tray once the StatusNotifier host has gone" $?
bus "$svc" "$menu" com.canonical.dbusmenu.Event "${close:-0}" clicked '<0>' 0 >/dev/null
if until_ok 5 bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid"; then wait "$purlo_pid"; rc=$?; else rc=timeout; fi
check "the menu's Close, clicked in the host, quits with status 0" $([[ $rc == 0 ]]; echo $?) "rc=$rc"
kill $purlo_pid $tray $panel 2>/dev/null; wait $purlo_pid 2>/dev/null

# A combination another client holds: the launch says it is unavailable.
# xbindkeys says nothing once it has grabbed; its binding running on a real
# press is the sign.
printf '"touch %s"\n  Mod4+Shift + v\n' "$work/xbindkeys-fired" >"$work/xbindkeysrc"
xbindkeys -n -f "$work/xbindkeysrc" & xbk=$!
until_ok 10 bash -c 'xdotool key super+shift+v; [[ -e $0 ]]' "$work/xbindkeys-fired"
check "xbindkeys holds Super+Shift+V" $?
before=$(notes_total)
"$purlo" 2>"$work/purlo2.err" &
purlo_pid=$!
until_ok 10 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) > $0 ))' "$before"
notes | tail -n 1 | grep -qxF "Purlo|Super+Shift+V is unavailable: another program uses it"
check "a taken combination is reported at launch" $? "$(notes | tail -n 1) $(cat "$work/purlo2.err")"
kill $xbk $purlo_pid 2>/dev/null

# purlo --clean with no Purlo running: the bus starts one (the session
# tells the bus its DISPLAY, as a desktop session does), and it cleans.
dbus-update-activation-environment DISPLAY
mkdir -p "$XDG_DATA_HOME/dbus-1/services"
printf '[D-BUS Service]\nName=app.purlo.Purlo\nExec=%s\n' "$purlo" >"$XDG_DATA_HOME/dbus-1/services/app.purlo.Purlo.service"
own_text "started  by the bus"
"$purlo" --clean && until_ok 10 bash -c '[[ $(xclip -o -selection clipboard) == "started by the bus" ]]'
check "purlo --clean starts Purlo through D-Bus activation" $? "$(clip)"
DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$purlo" --clean 2>"$work/nobus.err"; rc=$?
[[ $rc -ne 0 && $(cat "$work/nobus.err") == *"no D-Bus session bus"* ]]; check "purlo --clean without a bus says so" $? "rc=$rc $(cat "$work/nobus.err")"
# The bus knows which process it started; nothing else on the machine is touched.
pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID app.purlo.Purlo | tr -dc 0-9)
[[ -n $pid ]] && kill "$pid"

echo "e2e: $passed passed, $failed failed"
((failed == 0))
