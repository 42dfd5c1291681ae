#!/usr/bin/env bash
# The tray icon, its panel and menu, and where notifications go: trayer as
# the X tray, xfce4-panel as a StatusNotifier host, dunst or the balloon.
#   harness.sh --tray --notifications -- SCRIPT PATH-TO-purlo PATH-TO-clip_owner
set -u
source "$PURLO_E2E_LIB/common.sh"
source "$PURLO_E2E_LIB/x11.sh" "$@"

start_purlo

# Without a notification server the tray's own balloon says it; a server
# that starts later is used, and one that reads markup gets the & escaped.
own_text "up  and  running"
press_until "up and running"; check "Super+Shift+V cleans" $? "$(clip)"
kill "$PURLO_DUNST_PID"
until_ok 5 bash -c '! dunstctl is-paused >/dev/null 2>&1'
own_text "no  server"
balloon() { xdotool search --onlyvisible --classname purlo 2>/dev/null | grep -vx "$icon" | head -n 1 | grep .; }
# The bus first tries to start an installed server (dunst, here without a
# display), which takes a while to fail.
press_until "no server" && until_ok 15 balloon >/dev/null; check "without a server the tray's balloon says it" $? "$(clip)"
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
    ended 5
    check "Close quits with status 0" $([[ $rc == 0 ]]; echo $?) "rc=$rc"
else
    check "clicks need the docked icon" 1 "no icon window"
fi
kill $purlo_pid 2>/dev/null; wait $purlo_pid 2>/dev/null

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
hosted() { [[ $(watcher IsStatusNotifierHostRegistered) == "(<true>,)" ]]; }
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
ended 5
check "the menu's Close, clicked in the host, quits with status 0" $([[ $rc == 0 ]]; echo $?) "rc=$rc"
kill $purlo_pid $tray $panel 2>/dev/null; wait $purlo_pid 2>/dev/null


echo "e2e: $passed passed, $failed failed"
((failed == 0))
