#!/usr/bin/env bash
# check-data.sh KIND FILE...
# The checks desktops and distributions themselves run on installed data:
#   desktop   desktop-file-validate, silent (hints count as faults too)
#   metainfo  appstreamcli validate --no-net (warnings and errors fail)
#   man       groff renders the page with every warning enabled and says
#             nothing; man -l renders the compressed, installed form, which
#             must carry the sections a reader looks for
set -uo pipefail
kind=${1:?usage: check-data.sh desktop|metainfo|man FILE...}
shift
[[ $# -gt 0 ]] || { echo "check-data: no file given" >&2; exit 2; }
fails=0
for f in "$@"; do
    case "$kind:$f" in
    desktop:*) out=$(desktop-file-validate "$f" 2>&1) && [[ -z $out ]] ;;
    metainfo:*) out=$(appstreamcli validate --no-net --no-color "$f" 2>&1) ;;
    man:*.gz)
        page=$(MANWIDTH=80 man -l "$f" 2>&1)
        out=$(for s in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do grep -q "^$s" <<<"$page" || echo "no $s section"; done)
        [[ -z $out ]] ;;
    man:*) out=$(groff -man -Tutf8 -ww -z "$f" 2>&1) && [[ -z $out ]] ;;
    *) echo "check-data: unknown kind '$kind'" >&2; exit 2 ;;
    esac || { echo "FAIL $f: ${out:-status $?}" >&2; fails=$((fails + 1)); }
done
[[ $fails -eq 0 ]] && echo "check-data: $kind: $# file(s) fine"
