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
