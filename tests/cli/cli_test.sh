#!/usr/bin/env bash
# Runs the real purlo-clean: what it writes to each stream and what it exits
# with, including failures to read or write, which must never pass for success.
set -u
bin=${1:?usage: cli_test.sh PATH-TO-purlo-clean VERSION}
version=${2:?usage: cli_test.sh PATH-TO-purlo-clean VERSION}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# judge NAME STATUS WANT-STATUS WANT-STDOUT STDERR-GLOB: the last run's
# standard output ($tmp/out) must be WANT-STDOUT (printf %b) byte for byte,
# or match it as a glob if it has a '*'; standard error is at most one line.
judge() {
    printf '%b' "$4" >"$tmp/want"
    if [[ $4 == *'*'* ]]; then [[ $(<"$tmp/out") == $4 ]]; else cmp -s "$tmp/out" "$tmp/want"; fi &&
        [[ $2 -eq $3 && $(wc -l <"$tmp/err") -le 1 && $(<"$tmp/err") == $5 ]] && return
    failed=$((failed + 1))
    echo "FAIL $1: status $2, stdout $(od -An -c "$tmp/out" | head -c 300), stderr: $(<"$tmp/err")"
}
# row NAME ARGS INPUT WANT-STATUS WANT-STDOUT STDERR-GLOB, INPUT in printf %b form.
row() {
    # shellcheck disable=SC2086  # ARGS split into words on purpose
    printf '%b' "$3" | "$bin" $2 >"$tmp/out" 2>"$tmp/err"
    judge "$1" $? "$4" "$5" "$6"
}

row cleans '' '  See  https://h/a?id=1&utm_source=mail\n\nand\thttps://h/b?fbclid=9 ' 0 \
    'See https://h/a?id=1 and https://h/b' ''
row empty '' '' 0 '' ''
row invalid-bytes '' 'a\xff\xc2 \xe2\x80\x80b' 0 'a\xff\xc2 b' ''
row version --version 'x y' 0 "purlo-clean $version\n" ''
# Usage errors name the first argument that cannot stand where it is.
for args in --bogus file.txt - "--help extra" "--version -h"; do
    row "args $args" "$args" 'x  y' 2 '' "purlo-clean: unexpected argument '${args##* }' (*)"
done
for args in --help -h; do row "$args" "$args" '' 0 'Usage: purlo-clean *' ''; done

: >"$tmp/out"
"$bin" <<<"some text" 2>"$tmp/err" >/dev/full
judge "full disk" $? 1 '' 'purlo-clean: cannot write standard output: *'
"$bin" <"$tmp" >"$tmp/out" 2>"$tmp/err"
judge "directory as input" $? 1 '' 'purlo-clean: cannot read standard input: *'
# A reader that went away: reported, not a silent death by SIGPIPE. The
# input is more than a pipe holds, so a write must fail.
mkfifo "$tmp/fifo"
(exec 3<"$tmp/fifo") &
"$bin" < <(head -c 5000000 /dev/zero) 2>"$tmp/err" >"$tmp/fifo"
judge "closed pipe" $? 1 '' 'purlo-clean: cannot write standard output: Broken pipe'
wait

# Out of memory: an address with no place to cut is held whole and cannot
# fit under the limit. (AddressSanitizer reserves its shadow memory at start
# and cannot run under any such limit.)
if ! ldd "$bin" | grep -q libasan; then
    { printf 'https://h/?'; head -c 64000000 /dev/zero | tr '\0' x; } |
        (ulimit -v 100000 && exec "$bin") >"$tmp/out" 2>"$tmp/err"
    judge "out of memory" $? 1 '' 'purlo-clean: out of memory*'
fi

echo "cli: $failed failure(s)"
[[ $failed -eq 0 ]]
