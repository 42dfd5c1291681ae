#!/usr/bin/env bash
# GNOME Shell as a user meets it, and the chord pressed on the shell's
# keyboard cleaning what an X program copied:
#   harness.sh --gnome-shell -- gnome_shell_test.sh 48 PATH-TO-purlo PATH-TO-desktop-entry
#   harness.sh --gnome-shell --notifications -- gnome_shell_test.sh 43 PATH-TO-purlo PATH-TO-desktop-entry
# 48 and later: Purlo binds the chord through the desktop portal, first
# without the user's approval (GNOME's dialog), then with it stored, as GNOME
# keeps it after the first "Add" in that dialog.
# Before 48 there is no shortcut portal: the launch notice's action makes
# GNOME's custom shortcut, which gnome-settings-daemon's media keys run, and
# the AppIndicator extension is the tray. (Headless, that shell leaves the
# notification server's name to the harness's dunst.)
set -u
version=${1:?43 or 48}
purlo=${2:?purlo}
entry=${3:?the desktop entry}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}
source "$PURLO_E2E_LIB/common.sh"

started=()
trap 'kill "${started[@]}" 2>/dev/null' EXIT
# The shell is the notification server here: what Purlo asks it to show.
# And the key grabs it is asked for.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    "type='method_call',interface='org.freedesktop.portal.GlobalShortcuts'" \
    "type='method_call',interface='org.gnome.Shell',member='GrabAccelerators'" >"$work/bus" 2>&1 &
started+=($!)
until_ok 5 grep -q NameLost "$work/bus"
# "summary|body" of each notification Purlo sent: Notify's third and fourth
# strings (the shell passes each on to itself as well).
notes() {
    awk '/member=Notify/ { n = 0; on = /destination=org.freedesktop.Notifications/; next }
         on && /^ *string "/ { n++; sub(/^ *string "/, ""); sub(/"$/, "");
                               if (n == 3) s = $0; if (n == 4) { print s "|" $0; on = 0 } }' "$work/bus"
}
noted() { notes | grep -qxF "$1"; }
cleanings() { notes | grep -c '^✓ Purlo|'; }

if [[ $version == 43 ]]; then
    gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']"
    gdbus wait --session --timeout 10 org.kde.StatusNotifierWatcher
    check "the AppIndicator extension offers a tray" $? ""
    /usr/libexec/gsd-media-keys >"$work/gsd.log" 2>&1 &
    started+=($!)
    gdbus wait --session --timeout 10 org.gnome.SettingsDaemon.MediaKeys
    # The media keys ask the shell to grab a custom shortcut a moment after
    # it is written; a chord pressed before does nothing. The shell takes
    # that call, and later the keyboard's, in the order the bus delivers them.
    grabbed() { (($(grep -c '^ *string "<Super><Shift>v"$' "$work/bus") >= $1)); }
    # Each offer names its action twice: the default one and the button.
    offered() { (($(grep -c 'string "Set up Super+Shift+V"' "$work/bus") >= 2 * $1)); }
    # One of the user's own custom shortcuts on the chord: the action says
    # which, and writes nothing.
    keys=org.gnome.settings-daemon.plugins.media-keys mine=/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/mine/
    gsettings set $keys custom-keybindings "['$mine']"
    for k in "name 'Terminal'" "command 'foot'" "binding '<Super><Shift>v'"; do gsettings set "$keys.custom-keybinding:$mine" $k; done
    until_ok 10 grabbed 1
    "$purlo" 2>>"$work/purlo.err" & purlo_pid=$!
    until_ok 15 offered 1 && dunstctl action 0 && until_ok 10 noted "Purlo|Super+Shift+V is unavailable: GNOME’s shortcut “Terminal” uses it." &&
        [[ $(gsettings get $keys custom-keybindings) == "['$mine']" ]]
    check "set up refuses a chord another shortcut holds, and writes nothing" $? "$(notes)"
    kill $purlo_pid; wait $purlo_pid
    gsettings reset $keys custom-keybindings
    dunstctl close-all
    "$purlo" 2>>"$work/purlo.err" &
    started+=($!)
    until_ok 15 offered 2 && dunstctl action 0 && until_ok 10 noted "Purlo|Ready! Press Super+Shift+V to clean clipboard" &&
        until_ok 10 grabbed 2
    check "the notice's action sets the shortcut up, and Purlo says Ready!" $? "$(notes) $(cat "$work/purlo.err")"
    until_ok 5 item >/dev/null
    check "Purlo's icon is in the extension's tray" $? "$(watcher RegisteredStatusNotifierItems)"
fi

# The portal learns the app id from the installed desktop entry, whose
# program it must find.
mkdir -p "$XDG_DATA_HOME/applications"
sed "s|^Exec=purlo|Exec=$purlo|" "$entry" \
    >"$XDG_DATA_HOME/applications/app.purlo.Purlo.desktop"
if [[ $version == 48 ]]; then
    # A first start: GNOME asks the user in a dialog, which Purlo says
    # instead of giving up on the desktop; Add there binds the chord.
    "$purlo" 2>>"$work/purlo.err" &
    purlo_pid=$!
    started+=($!)
    until_ok 20 noted "Purlo|Super+Shift+V is waiting for you: confirm the shortcut in the desktop's dialog"
    check "a shortcut waiting in GNOME's dialog is said as such" $? "$(notes) $(cat "$work/purlo.err")"
    # The dialog is centred on the 1024x768 screen, its blue Add at
    # (712, 319) once it is drawn. The pointer is sent home to the
    # bottom-left corner (the top-left one opens the Overview); a click may
    # only give the dialog the focus, so Add is clicked until Purlo is bound.
    add_shown() { [[ $(python3 "$PURLO_E2E_LIB/screen-pixel.py" 712 319) == "53 132 228" ]]; }
    ready48() { noted "Purlo|Ready! Press Shift+Super+V to clean clipboard"; }
    until_ok 10 add_shown && echo "move -5000 5000" >"$PURLO_MUTTER_KEYS" && echo "move 712 -448" >"$PURLO_MUTTER_KEYS"
    for try in 1 2 3; do echo click >"$PURLO_MUTTER_KEYS" && until_ok 3 ready48 && break; done
    ready48
    check "Add in the dialog binds the chord, and Purlo says Ready! with GNOME's name for it" $? "$(notes)"
    kill $purlo_pid && wait $purlo_pid
    : >"$work/bus"

    # GNOME keeps the approval that Add gave: a new start binds at once.
    "$purlo" 2>>"$work/purlo.err" &
    started+=($!)
    ready() { notes | grep -qx 'Purlo|Ready! Press .*V to clean clipboard'; }
    until_ok 20 ready
    check "the portal binds the stored shortcut and Purlo says Ready!" $? "$(notes) $(cat "$work/purlo.err")"
    ! notes | grep -qE 'unavailable|waiting'
    check "no dialog and no notice that the shortcut is unavailable come first" $? "$(notes)"
fi

printf '%s' $'  see https://host/a?id=1&utm_source=mail \n' >"$work/dirty"
printf '%s' "see https://host/a?id=1" >"$work/clean"
xclip -selection clipboard -i "$work/dirty" &
started+=($!)
pasted() { timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | cmp -s - "$1"; }
until_ok 5 pasted "$work/dirty"
# Super, Shift, V on the shell's own keyboard.
echo 125 42 47 >"$PURLO_MUTTER_KEYS"
until_ok 10 pasted "$work/clean" && until_ok 5 test "$(cleanings)" -eq 1
check "the chord on GNOME's keyboard cleans the X clipboard, once" $? \
    "$(xclip -o -selection clipboard) $(cleanings) $(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive)"

echo "e2e: $passed passed, $failed failed"
((failed == 0))
