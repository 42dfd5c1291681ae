#!/usr/bin/env bash
# harness.sh [--sway [--no-xwayland] | --labwc | --kwin | --mutter | --gnome-shell] [--tray] [--notifications] -- COMMAND ARGS...
#
# Runs COMMAND in a private desktop of its own, so that tests never touch the
# user's session and never see each other's:
#   - a fresh temporary HOME and XDG_RUNTIME_DIR (mode 0700), XDG_* below HOME;
#   - its own D-Bus session bus (dbus-run-session);
#   - Xvfb on a display it picks itself (-displayfd), -noreset; DISPLAY exported;
#   - or, with --sway, a headless sway (a Wayland session, wlroots' clipboard
#     data-control included) with Xwayland, ready once its socket is up and
#     it has reported DISPLAY; WAYLAND_DISPLAY and DISPLAY exported. sway
#     refuses to run as root: run as root, the harness drops to uid/gid 65534
#     for everything, COMMAND included, which must then be reachable by that
#     user (every directory on its path world-readable); with --no-xwayland,
#     sway without Xwayland, as on a desktop that lacks it: DISPLAY is empty
#     and Purlo's Qt is left to pick its own platform;
#   - or, with --labwc, a headless labwc with Xwayland, its rc.xml binding
#     W-S-v to $PURLO_LABWC_CLEAN (when set), in $XDG_CONFIG_HOME/labwc, as a
#     user's would be; WAYLAND_DISPLAY, DISPLAY and XDG_CURRENT_DESKTOP exported;
#   - with --tray, a tray host (trayer), ready once _NET_SYSTEM_TRAY_S0 has an owner;
#   - with --notifications, dunst with an empty configuration, ready once
#     org.freedesktop.Notifications has an owner on the private bus;
#   - with --kwin, a headless KWin as the Wayland compositor, without
#     Xwayland (X clients stay on Xvfb); see lib/kwin.sh;
#   - or, with --mutter, a headless mutter (GNOME's compositor: no
#     data-control, but Xwayland's clipboard and its own are kept in step)
#     with Xwayland, and a keyboard on its seat; WAYLAND_DISPLAY, DISPLAY,
#     XAUTHORITY and XDG_CURRENT_DESKTOP=GNOME exported;
#   - or, with --gnome-shell, the same with GNOME Shell itself, headless, on a
#     private system bus of its own (it asks the login manager things), out
#     of the Overview it starts in; it is its own notification server.
# Every service is waited for on its own signal, bounded by
# PURLO_HARNESS_TIMEOUT seconds (default 15); on timeout the harness says which
# one and exits 125. Otherwise it exits with COMMAND's status. Whatever it
# started is stopped when it ends, whichever way it ends.
#
# Exported for COMMAND: PURLO_MUTTER_KEYS (--mutter, --gnome-shell: a FIFO taking lines of evdev key codes to press as chords), DISPLAY, WAYLAND_DISPLAY, SWAYSOCK and PURLO_SWAY_CONFIG (--sway), HOME, XDG_RUNTIME_DIR, XDG_CONFIG_HOME,
# XDG_DATA_HOME, XDG_CACHE_HOME, TMPDIR, DBUS_SESSION_BUS_ADDRESS, QT_QPA_PLATFORM=xcb (where X runs),
# PURLO_HARNESS_DIR (scratch space, removed afterwards), PURLO_E2E_LIB (the
# helper scripts), PURLO_SELECTION_OWNER (prints a selection's owner window),
# PURLO_TRAY_PID / PURLO_DUNST_PID when those were started; with --kwin also
# WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland, XDG_CURRENT_DESKTOP=KDE and
# PURLO_KWIN_PID.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"
timeout_s=${PURLO_HARNESS_TIMEOUT:-15}

usage() {
    echo "usage: harness.sh [--sway [--no-xwayland] | --labwc | --kwin | --mutter | --gnome-shell] [--tray] [--notifications] -- COMMAND ARGS..." >&2
    exit 2
}

all_args=("$@")
needed=Xvfb xwayland=enable want_sway=0 want_labwc=0 want_tray=0 want_notes=0 want_kwin=0 want_mutter=0 want_shell=0 inner=0 opts=()
while [[ $# -gt 0 ]]; do
    case "$1" in
    --sway | --no-xwayland | --labwc | --tray | --notifications | --kwin | --mutter | --gnome-shell) opts+=("$1") ;;&
    --sway) want_sway=1 needed=sway ;;
    --no-xwayland) xwayland=disable ;;
    --labwc) want_labwc=1 needed=labwc ;;
    --tray) want_tray=1 ;;
    --notifications) want_notes=1 ;;
    --kwin) want_kwin=1 needed+=" kwin_wayland" ;;
    --mutter) want_mutter=1 needed=mutter ;;
    --gnome-shell) want_mutter=1 want_shell=1 needed=gnome-shell ;;
    --inside-bus) inner=1 ;;  # internal: second stage, already on the private bus
    --) shift; break ;;
    *) echo "harness: unknown option '$1'" >&2; usage ;;
    esac
    shift
done
[[ $# -gt 0 ]] || usage

fail_timeout() {
    echo "harness: timed out after ${timeout_s}s waiting for $1" >&2
    [[ -n "${2:-}" && -s "$2" ]] && { echo "harness: last lines of $2:" >&2; tail -n 20 "$2" >&2; }
    exit 125
}

# await WHAT LOG PID COMMAND...: polls COMMAND until it succeeds; past the
# timeout, or once process PID (when given) has ended, WHAT has timed out.
await() {
    local what=$1 log=$2 pid=$3 end=$((SECONDS + timeout_s))
    shift 3
    until "$@"; do
        ((SECONDS < end)) && { [[ -z $pid ]] || kill -0 "$pid" 2>/dev/null; } || fail_timeout "$what" "$log"
        sleep 0.02
    done
}

# ---------------------------------------------------------------- stage one
if [[ $inner -eq 0 ]]; then
    # sway refuses root. Everything on the paths must then be world-readable.
    if [[ $want_sway -eq 1 && $(id -u) -eq 0 ]]; then
        exec setpriv --reuid=65534 --regid=65534 --clear-groups -- "$self" "${all_args[@]}"
    fi
    for tool in dbus-run-session python3 $needed; do
        command -v "$tool" >/dev/null || { echo "harness: '$tool' is not installed (run scripts/setup.sh --test)" >&2; exit 125; }
    done
    world=$(mktemp -d "${TMPDIR:-/tmp}/purlo-e2e.XXXXXX") || exit 125
    child=""
    cleanup_outer() {
        # dbus-run-session neither passes signals on nor dies of them: stop the
        # second stage, which writes its pid first thing, and let the bus go
        # with it.
        if [[ -n "$child" ]] && kill -0 "$child" 2>/dev/null; then
            local tries=0
            until [[ -s "$world/inner.pid" ]] || ! kill -0 "$child" 2>/dev/null || ((++tries > 200)); do
                sleep 0.05
            done
            [[ -s "$world/inner.pid" ]] && kill -TERM "$(<"$world/inner.pid")" 2>/dev/null
            wait "$child" 2>/dev/null
        fi
        # xdg-document-portal mounts its file system in the runtime folder
        # where it can; it goes with the world.
        findmnt -rn -o TARGET | grep "^$world/" | sort -r | xargs -r -n1 umount -l 2>/dev/null
        rm -rf "$world"
    }
    trap cleanup_outer EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    mkdir -p "$world/home" "$world/runtime" "$world/scratch" "$world/tmp"
    chmod 0700 "$world" "$world/home" "$world/runtime"
    # Temporary files of whatever runs inside go with the world, also those
    # of a program stopped before it could remove them.
    export TMPDIR="$world/tmp"
    export HOME="$world/home"
    export XDG_RUNTIME_DIR="$world/runtime"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
    export PURLO_HARNESS_DIR="$world/scratch"
    # Nothing of the caller's desktop may leak in.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY XAUTHORITY SESSION_MANAGER
    export XDG_SESSION_TYPE=x11
    [[ $want_sway -eq 1 || $want_labwc -eq 1 || $want_mutter -eq 1 ]] && export XDG_SESSION_TYPE=wayland

    dbus-run-session -- "$self" --inside-bus "${opts[@]}" -- "$@" &
    child=$!
    wait "$child"
    status=$?
    child=""
    exit "$status"
fi

# ---------------------------------------------------------------- stage two
logs="$PURLO_HARNESS_DIR"
pids=()
groups=()  # process groups to clear out once their leader has gone
cleanup_inner() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null; done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null; done
    for i in "${groups[@]}"; do kill -KILL -- "-$i" 2>/dev/null; done
}
trap cleanup_inner EXIT
echo $$ >"$PURLO_HARNESS_DIR/../inner.pid"
trap 'exit 130' INT
trap 'exit 143' TERM

export PURLO_E2E_LIB="$here/lib"
export PURLO_SELECTION_OWNER="$here/lib/selection-owner.py"

start_xvfb() {
    # Xvfb writes the display number it chose to the pipe once it accepts clients.
    local fifo="$logs/displayfd" display_num=""
    mkfifo "$fifo" || exit 125
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" >"$logs/xvfb.log" 2>&1 &
    pids+=($!)
    read -r -t "$timeout_s" display_num <"$fifo"
    rm -f "$fifo"
    [[ "$display_num" =~ ^[0-9]+$ ]] || fail_timeout "Xvfb to report its display" "$logs/xvfb.log"
    export DISPLAY=":$display_num"
}

# A wlroots compositor, headless: its startup command (`$logs/NAME-ready.sh
# READY-FILE`) reports the sockets, by which time they accept clients, and
# hands the session's environment to D-Bus activation, as a session's own
# configuration does, so that portals started on demand reach it. In a
# session of its own: an Xwayland that a late X client started and that is
# not ready yet when the compositor stops ignores TERM, and would outlive
# the harness with the helper that starts it.
#   start_wlroots NAME COMMAND...   (COMMAND runs the ready script)
start_wlroots() {
    local name=$1 pid
    shift
    cat >"$logs/$name-ready.sh" <<'EOF'
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_SESSION_TYPE ${SWAYSOCK:+SWAYSOCK} \
    ${XDG_CURRENT_DESKTOP:+XDG_CURRENT_DESKTOP} || exit 1
printf '%s|%s|%s\n' "$WAYLAND_DISPLAY" "${DISPLAY:-}" "${SWAYSOCK:-}" >"$1.tmp" && mv "$1.tmp" "$1"
EOF
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman setsid "$@" >"$logs/$name.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    groups+=("$pid")
    await "$name to report its sockets" "$logs/$name.log" "$pid" test -s "$logs/$name.ready"
    IFS='|' read -r WAYLAND_DISPLAY DISPLAY SWAYSOCK <"$logs/$name.ready"
    export WAYLAND_DISPLAY DISPLAY
}

start_sway() {
    printf 'output HEADLESS-1 resolution 1024x768\nxwayland %s\nexec sh %s %s\n' \
        "$xwayland" "$logs/sway-ready.sh" "$logs/sway.ready" >"$logs/sway.config"
    start_wlroots sway sway -c "$logs/sway.config"
    export SWAYSOCK XDG_CURRENT_DESKTOP=sway PURLO_SWAY_CONFIG="$logs/sway.config"
}

start_labwc() {
    mkdir -p "$XDG_CONFIG_HOME/labwc"
    {
        echo '<?xml version="1.0"?>'
        echo '<labwc_config><keyboard><default/>'
        [[ -z ${PURLO_LABWC_CLEAN:-} ]] ||
            echo "<keybind key=\"W-S-v\"><action name=\"Execute\" command=\"$PURLO_LABWC_CLEAN\"/></keybind>"
        echo '</keyboard></labwc_config>'
    } >"$XDG_CONFIG_HOME/labwc/rc.xml"
    export XDG_CURRENT_DESKTOP=labwc:wlroots
    start_wlroots labwc labwc -s "sh $logs/labwc-ready.sh $logs/labwc.ready"
    unset SWAYSOCK
}

start_system_bus() {
    # Only for what the desktop asks the login manager and the like: a bus
    # that lets everything through, as the session's does, on a socket in
    # the scratch space.
    dbus-daemon --session --address="unix:path=$logs/system-bus" --nofork --nopidfile >"$logs/system-bus.log" 2>&1 &
    pids+=($!)
    await "a private system bus" "$logs/system-bus.log" "${pids[-1]}" test -S "$logs/system-bus"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$logs/system-bus"
}

start_mutter() {
    # mutter names Xwayland's display in its log, and lets in only clients
    # with its own cookie. GNOME Shell is mutter with the shell on top.
    local socket="purlo-mutter-$$" log="$logs/mutter.log" cookie program=(mutter --headless)
    if [[ $want_shell -eq 1 ]]; then
        start_system_bus
        program=(gnome-shell --headless)
    fi
    # In a session of its own, as sway, for the Xwayland it starts.
    XDG_CURRENT_DESKTOP=GNOME setsid "${program[@]}" --wayland --virtual-monitor 1024x768 \
        --wayland-display "$socket" >"$log" 2>&1 &
    pids+=($!)
    groups+=($!)
    up() {
        [[ -S "$XDG_RUNTIME_DIR/$socket" ]] && cookie=$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*") &&
            grep -q 'public X11 display' "$log"
    }
    await "mutter to report its X display" "$log" "${pids[-1]}" up
    export WAYLAND_DISPLAY="$socket" XAUTHORITY="$cookie" XDG_CURRENT_DESKTOP=GNOME
    export DISPLAY=$(sed -n 's/.*public X11 display \(:[0-9]*\).*/\1/p' "$log")
    # As a GNOME session does, for the portals that D-Bus starts on demand.
    dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE || exit 125
    # A headless seat has no keyboard, and wl-copy and wl-paste refuse to
    # work without one, until a key comes through the remote-desktop
    # interface; the session that sent it lives as long as the keyboard must.
    # Tests press chords on it by writing key codes to PURLO_MUTTER_KEYS.
    export PURLO_MUTTER_KEYS="$logs/keys"
    mkfifo "$PURLO_MUTTER_KEYS" || exit 125
    # mutter takes its bus names a moment after its display is up.
    gdbus wait --session --timeout "$timeout_s" org.gnome.Mutter.RemoteDesktop >/dev/null 2>&1 ||
        fail_timeout "mutter's remote-desktop interface" "$log"
    /usr/bin/python3 "$here/lib/mutter-keyboard.py" "$PURLO_MUTTER_KEYS" >"$logs/keyboard.log" 2>&1 &
    pids+=($!)
    await "a keyboard on mutter's seat" "$logs/keyboard.log" "${pids[-1]}" grep -q ready "$logs/keyboard.log"
    # The shell opens the Overview at the end of its start-up animation, and
    # its search field then takes the keys the shell's own shortcuts would:
    # once it is open, it is closed.
    if [[ $want_shell -eq 1 ]]; then
        overview() {
            gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
                --method "org.freedesktop.DBus.Properties.$1" org.gnome.Shell OverviewActive "${@:2}" 2>/dev/null
        }
        overview_is() { [[ $(overview Get) == "(<$1>,)" ]]; }
        await "GNOME Shell to open its Overview after starting" "$log" "" overview_is true
        overview Set '<false>' >/dev/null
        await "GNOME Shell to leave the Overview" "$log" "" overview_is false
    fi
}

if [[ $want_sway -eq 1 ]]; then start_sway
elif [[ $want_labwc -eq 1 ]]; then start_labwc
elif [[ $want_mutter -eq 1 ]]; then start_mutter
else start_xvfb; fi
# Qt on X (Xwayland under sway), as Purlo runs on Wayland sessions too.
[[ -z ${DISPLAY:-} ]] || export QT_QPA_PLATFORM=xcb

if [[ $want_kwin -eq 1 ]]; then
    source "$here/lib/kwin.sh"
    kwin_start "$logs"
fi

if [[ $want_tray -eq 1 ]]; then
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        --expand true --transparent false >"$logs/trayer.log" 2>&1 &
    pids+=($!)
    export PURLO_TRAY_PID=$!
    owned() { [[ $("$PURLO_SELECTION_OWNER" _NET_SYSTEM_TRAY_S0 2>/dev/null) == 0x*[1-9a-f]* ]]; }
    await "the tray host (owner of _NET_SYSTEM_TRAY_S0)" "$logs/trayer.log" "$PURLO_TRAY_PID" owned
fi

if [[ $want_notes -eq 1 ]]; then
    # Plasma, GNOME and xfce4-notifyd show every notification they are
    # sent; dunst would fold identical ones into one unless told not to.
    printf '[global]\n    stack_duplicates = false\n' >"$logs/dunstrc"
    dunst -config "$logs/dunstrc" >"$logs/dunst.log" 2>&1 &
    pids+=($!)
    export PURLO_DUNST_PID=$!
    # gdbus blocks until the name appears; its own timeout bounds the wait.
    gdbus wait --session --timeout "$timeout_s" org.freedesktop.Notifications >/dev/null 2>&1 ||
        fail_timeout "the notification server (org.freedesktop.Notifications)" "$logs/dunst.log"
fi

# In the background so that a TERM from CTest reaches the traps at once.
"$@" <&0 &
pids+=($!)
wait $!
