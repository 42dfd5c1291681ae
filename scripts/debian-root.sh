#!/usr/bin/env bash
# A Debian root of another release, made with mmdebstrap, for building and
# testing Purlo against that release's compilers, Qt and desktops.
#   scripts/debian-root.sh path RELEASE        make the root if needed; print its folder
#   scripts/debian-root.sh run RELEASE CMD...  run CMD inside it, in the checkout (/src)
# RELEASE is trixie (Debian 13) or sid (unstable; not for CI: it moves daily).
#
# Roots live in PURLO_ROOT_CACHE (default ~/.cache/purlo/roots), outside the
# checkout, one folder per release and package list: a root is reused while
# the list it was made from is unchanged, and replaced when it changes.
# Every command runs in mount and PID namespaces of its own, so whatever it
# mounts or leaves running goes with it; the host's apt sources and mounts
# are left as they are. Needs root (chroot, mounts).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=$(dirname "$here")
cache=${PURLO_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/purlo/roots}

usage() { echo "usage: $0 path|run RELEASE [CMD...]" >&2; exit 2; }
[[ $# -ge 2 ]] || usage
verb=$1 release=$2
shift 2
case $release in trixie | sid) ;; *) echo "debian-root: unknown release '$release' (trixie or sid)" >&2; exit 2 ;; esac
if [[ $(id -u) -ne 0 ]]; then echo "debian-root: needs root, for chroot and its mounts" >&2; exit 1; fi

# What the build and the tests need (the host's list, without the tool that
# makes roots), and the desktops only the newer releases are tested on.
# setup.sh, run inside once the root is made, adds the names that differ
# between releases (the SVG plugins, the clang runtime).
# Unstable has dropped trayer; the tests that need it are left out there.
gone=""
[[ $release != sid ]] || gone="trayer"
packages() {
  bash "$here/setup.sh" --list --test | grep -vx mmdebstrap | grep -vxF -e "${gone:-none}"
  printf '%s\n' labwc xdg-desktop-portal-gnome man-db ca-certificates
}
list=$(packages | sort -u)
key=$(printf '%s\n%s\n' "$release" "$list" | sha256sum | cut -c1-12)
root=$cache/$release-$key

make_root() {
  mkdir -p "$cache"
  local tmp=$cache/.$release-$key.partial
  rm -rf "$tmp"
  local aptopts=(--aptopt='APT::Install-Recommends "false"')
  # The unstable suite's Release file may be past its Valid-Until date.
  [[ $release != sid ]] || aptopts+=(--aptopt='Acquire::Check-Valid-Until "false"')
  echo "debian-root: making the $release root in $root (a few minutes)" >&2
  local started=$SECONDS
  mmdebstrap --mode=root --variant=apt "${aptopts[@]}" \
    --include="$(paste -sd, <<<"$list")" \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' --dpkgopt='path-include=/usr/share/locale/locale.alias' \
    --customize-hook='dbus-uuidgen --ensure="$1/etc/machine-id"' \
    --customize-hook="copy-in $here/setup.sh /root" \
    --customize-hook="chroot \"\$1\" env PURLO_SETUP_SKIP='mmdebstrap $gone' bash /root/setup.sh --test" \
    --customize-hook='mkdir -p "$1/src"' \
    "$release" "$tmp" "deb http://deb.debian.org/debian $release main" >&2
  # A root made from an older list is not used again.
  find "$cache" -maxdepth 1 -name "$release-*" ! -name "$release-$key" -exec rm -rf {} +
  mv "$tmp" "$root"
  echo "debian-root: made in $((SECONDS - started)) s, $(du -sh "$root" | cut -f1)" >&2
}

[[ -d $root ]] || make_root

case $verb in
path) echo "$root" ;;
run)
  [[ $# -ge 1 ]] || usage
  # The command sees the checkout at /src, a fresh /tmp, /run and /dev/shm,
  # and /tmp/.X11-unix made as a real system makes it (root's, mode 1777):
  # an X server that made it as its own user would make mutter refuse it.
  # What the release lacks, setup.sh inside does not ask for either.
  exec env skip="mmdebstrap $gone" unshare --mount --pid --fork --propagation private -- bash -c '
    set -e
    root=$1 checkout=$2
    shift 2
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/dev/shm"
    mount -t tmpfs tmpfs "$root/run"
    mount -t tmpfs tmpfs "$root/tmp"
    mkdir -m 1777 "$root/tmp/.X11-unix"
    mount --bind "$checkout" "$root/src"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
      TERM="${TERM:-dumb}" LANG=C.UTF-8 CI="${CI:-}" PURLO_TEST_INSTALL="${PURLO_TEST_INSTALL:-}" \
      PURLO_SETUP_SKIP="$skip" \
      bash -c "cd /src && exec \"\$@\"" bash "$@"
  ' bash "$root" "$checkout" "$@"
  ;;
*) usage ;;
esac
