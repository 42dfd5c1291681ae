#!/usr/bin/env bash
# On the way out: the clipboard managers that keep Purlo's text, and the
# icon that goes at once.
#   harness.sh --tray --notifications -- SCRIPT PATH-TO-purlo PATH-TO-clip_owner
set -u
source "$PURLO_E2E_LIB/common.sh"
source "$PURLO_E2E_LIB/x11.sh" "$@"

# Logging out (SIGTERM) right after a cleaning: the clipboard manager keeps
# the cleaned text once purlo is gone.
xfsettingsd --no-daemon --disable-wm-check --replace >"$work/xfsettingsd.log" 2>&1 & manager=$!
until_ok 10 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD_MANAGER) != 0x0 ]]'
start_purlo
own_text "kept  after  logout"
press_until "kept after logout" && kill -TERM $purlo_pid
ended 10
[[ $rc == 0 && $(clip) == "kept after logout" ]]; check "SIGTERM hands the clipboard to the manager" $? "rc=$rc $(clip)"
kill $manager $owner_pid 2>/dev/null

# A manager that keeps the text without answering Purlo (xfce4-clipman):
# Purlo waits for it, bounded, but its icon goes at once.
xfce4-clipman >"$work/clipman.log" 2>&1 & clipman=$!
until_ok 10 bash -c '[[ $("$PURLO_SELECTION_OWNER" CLIPBOARD_MANAGER) != 0x0 ]]'
start_purlo
own_text "kept  by  clipman"
press_until "kept by clipman" && kill -TERM $purlo_pid
until_ok 2 bash -c '! xwininfo -id "$0" >/dev/null 2>&1' "$icon"; check "the icon goes at once on the way out" $?
until_ok 10 bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid" && until_ok 5 bash -c '[[ $(timeout 5 xclip -o -selection clipboard) == "kept by clipman" ]]'
check "xfce4-clipman keeps the cleaned text after Purlo" $? "$(clip)"
kill $clipman $owner_pid 2>/dev/null


echo "e2e: $passed passed, $failed failed"
((failed == 0))
