# Sourced by the X11 scenarios, after common.sh: Purlo on the harness's
# Xvfb with trayer and dunst; clipboard owners, presses and the tray icon.
purlo=${1:?purlo}
clip_owner=${2:?clip_owner}
work=${PURLO_HARNESS_DIR:?run me through tests/e2e/harness.sh}
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

# The icon docks: purlo's window gets reparented into the tray host.
docked() {
    local w
    for w in $(xdotool search --classname purlo 2>/dev/null); do
        [[ $(xwininfo -id "$w" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p') != \
           $(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p') ]] && { icon=$w; return 0; }
    done
    return 1
}
# Starts a Purlo ("$@": its arguments) and waits for its icon in the tray
# and its launch notification, which comes once the shortcut is grabbed.
start_purlo() {
    local before; before=$(notes_total)
    "$purlo" "$@" 2>>"$work/purlo.err" &
    purlo_pid=$!
    until_ok 10 docked && until_ok 10 bash -c '(( $(dunstctl count displayed) + $(dunstctl count history) > $0 ))' "$before"
}
# Waits, bounded, for Purlo to end; its status in rc ("timeout" if it did not).
ended() {
    if until_ok "$1" bash -c '! kill -0 $0 2>/dev/null' "$purlo_pid"; then wait "$purlo_pid"; rc=$?; else rc=timeout; fi
}
trap 'kill ${purlo_pid:-} ${owner_pid:-} ${dunst_pid:-} 2>/dev/null' EXIT
