#!/usr/bin/env bash
# package-test.sh BUILD_DIR VERSION HARNESS
# Builds the Debian package from BUILD_DIR with cpack in a scratch directory
# and checks it the way a user meets it:
#   - control fields, with Depends derived from the libraries the programs
#     really load (each one's owning package must be named);
#   - the file list: both programs, the desktop entry, the metainfo, every
#     icon size, both man pages; nothing outside /usr, no maintainer scripts;
#   - unpacked into a scratch root: purlo-clean answers and cleans, purlo
#     starts under Xvfb with a tray host and docks its icon;
#   - as root only: a real apt-get install and purge, after which none of the
#     package's files or directories is left. A machine that already has
#     purlo installed is left alone.
set -uo pipefail

build=${1:?usage: package-test.sh BUILD_DIR VERSION HARNESS}
version=${2:?usage: package-test.sh BUILD_DIR VERSION HARNESS}
harness=${3:?usage: package-test.sh BUILD_DIR VERSION HARNESS}
app_id=app.purlo.Purlo
icon_sizes=(16 22 24 32 48 64 128 256)

for tool in cpack dpkg-deb dpkg-shlibdeps file ldd xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "package-test: '$tool' is not installed (run scripts/setup.sh --test)" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/purlo-package.XXXXXX") || exit 1
installed_here=0
extra_pkgs=()
cleanup() {
    # A failure half way through a real install must not leave Purlo (or
    # what it pulled in) on the machine.
    if [[ $installed_here -eq 1 ]]; then
        apt-get purge -y -qq -o DPkg::Lock::Timeout=120 purlo "${extra_pkgs[@]}" >/dev/null 2>&1
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fails=0
fail() { echo "FAIL $*" >&2; fails=$((fails + 1)); }
pass() { echo "ok   $*"; }

# ------------------------------------------------------------------ build it
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    echo "package-test: cpack failed:" >&2
    tail -n 30 "$scratch/cpack.log" >&2
    exit 1
fi
debs=("$scratch"/out/purlo_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || { echo "package-test: expected one purlo_*.deb, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "purlo_${version}_${arch}.deb" ]] && pass "file name $(basename "$deb")" ||
    fail "file name $(basename "$deb"), want purlo_${version}_${arch}.deb"

# ------------------------------------------------------------ control fields
field() { dpkg-deb -f "$deb" "$1"; }
while IFS='|' read -r name want; do
    got=$(field "$name")
    [[ "$got" == "$want" ]] && pass "$name: $got" || fail "$name: '$got', want '$want'"
done <<EOF
Package|purlo
Version|$version
Architecture|$arch
Section|utils
Priority|optional
EOF
[[ $(field Maintainer) =~ .+\<.+@.+\> ]] && pass "Maintainer: $(field Maintainer)" || fail "Maintainer: '$(field Maintainer)'"
# Description: a synopsis, then lines indented by exactly one space, with
# " ." between paragraphs, and the synopsis not said twice.
desc=$(field Description)
synopsis=$(head -n1 <<<"$desc")
bad_lines=$(tail -n +2 <<<"$desc" | grep -v -e '^ [^ ]' -e '^ \.$')
if [[ -z "$synopsis" || -n "$bad_lines" || $(sed -n 2p <<<"$desc") == " $synopsis" || $(wc -l <<<"$desc") -lt 2 ]]; then
    fail "Description is malformed: $desc"
else
    pass "Description: $synopsis"
fi

depends=$(field Depends)
echo "     Depends: $depends"
# The package names in Depends, alternatives included, without versions.
dep_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g; s/:.*//')
has_dep() { grep -qxF "$1" <<<"$dep_names"; }
# shlibdeps writes versioned dependencies; a hand-written list would not.
grep -q '(>= ' <<<"$depends" && pass "Depends carries shlibdeps versions" || fail "Depends has no versioned entry: shlibdeps did not run"
for pkg in libqt6widgets6 libqt6svg6; do
    has_dep "$pkg" && pass "Depends names $pkg" || fail "Depends lacks $pkg"
done

# --------------------------------------------------------------- file list
dpkg-deb -c "$deb" >"$scratch/contents" || { echo "package-test: dpkg-deb -c failed" >&2; exit 1; }
awk '{ print $6 }' "$scratch/contents" | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$scratch/paths"
want_files=(
    /usr/bin/purlo
    /usr/bin/purlo-clean
    "/usr/share/applications/$app_id.desktop"
    "/usr/share/metainfo/$app_id.metainfo.xml"
    "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    /usr/share/man/man1/purlo.1.gz
    /usr/share/man/man1/purlo-clean.1.gz
)
for s in "${icon_sizes[@]}"; do want_files+=("/usr/share/icons/hicolor/${s}x${s}/apps/$app_id.png"); done
for p in "${want_files[@]}"; do
    grep -qxF "$p" "$scratch/paths" && pass "carries $p" || fail "does not carry $p"
done
outside=$(grep -v -e '^/usr$' -e '^/usr/' -e '^/$' "$scratch/paths")
[[ -z "$outside" ]] && pass "nothing outside /usr" || fail "files outside /usr: $outside"
not_root=$(awk '$2 != "root/root"' "$scratch/contents")
[[ -z "$not_root" ]] && pass "every entry owned by root/root" || fail "entries not owned by root: $not_root"
for p in /usr/bin/purlo /usr/bin/purlo-clean; do
    mode=$(awk -v p=".$p" '$6 == p { print $1 }' "$scratch/contents")
    [[ "$mode" == "-rwxr-xr-x" ]] && pass "$p is $mode" || fail "$p has mode '$mode'"
done
mkdir -p "$scratch/control"
dpkg-deb -e "$deb" "$scratch/control"
scripts=$(cd "$scratch/control" && ls preinst postinst prerm postrm 2>/dev/null)
[[ -z "$scripts" ]] && pass "no maintainer scripts" || fail "maintainer scripts present: $scripts"

# ------------------------------------------------------------ unpacked root
root="$scratch/root"
dpkg-deb -x "$deb" "$root" || { echo "package-test: dpkg-deb -x failed" >&2; exit 1; }

# Every library the programs link directly must come with its package in
# Depends; what those libraries load in turn their own packages bring.
for bin in purlo purlo-clean; do
    [[ -x "$root/usr/bin/$bin" ]] || continue
    file -b "$root/usr/bin/$bin" | grep -q ', stripped' && pass "$bin is stripped" || fail "$bin is not stripped"
    while read -r lib; do
        owner=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -n1 | cut -d: -f1)
        [[ -n "$owner" ]] || owner=$(dpkg -S "$lib" 2>/dev/null | head -n1 | cut -d: -f1)
        if [[ -z "$owner" ]]; then
            fail "$bin loads $lib, which no installed package owns"
        elif has_dep "$owner"; then
            pass "$bin: $(basename "$lib") from $owner, in Depends"
        else
            fail "$bin loads $(basename "$lib") from $owner, which Depends does not name"
        fi
    done < <(needed=$(readelf -d "$root/usr/bin/$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
             ldd "$root/usr/bin/$bin" | awk -v needed="$needed" '
                 BEGIN { n = split(needed, list, "\n"); for (i = 1; i <= n; i++) want[list[i]] = 1 }
                 $2 == "=>" && $3 ~ /^\// && ($1 in want) { print $3 }' | sort -u)
done

for s in "${icon_sizes[@]}"; do
    png="$root/usr/share/icons/hicolor/${s}x${s}/apps/$app_id.png"
    [[ -f "$png" ]] || continue
    file -b "$png" | grep -q "PNG image data, $s x $s," && pass "icon ${s}x${s} is a ${s}x${s} PNG" ||
        fail "icon ${s}x${s}: $(file -b "$png")"
done

# The names the entries point at must be what the package carries.
desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if [[ -f "$desktop" ]]; then
    exec_bin=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [[ -n "$exec_bin" && -x "$root/usr/bin/$exec_bin" ]] && pass "Exec=$exec_bin is packaged" || fail "Exec='$exec_bin' is not in /usr/bin"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ "$icon" == "$app_id" && -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]] &&
        pass "Icon=$icon is packaged" || fail "Icon='$icon' is not the packaged icon"
fi
if [[ -f "$metainfo" ]]; then
    launch=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    [[ -n "$launch" && -f "$root/usr/share/applications/$launch" ]] && pass "launchable $launch is packaged" || fail "launchable '$launch' is not packaged"
    while read -r b; do
        [[ -x "$root/usr/bin/$b" ]] && pass "provided binary $b is packaged" || fail "metainfo provides '$b', not packaged"
    done < <(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")
    grep -q "<release version=\"$version\"" "$metainfo" && pass "metainfo releases $version" || fail "metainfo has no release $version"
fi

clean="$root/usr/bin/purlo-clean"
if [[ -x "$clean" ]]; then
    got=$("$clean" --version)
    [[ "$got" == "purlo-clean $version" ]] && pass "purlo-clean --version: $got" || fail "purlo-clean --version: '$got'"
    got=$(printf 'See  https://example.com/a?id=1&utm_source=mail\n' | "$clean")
    [[ "$got" == "See https://example.com/a?id=1" ]] && pass "purlo-clean cleans" || fail "purlo-clean gave '$got'"
fi

# Starts the unpacked purlo in a private desktop and waits for its tray icon
# to be mapped (the icon's window has class purlo), then stops it.
start_purlo() {
    local bin=$1 log=$2
    PURLO_BIN="$bin" PURLO_LOG="$log" "$harness" --tray --notifications -- bash -c '
        "$PURLO_BIN" >"$PURLO_LOG" 2>&1 &
        pid=$!
        deadline=$((SECONDS + ${PURLO_HARNESS_TIMEOUT:-15}))
        # Docked means embedded by the tray host: a mapped window of class
        # purlo whose parent is no longer the root window.
        docked() {
            local w root
            root=$(xwininfo -root | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")
            for w in $(xdotool search --onlyvisible --class "^purlo$" 2>/dev/null); do
                xwininfo -tree -id "$w" | grep -q "Parent window id: $root" || return 0
            done
            return 1
        }
        until docked; do
            if ! kill -0 "$pid" 2>/dev/null; then
                wait "$pid"; echo "purlo exited with status $? before its icon docked" >&2; exit 1
            fi
            [[ $SECONDS -lt $deadline ]] || { echo "purlo showed no icon window in time" >&2; kill "$pid"; exit 1; }
            sleep 0.05
        done
        kill -TERM "$pid"
        wait "$pid" 2>/dev/null
        exit 0'
}
if [[ -x "$root/usr/bin/purlo" ]]; then
    if start_purlo "$root/usr/bin/purlo" "$scratch/purlo.log"; then
        pass "unpacked purlo starts and docks its icon"
    else
        fail "unpacked purlo did not dock: $(tail -n 5 "$scratch/purlo.log" 2>/dev/null)"
    fi
fi

# ------------------------------------------------------- real install, root
dpkg_state() { dpkg-query -W -f='${db:Status-Status}' purlo 2>/dev/null; }
if [[ $(id -u) -ne 0 ]]; then
    echo "skip real apt-get install: not running as root"
elif [[ -n "$(dpkg_state)" && "$(dpkg_state)" != not-installed ]]; then
    echo "skip real apt-get install: purlo is already installed on this machine; left as it is"
elif [[ $fails -gt 0 ]]; then
    echo "skip real apt-get install: the package has faults already"
else
    apt_opts=(-y -qq -o DPkg::Lock::Timeout=120)
    # What apt would pull in besides purlo is purged again afterwards.
    while read -r p; do [[ "$p" != purlo ]] && extra_pkgs+=("$p"); done < <(
        apt-get install --simulate "${apt_opts[@]}" "$deb" 2>/dev/null | awk '$1 == "Inst" { print $2 }')
    # Directories the package would bring that the machine lacks now must be
    # gone again after the purge.
    : >"$scratch/new-dirs"
    while read -r p; do
        [[ -e "$p" ]] || echo "$p" >>"$scratch/new-dirs"
    done < <(awk '$1 ~ /^d/ { print $6 }' "$scratch/contents" | sed 's|^\./|/|; s|/$||' | grep -v '^$')

    installed_here=1
    if apt-get install "${apt_opts[@]}" "$deb" >"$scratch/apt.log" 2>&1; then
        pass "apt-get install ./$(basename "$deb")${extra_pkgs[*]:+ (pulled in: ${extra_pkgs[*]})}"
        dpkg -L purlo >"$scratch/dpkg-L"
        got=$(/usr/bin/purlo-clean --version)
        [[ "$got" == "purlo-clean $version" ]] && pass "installed purlo-clean --version" || fail "installed purlo-clean --version: '$got'"
        if start_purlo /usr/bin/purlo "$scratch/purlo-installed.log"; then
            pass "installed purlo starts and docks its icon"
        else
            fail "installed purlo did not dock: $(tail -n 5 "$scratch/purlo-installed.log" 2>/dev/null)"
        fi
        if apt-get purge "${apt_opts[@]}" purlo "${extra_pkgs[@]}" >>"$scratch/apt.log" 2>&1; then
            installed_here=0
            pass "apt-get purge purlo"
            left=()
            while read -r p; do
                [[ -n "$p" && -e "$p" && ! -d "$p" ]] && left+=("$p")
            done <"$scratch/dpkg-L"
            while read -r d; do [[ -e "$d" ]] && left+=("$d/"); done <"$scratch/new-dirs"
            [[ ${#left[@]} -eq 0 ]] && pass "purge left nothing of $(wc -l <"$scratch/dpkg-L") listed paths" ||
                fail "purge left: ${left[*]}"
            st=$(dpkg_state)
            [[ -z "$st" || "$st" == not-installed ]] && pass "dpkg no longer knows purlo" || fail "dpkg still lists purlo as '$st'"
        else
            fail "apt-get purge failed: $(tail -n 5 "$scratch/apt.log")"
        fi
    else
        installed_here=0
        st=$(dpkg_state)
        [[ -n "$st" && "$st" != not-installed ]] && installed_here=1
        fail "apt-get install failed: $(tail -n 10 "$scratch/apt.log")"
    fi
fi

echo "package-test: $fails failure(s)"
exit $((fails > 0))
