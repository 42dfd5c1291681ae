#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Idempotent: when everything is present it only checks.
#   scripts/setup.sh          build and run dependencies
#   scripts/setup.sh --test   also the tools the tests and benchmarks drive
set -euo pipefail

build_pkgs=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6svg6 libgl-dev
  libicu-dev
  libxcb1-dev libxcb-keysyms1-dev
  libwayland-dev
  fonts-dejavu-core
  librsvg2-bin
)
test_pkgs=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xclip xdotool xbindkeys trayer dunst dbus dbus-x11 libnotify-bin
  sway xwayland wl-clipboard
  perl time
  desktop-file-utils appstream dpkg-dev file groff-base
  kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde plasma-wayland-protocols libwayland-dev dbus-bin
)

want=("${build_pkgs[@]}")
if [[ "${1:-}" == "--test" ]]; then want+=("${test_pkgs[@]}"); fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
