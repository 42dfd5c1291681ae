#!/usr/bin/env bash
# Runs one command inside a private desktop of its own:
#
#   tests/e2e/harness.sh [--tray] [--notifications] -- COMMAND ARGS...
#
# The command gets a fresh HOME and XDG_RUNTIME_DIR (mode 0700), its own
# D-Bus session bus, and an Xvfb server (DISPLAY); with --tray a real tray
# host (trayer) owns _NET_SYSTEM_TRAY_S0, with --notifications a dunst with an
# empty configuration owns org.freedesktop.Notifications on that bus.
# The harness waits for each of these to be really there, at most
# PURLO_HARNESS_TIMEOUT seconds (default 20) each, and exits 125 with a
# message when one does not come up. Otherwise it exits with the command's
# status. Whatever it started is stopped on the way out, failure or not.
#
# Also exported for the command:
#   PURLO_E2E_DIR          the private temporary directory (removed afterwards)
#   PURLO_SELECTION_OWNER  a tool: `$PURLO_SELECTION_OWNER [--gone] SEL SECONDS`
#                          waits until selection SEL has an owner (or none)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
timeout=${PURLO_HARNESS_TIMEOUT:-20}

die() { echo "harness: $*" >&2; exit 125; }

usage() {
  echo "usage: $0 [--tray] [--notifications] -- COMMAND ARGS..." >&2
  exit 125
}

# --- stage 2: inside dbus-run-session --------------------------------------
if [[ "${1:-}" == "--inside-bus" ]]; then
  shift
  want_tray=$1 want_notify=$2
  shift 2

  pids=()
  cmd_pid=""
  stop_all() {
    local status=$?
    trap - EXIT INT TERM HUP
    [[ -n "$cmd_pid" ]] && kill -TERM "$cmd_pid" 2>/dev/null || true
    # Newest first: the tray host and dunst before the X server they use.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
      kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    exit "$status"
  }
  trap stop_all EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP

  # Xvfb picks a free display itself and writes its number once it accepts
  # connections; EOF on the pipe means it died first.
  fifo="$PURLO_E2E_DIR/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 \
    3>"$fifo" >"$PURLO_E2E_DIR/xvfb.log" 2>&1 &
  pids+=($!)
  display=""
  read -r -t "$timeout" display <"$fifo" || true
  [[ "$display" =~ ^[0-9]+$ ]] ||
    die "Xvfb did not start within ${timeout}s: $(tail -n 5 "$PURLO_E2E_DIR/xvfb.log")"
  export DISPLAY=":$display"

  if [[ "$want_tray" == 1 ]]; then
    trayer --edge top --align right --widthtype pixel --width 240 --height 32 \
      --SetDockType true --transparent false >"$PURLO_E2E_DIR/trayer.log" 2>&1 &
    pids+=($!)
    "$PURLO_SELECTION_OWNER" _NET_SYSTEM_TRAY_S0 "$timeout" >/dev/null ||
      die "no tray host owns _NET_SYSTEM_TRAY_S0 after ${timeout}s: $(tail -n 5 "$PURLO_E2E_DIR/trayer.log")"
  fi

  if [[ "$want_notify" == 1 ]]; then
    : >"$PURLO_E2E_DIR/dunstrc"
    dunst -config "$PURLO_E2E_DIR/dunstrc" >"$PURLO_E2E_DIR/dunst.log" 2>&1 &
    pids+=($!)
    gdbus wait --session --timeout "$timeout" org.freedesktop.Notifications ||
      die "no owner of org.freedesktop.Notifications after ${timeout}s: $(tail -n 5 "$PURLO_E2E_DIR/dunst.log")"
  fi

  # In the background, so that a signal to the harness is handled at once.
  "$@" &
  cmd_pid=$!
  set +e
  wait "$cmd_pid"
  status=$?
  set -e
  cmd_pid=""
  exit "$status"
fi

# --- stage 1: the private directories, then the private bus ----------------
want_tray=0 want_notify=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --tray) want_tray=1 ;;
    --notifications) want_notify=1 ;;
    --) shift; break ;;
    *) usage ;;
  esac
  shift
done
[[ $# -gt 0 ]] || usage

for tool in Xvfb dbus-run-session gdbus g++; do
  command -v "$tool" >/dev/null || die "$tool is missing (run scripts/setup.sh --test)"
done
[[ $want_tray == 0 ]] || command -v trayer >/dev/null || die "trayer is missing (run scripts/setup.sh --test)"
[[ $want_notify == 0 ]] || command -v dunst >/dev/null || die "dunst is missing (run scripts/setup.sh --test)"

dir=$(mktemp -d "${TMPDIR:-/tmp}/purlo-e2e.XXXXXX")
cleanup() { rm -rf "$dir"; }
trap cleanup EXIT
chmod 0700 "$dir"
mkdir -m 0700 "$dir/home" "$dir/runtime" "$dir/tmp"

g++ -std=c++20 -O1 -o "$dir/selection_owner" "$here/lib/selection_owner.cpp" -lxcb ||
  die "cannot build the selection helper"

export PURLO_E2E_DIR="$dir"
export PURLO_SELECTION_OWNER="$dir/selection_owner"
export HOME="$dir/home"
export XDG_RUNTIME_DIR="$dir/runtime"
export XDG_CONFIG_HOME="$dir/home/.config"
export XDG_CACHE_HOME="$dir/home/.cache"
export XDG_DATA_HOME="$dir/home/.local/share"
export TMPDIR="$dir/tmp"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XAUTHORITY DISPLAY QT_QPA_PLATFORM
export XDG_SESSION_TYPE=x11

set +e
dbus-run-session -- bash "${BASH_SOURCE[0]}" --inside-bus "$want_tray" "$want_notify" "$@"
status=$?
set -e
exit "$status"
