# Sourced by the e2e scripts: counted checks, bounded polling, and what the
# notification daemon (the harness's dunst) was given to show.
passed=0 failed=0
check() {  # name, status (0 = ok), detail on failure
    if [[ $2 -eq 0 ]]; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAIL: $1: ${3:-}"; fi
}
# Polls CMD until it succeeds, at most $1 seconds; the status says which.
until_ok() {
    local limit=$1; shift
    local end=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS >= end)) && return 1
        sleep 0.05
    done
}
notes_total() {
    echo $(($(dunstctl count displayed) + $(dunstctl count history) + $(dunstctl count waiting)))
}
# "summary|body" of every notification so far, oldest first, the body as
# it was sent.
notes() {
    dunstctl close-all
    dunstctl history | python3 "$PURLO_E2E_LIB/dunst-notes.py"
}
noted() { notes | grep -qxF "$1"; }
# A D-Bus call on the session bus: DEST PATH METHOD ARGS...
bus() { gdbus call --session --dest "$1" --object-path "$2" --method "$3" -- "${@:4}" 2>/dev/null; }
# A property of the StatusNotifier watcher, and the first item it lists.
watcher() { bus org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"; }
item() { watcher RegisteredStatusNotifierItems | cut -s -d"'" -f2 | grep .; }
