# Sourced by harness.sh (stage two, already on the private bus): starts a
# headless KWin as the Wayland desktop of the test world.
#
# kwin_start LOGDIR
#   Starts kwin_wayland --virtual on a socket of its own and waits until it
#   runs and its global shortcut service (org.kde.kglobalaccel, what the KDE
#   portal binds shortcuts in) is on the bus. Exports WAYLAND_DISPLAY,
#   XDG_SESSION_TYPE=wayland, XDG_CURRENT_DESKTOP=KDE and PURLO_KWIN_PID; the
#   pid joins the harness's `pids`, so its cleanup stops KWin. The D-Bus
#   activation environment is updated first, so that the portals started on
#   demand, by the bus or by KWin, see this session. Like the harness's own
#   services, a KWin that does not come up ends the harness with 125.
#
#   No Xwayland: KWin picks its X display number by probing /tmp/.X11-unix,
#   and when that races with an Xvfb starting at the same moment (another
#   test's world), the Xvfb's socket file can vanish and that test's X
#   clients fail. X clients here stay on the harness's Xvfb.

kwin_start() {
    local logs="$1"
    # kwin_wayland carries the file capability cap_sys_resource, which a
    # container refuses to exec; a copy of the binary has none.
    cp "$(command -v kwin_wayland)" "$logs/kwin_wayland" || exit 125

    local socket="purlo-kwin-$$" ready="$logs/kwin.ready"
    rm -f "$ready"
    # KWin starts this once its workspace is up.
    printf '#!/bin/sh\n: >"%s"\n' "$ready" >"$logs/kwin-ready.sh"
    chmod +x "$logs/kwin-ready.sh"

    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE
    # KWin 6 starts the portal itself while it comes up: the activation
    # environment must name this session (and the socket KWin is about to
    # open) before, or the portal settles for its GTK backend, which has no
    # global shortcuts. KWin 5 leaves the portal to D-Bus, later.
    WAYLAND_DISPLAY="$socket" dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME \
        XDG_DATA_HOME XDG_CACHE_HOME XDG_CURRENT_DESKTOP XDG_SESSION_TYPE WAYLAND_DISPLAY DISPLAY ||
        { echo "harness: could not pass the session to D-Bus activation" >&2; exit 125; }
    # KWin picks its own Qt platform and must not take Xvfb for a parent.
    # Without permission checks, the fake-input protocol that tests press
    # keys through is open to clients KWin does not know.
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
        "$logs/kwin_wayland" --virtual --no-lockscreen --socket "$socket" \
        --width 1024 --height 768 "$logs/kwin-ready.sh" >"$logs/kwin.log" 2>&1 &
    PURLO_KWIN_PID=$!
    pids+=("$PURLO_KWIN_PID")
    export PURLO_KWIN_PID

    up() { [[ -S "$XDG_RUNTIME_DIR/$socket" && -e "$ready" ]]; }
    await "KWin" "$logs/kwin.log" "$PURLO_KWIN_PID" up
    gdbus wait --session --timeout "$timeout_s" org.kde.kglobalaccel >/dev/null 2>&1 ||
        fail_timeout "KWin's org.kde.kglobalaccel" "$logs/kwin.log"
    export WAYLAND_DISPLAY="$socket"
}
