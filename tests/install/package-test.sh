#!/usr/bin/env bash
# package-test.sh BUILD_DIR VERSION HARNESS [--install]
# Builds the Debian package from BUILD_DIR with cpack in a scratch directory
# and checks it the way a user meets it:
#   - its control fields, with a Depends that shlibdeps wrote and that names
#     the SVG icon engine and the Wayland platform; its file list: every file a desktop needs, all owned
#     by root, nothing outside /usr;
#   - unpacked into a scratch root: what the desktop entry and the metainfo
#     name is there, purlo-clean cleans, purlo docks its icon in a private
#     desktop (HARNESS);
#   - with --install, instead: a real apt-get install and purge, after which
#     nothing of the package is left. That changes the machine, so it runs
#     only as root with PURLO_TEST_INSTALL=1 (CI sets it) on a machine
#     without purlo installed, and is skipped (status 77) otherwise.
set -uo pipefail
usage="usage: package-test.sh BUILD_DIR VERSION HARNESS [--install]"
build=${1:?$usage} version=${2:?$usage} harness=${3:?$usage} mode=${4:-}
app=app.purlo.Purlo
sizes=(16 22 24 32 48 64 128 256)
state() { dpkg-query -W -f='${db:Status-Status}' purlo 2>/dev/null | sed 's/^not-installed$//'; }
skip() { echo "package-test: skipped: $*"; exit 77; }
if [[ $mode == --install ]]; then
    [[ ${PURLO_TEST_INSTALL:-} == 1 ]] || skip "it would install and purge purlo here; PURLO_TEST_INSTALL=1 allows it"
    [[ $(id -u) -eq 0 ]] || skip "not running as root"
    [[ -n $(state) ]] && skip "purlo is installed on this machine; left as it is"
fi

s=$(mktemp -d "${TMPDIR:-/tmp}/purlo-package.XXXXXX") || exit 1
installed=0 extra=()
# A failure half way through a real install must not leave Purlo, or what
# it pulled in, on the machine.
trap '[[ $installed -eq 1 ]] && apt-get purge -y -qq -o DPkg::Lock::Timeout=120 purlo "${extra[@]}" >/dev/null 2>&1; rm -rf "$s"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
fails=0
fail() { echo "FAIL $*" >&2; fails=$((fails + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$s/out" >"$s/cpack.log" 2>&1 || { tail -n 30 "$s/cpack.log" >&2; exit 1; }
deb=$s/out/purlo_${version}_$(dpkg --print-architecture).deb
[[ -f $deb && $(ls "$s/out"/*.deb | wc -l) -eq 1 ]] || { echo "FAIL want $(basename "$deb") alone, got: $(ls "$s/out")" >&2; exit 1; }
dpkg-deb -c "$deb" >"$s/contents" || exit 1

# Starts purlo ($1) with a tray host, as the X11 scenarios do; true once
# its icon is docked.
docks() {
    PURLO_LOG=$s/purlo.log "$harness" --tray --notifications -- bash -c 'source "$PURLO_E2E_LIB/common.sh"
        source "$PURLO_E2E_LIB/x11.sh" "$0" none; "$0" >"$PURLO_LOG" 2>&1 & purlo_pid=$!; until_ok 15 docked' "$1"
}

if [[ $mode == --install ]]; then
    opts=(-y -qq -o DPkg::Lock::Timeout=120)
    # What apt pulls in besides purlo is purged again, and every directory
    # the package brings that the machine lacks now must be gone again.
    mapfile -t extra < <(apt-get install --simulate "${opts[@]}" "$deb" 2>/dev/null | awk '$1 == "Inst" && $2 != "purlo" { print $2 }')
    new_dirs=$(awk '$1 ~ /^d/ { sub(/^\./, "", $6); sub(/\/$/, "", $6); print $6 }' "$s/contents" |
               while read -r d; do [[ -e $d ]] || echo "$d"; done)
    installed=1
    apt-get install "${opts[@]}" "$deb" >"$s/apt.log" 2>&1 || { fail "apt-get install: $(tail -n 10 "$s/apt.log")"; exit 1; }
    [[ $(/usr/bin/purlo-clean --version) == "purlo-clean $version" ]] || fail "installed purlo-clean --version"
    docks /usr/bin/purlo || fail "installed purlo did not dock its icon: $(tail -n 5 "$s/purlo.log")"
    listed=$(dpkg -L purlo)
    apt-get purge "${opts[@]}" purlo "${extra[@]}" >>"$s/apt.log" 2>&1 && installed=0 || fail "apt-get purge: $(tail -n 5 "$s/apt.log")"
    for p in $listed; do [[ -e $p && ! -d $p ]] && fail "purge left $p"; done
    for d in $new_dirs; do [[ -e $d ]] && fail "purge left $d/"; done
    [[ -z $(state) ]] || fail "dpkg still lists purlo as $(state)"
    echo "package-test: install and purge, $fails failure(s)"
    exit $((fails > 0))
fi

field() { dpkg-deb -f "$deb" "$1"; }
for f in Package=purlo "Version=$version" "Architecture=$(dpkg --print-architecture)"; do
    [[ $(field "${f%%=*}") == "${f#*=}" ]] || fail "${f%%=*}: '$(field "${f%%=*}")', want '${f#*=}'"
done
# shlibdeps writes versioned entries; nothing but this list names the SVG
# icon engine and the Wayland platform, which Qt loads at run time.
depends=$(field Depends)
deps=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g; s/:.*//')
[[ $depends == *'(>= '* ]] || fail "Depends has no versioned entry, so shlibdeps did not run: $depends"
for p in qt6-svg-plugins libqt6svg6 qt6-wayland; do grep -qxF $p <<<"$deps" || fail "Depends lacks $p: $depends"; done

want=(/usr/bin/purlo /usr/libexec/purlo/purlo /usr/bin/purlo-clean "/usr/share/applications/$app.desktop" "/usr/share/metainfo/$app.metainfo.xml"
      "/usr/share/icons/hicolor/scalable/apps/$app.svg" /usr/share/man/man1/purlo.1.gz /usr/share/man/man1/purlo-clean.1.gz)
for n in "${sizes[@]}"; do want+=("/usr/share/icons/hicolor/${n}x$n/apps/$app.png"); done
for p in "${want[@]}"; do grep -q " \.$p\$" "$s/contents" || fail "does not carry $p"; done
bad=$(awk '$2 != "root/root" || $6 !~ /^\.\/(usr\/.*)?$/ || ($6 ~ /^\.\/usr\/(bin|libexec\/purlo)\/./ && $1 != "-rwxr-xr-x")' "$s/contents")
[[ -z $bad ]] || fail "entries not root/root, outside /usr, or programs not rwxr-xr-x: $bad"
r=$s/root
dpkg-deb -x "$deb" "$r"
# What the desktop entry and the metainfo point at must be in the package.
entry=$r/usr/share/applications/$app.desktop meta=$r/usr/share/metainfo/$app.metainfo.xml
# The entry has an Exec= for itself and one for its Clean action.
for b in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | sort -u) $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$meta"); do
    [[ -f $r/usr/bin/$b && -x $r/usr/bin/$b ]] || fail "'$b' is named but not packaged"
done
[[ -f $r/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg ]] || fail "Icon= names no packaged icon"
# The bus starts the packaged purlo for `purlo --clean` and DBusActivatable.
grep -qx "Exec=/usr/bin/purlo" "$r/usr/share/dbus-1/services/$app.service" || fail "no D-Bus service file starting /usr/bin/purlo"
[[ $("$r/usr/bin/purlo-clean" --version) == "purlo-clean $version" ]] || fail "unpacked purlo-clean --version"
[[ $(printf 'See  https://example.com/a?id=1&utm_source=mail\n' | "$r/usr/bin/purlo-clean") == "See https://example.com/a?id=1" ]] ||
    fail "unpacked purlo-clean does not clean"
docks "$r/usr/bin/purlo" || fail "unpacked purlo did not dock its icon: $(tail -n 5 "$s/purlo.log")"
echo "package-test: $fails failure(s)"
exit $((fails > 0))
