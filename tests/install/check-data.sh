#!/usr/bin/env bash
# check-data.sh KIND FILE...
# The checks desktops and distributions themselves run on installed data:
#   desktop   desktop-file-validate, silent (hints count as faults too)
#   metainfo  appstreamcli validate --no-net (warnings and errors fail)
#   man       groff renders the page with every warning enabled and says
#             nothing; man -l renders the compressed, installed form
set -uo pipefail

kind=${1:?usage: check-data.sh desktop|metainfo|man FILE...}
shift
[[ $# -gt 0 ]] || { echo "check-data: no file given" >&2; exit 2; }

need() { command -v "$1" >/dev/null || { echo "check-data: '$1' is not installed (run scripts/setup.sh --test)" >&2; exit 1; }; }

fails=0
fail() { echo "FAIL $1" >&2; fails=$((fails + 1)); }

for f in "$@"; do
    [[ -r "$f" ]] || { fail "$f: cannot be read"; continue; }
    case "$kind" in
    desktop)
        need desktop-file-validate
        out=$(desktop-file-validate "$f" 2>&1)
        rc=$?
        [[ $rc -eq 0 && -z "$out" ]] || fail "$f: desktop-file-validate (status $rc): $out"
        ;;
    metainfo)
        need appstreamcli
        out=$(appstreamcli validate --no-net --no-color "$f" 2>&1)
        rc=$?
        [[ $rc -eq 0 ]] || fail "$f: appstreamcli validate (status $rc): $out"
        ;;
    man)
        need groff
        need man
        case "$f" in
        *.gz)
            # What `man purlo` shows a user: it must render and carry its sections.
            page=$(MANWIDTH=80 man -l "$f" 2>&1)
            rc=$?
            for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
                grep -q "^$section" <<<"$page" || fail "$f: man -l shows no $section section (status $rc)"
            done
            ;;
        *)
            out=$(groff -man -Tutf8 -ww -z "$f" 2>&1)
            rc=$?
            [[ $rc -eq 0 && -z "$out" ]] || fail "$f: groff -ww (status $rc): $out"
            ;;
        esac
        ;;
    *) echo "check-data: unknown kind '$kind'" >&2; exit 2 ;;
    esac
done
[[ $fails -eq 0 ]] && echo "check-data: $kind: $# file(s) fine"
exit $((fails > 0))
