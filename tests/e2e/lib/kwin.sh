# Sourced by harness.sh (stage two, already on the private bus): starts a
# headless KWin with its own Xwayland as the desktop of the test world.
#
# kwin_start LOGDIR
#   Starts kwin_wayland --virtual --xwayland on a socket of its own, waits for
#   the Wayland socket and for Xwayland, and exports WAYLAND_DISPLAY, DISPLAY,
#   XDG_SESSION_TYPE=wayland, XDG_CURRENT_DESKTOP=KDE and PURLO_KWIN_PID. The
#   pid goes into the harness's `pids`, so its cleanup stops KWin (and with it
#   Xwayland). The D-Bus activation environment is updated, so that the
#   portals the bus starts on demand see this session. Returns 1 (after
#   saying why) when a tool is missing or KWin does not come up within
#   $timeout_s seconds.

kwin_start() {
    local logs="$1" tool
    for tool in kwin_wayland Xwayland dbus-update-activation-environment; do
        command -v "$tool" >/dev/null || { echo "harness: '$tool' is not installed (run scripts/setup.sh --test)" >&2; return 1; }
    done

    # kwin_wayland carries the file capability cap_sys_resource, which a
    # container refuses to exec; a copy of the binary has none.
    cp "$(command -v kwin_wayland)" "$logs/kwin_wayland" || return 1

    local socket="purlo-kwin-$$" ready="$logs/kwin.display"
    rm -f "$ready"
    # KWin runs the script once Xwayland accepts clients, with DISPLAY set.
    printf '#!/bin/sh\necho "$DISPLAY" >"%s.tmp" && mv "%s.tmp" "%s"\n' \
        "$ready" "$ready" "$ready" >"$logs/kwin-ready.sh"
    chmod +x "$logs/kwin-ready.sh"

    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE
    # KWin picks its own Qt platform and must not take Xvfb for a parent.
    # Without permission checks, the fake-input protocol that tests press
    # keys through is open to clients KWin does not know.
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
        "$logs/kwin_wayland" --virtual --xwayland --no-lockscreen --socket "$socket" \
        --width 1024 --height 768 "$logs/kwin-ready.sh" >"$logs/kwin.log" 2>&1 &
    PURLO_KWIN_PID=$!
    pids+=("$PURLO_KWIN_PID")
    export PURLO_KWIN_PID

    start_wait
    until [[ -S "$XDG_RUNTIME_DIR/$socket" && -s "$ready" ]]; do
        if ! kill -0 "$PURLO_KWIN_PID" 2>/dev/null; then
            echo "harness: kwin_wayland exited" >&2
            tail -n 20 "$logs/kwin.log" >&2
            return 1
        fi
        within || { echo "harness: timed out after ${timeout_s}s waiting for KWin and its Xwayland" >&2; tail -n 20 "$logs/kwin.log" >&2; return 1; }
        sleep 0.02
    done
    export WAYLAND_DISPLAY="$socket"
    DISPLAY=$(<"$ready")
    export DISPLAY
    dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME \
        XDG_CURRENT_DESKTOP XDG_SESSION_TYPE WAYLAND_DISPLAY DISPLAY ||
        { echo "harness: could not pass the session to D-Bus activation" >&2; return 1; }
}
