#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Idempotent: when everything is present it only checks.
#   scripts/setup.sh          build and run dependencies
#   scripts/setup.sh --test   also the tools the tests and benchmarks drive
#   scripts/setup.sh --list [--test]   only print those package names
# When another apt or dpkg is at work (unattended upgrades on a fresh
# machine, say), it waits for it, up to PURLO_APT_WAIT seconds (600).
set -euo pipefail

# libxkbcommon-dev: Qt's Gui package looks for it each time it is configured;
# libdbus-1-dev: `purlo --clean` speaks to the bus without Qt;
# qt6-wayland: Qt's Wayland platform, for sessions without Xwayland.
build_pkgs=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6svg6 qt6-wayland libgl-dev libxkbcommon-dev
  libicu-dev
  libxcb1-dev libxcb-keysyms1-dev libxcb-xfixes0-dev
  libwayland-dev wayland-protocols
  libdbus-1-dev
  fonts-dejavu-core
  librsvg2-bin
)
# The test harness also calls gdbus and python3 (with python3-xlib, for an
# X client that claims the clipboard with a time of its own); xfsettingsd is the
# clipboard manager Purlo hands its text to on the way out, xfce4-clipman
# one that keeps it without answering; sway and KWin
# are the Wayland compositors the harness runs headless, wtype presses keys
# on sway, and ss (iproute2) shows what a compositor has queued for a client;
# mutter is GNOME's compositor, whose seat the harness gives a keyboard
# through its remote-desktop interface (from Python, over GObject);
# xfce4-panel is a StatusNotifier host, which draws the icon's menu itself;
# GNOME Shell runs headless with gnome-settings-daemon's media keys (the
# custom shortcut) and the AppIndicator extension (the tray);
# mmdebstrap makes the Debian 13 root the suite runs in a second time. The
# sanitizer and libFuzzer runtimes come separately, below: their package is
# named after clang's version, which differs between releases.
test_pkgs=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang
  xvfb xauth x11-utils x11-xserver-utils xclip xdotool xbindkeys trayer dunst dbus dbus-x11 libnotify-bin libglib2.0-bin
  perl python3 python3-xlib time
  desktop-file-utils appstream dpkg-dev file groff-base
  xfce4-settings xfce4-clipman xfce4-panel dbus-bin
  sway xwayland wl-clipboard wtype iproute2
  kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde plasma-wayland-protocols
  mutter python3-gi gir1.2-glib-2.0
  gnome-shell gnome-settings-daemon gnome-shell-extension-appindicator
  mmdebstrap
)

want=("${build_pkgs[@]}")
# Debian 13 moved Qt's SVG icon engine, which draws the tray icon and the
# panel's symbols, out of libqt6svg6 into a package of its own.
apt-cache show qt6-svg-plugins >/dev/null 2>&1 && want+=(qt6-svg-plugins)
testing=0
listing=0
if [[ "${1:-}" == "--list" ]]; then listing=1; shift; fi
if [[ "${1:-}" == "--test" ]]; then want+=("${test_pkgs[@]}"); testing=1; fi
if [[ $listing -eq 1 ]]; then printf '%s\n' "${want[@]}"; exit 0; fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# The compiler runtime package that goes with the clang on PATH, if any.
clang_rt() { echo "libclang-rt-$(clang -dumpversion 2>/dev/null | cut -d. -f1)-dev"; }

# PURLO_SETUP_SKIP names packages a release no longer has (the unstable
# root's trayer); the tests that need them are left out there.
skip=" ${PURLO_SETUP_SKIP:-} "
missing=()
for p in "${want[@]}"; do
  [[ $skip != *" $p "* ]] || continue
  installed "$p" || missing+=("$p")
done
need_rt=0
if [[ $testing -eq 1 ]] && ! installed "$(clang_rt)"; then need_rt=1; fi
[[ ${#missing[@]} -eq 0 && $need_rt -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
wait_s=${PURLO_APT_WAIT:-600}
apt_install() {
  echo "setup: installing $*" >&2
  $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout="$wait_s" "$@" >/dev/null
}

# apt-get waits for dpkg's lock when told to, but "update" takes the package
# lists' lock too, for which it does not wait: try again while that is what
# stops it.
for ((waited = 0; ; waited += 5)); do
  if err=$($sudo apt-get update -qq -o DPkg::Lock::Timeout="$wait_s" 2>&1 >/dev/null); then
    [[ -z $err ]] || echo "$err" >&2
    break
  fi
  if ! grep -q 'Could not get lock' <<<"$err" || [[ $waited -ge $wait_s ]]; then echo "$err" >&2; exit 1; fi
  [[ $waited -gt 0 ]] || echo "setup: another apt holds the package lists; waiting" >&2
  sleep 5
done

[[ ${#missing[@]} -eq 0 ]] || apt_install "${missing[@]}"
# clang is there now, whichever version the release calls "clang".
[[ $need_rt -eq 0 ]] || installed "$(clang_rt)" || apt_install "$(clang_rt)"
