#!/usr/bin/env bash
# What a press does to each kind of clipboard owner, on a real X server with
# a tray and dunst: owners are real programs (xclip, clip_owner), presses real
# key events (xdotool), and the results are read back from the clipboard.
#   harness.sh --tray --notifications -- SCRIPT PATH-TO-purlo PATH-TO-clip_owner
set -u
source "$PURLO_E2E_LIB/common.sh"
source "$PURLO_E2E_LIB/x11.sh" "$@"

# The display named the way a user may name it: on the command line only.
display=$DISPLAY
env -u DISPLAY "$purlo" -display "$display" 2>"$work/purlo.err" &
purlo_pid=$!

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
# HTML and an image, but no plain text: a reader that took HTML for text
# would rewrite it.
kill $owner_pid 2>/dev/null
start_clip_owner text/html="$work/h" image/png="$work/i"
was=$(owner); types=$(targets)
unchanged_after super+shift+v "$was" && [[ $(targets) == "$types" ]]
check "an owner without plain text is left as it was" $? "$(targets)"
kill $owner_pid 2>/dev/null
own_text "dirty  https://h/?ref=1"
was=$(owner)
for keys in ctrl+shift+v super+v super+shift+alt+v super+shift+b; do
    unchanged_after "$keys" "$was" && [[ $(clip) == "dirty  https://h/?ref=1" ]]
    check "$keys does nothing" $? "$(clip)"
done

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


echo "e2e: $passed passed, $failed failed"
((failed == 0))
