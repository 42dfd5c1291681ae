#!/usr/bin/env bash
# Runs the real purlo-clean binary: what it writes, what it exits with, and
# that failures to read or write are reported rather than passed off as success.
set -u
bin=${1:?usage: cli_test.sh PATH-TO-purlo-clean}
passed=0 failed=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

check() {  # name, condition-result (0 = ok), detail
    if [[ $2 -eq 0 ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1: $3"; fi
}

# Output is byte for byte, nothing appended.
printf '  See  https://h/a?id=1&utm_source=mail\n\nand\thttps://h/b?fbclid=9 ' | "$bin" >"$tmp/out"; rc=$?
printf 'See https://h/a?id=1 and https://h/b' >"$tmp/want"
cmp -s "$tmp/out" "$tmp/want"; check "cleans stdin to stdout" $? "$(od -c "$tmp/out" | head -3)"
check "exit 0 on success" $rc "rc=$rc"

printf '' | "$bin" >"$tmp/out"; rc=$?
[[ $rc -eq 0 && ! -s "$tmp/out" ]]; check "empty input, empty output" $? "rc=$rc"

printf 'a\xff\xc2 \xe2\x80\x80b' | "$bin" >"$tmp/out"
printf 'a\xff\xc2 b' | cmp -s - "$tmp/out"; check "invalid bytes pass through" $? "$(od -c "$tmp/out")"

head -c 5000000 /dev/zero | tr '\0' 'x' >"$tmp/big"
printf ' https://h/?gclid=1' >>"$tmp/big"
"$bin" <"$tmp/big" >"$tmp/out"
[[ $(stat -c %s "$tmp/out") -eq $((5000000 + 11)) ]]; check "large input is complete" $? "size=$(stat -c %s "$tmp/out")"

for arg in --help -h; do
    out=$("$bin" "$arg"); rc=$?
    [[ $rc -eq 0 && $out == Usage:* ]]; check "$arg" $? "rc=$rc out=$out"
done
out=$("$bin" --version); rc=$?
[[ $rc -eq 0 && $out =~ ^purlo-clean\ [0-9]+\.[0-9]+\.[0-9]+$ ]]; check "--version" $? "rc=$rc out=$out"

# Unknown arguments: one line on stderr, exit 2, nothing on stdout.
for args in "--bogus" "file.txt" "--help extra" "-"; do
    # shellcheck disable=SC2086
    "$bin" $args </dev/null >"$tmp/out" 2>"$tmp/err"; rc=$?
    [[ $rc -eq 2 && ! -s "$tmp/out" && $(wc -l <"$tmp/err") -eq 1 ]] && grep -q "unexpected argument" "$tmp/err"
    check "usage error for '$args'" $? "rc=$rc err=$(cat "$tmp/err")"
done

# A full disk is an error, not success.
echo "some text" | "$bin" >/dev/full 2>"$tmp/err"; rc=$?
[[ $rc -ne 0 ]] && grep -q "cannot write standard output" "$tmp/err"
check "full disk reported" $? "rc=$rc err=$(cat "$tmp/err")"

# A reader that went away: reported on stderr, non-zero, no crash by SIGPIPE.
mkfifo "$tmp/fifo"
( exec 3<"$tmp/fifo"; exec 3<&- ) &
"$bin" <"$tmp/big" >"$tmp/fifo" 2>"$tmp/err"; rc=$?
wait
[[ $rc -eq 1 ]] && grep -q "Broken pipe" "$tmp/err"
check "closed pipe reported" $? "rc=$rc err=$(cat "$tmp/err")"

# Standard input that cannot be read (a directory).
"$bin" <"$tmp" >"$tmp/out" 2>"$tmp/err"; rc=$?
[[ $rc -eq 1 ]] && grep -q "cannot read standard input" "$tmp/err"
check "unreadable input reported" $? "rc=$rc err=$(cat "$tmp/err")"

# Out of memory: an address with no place to cut must be held whole and
# cannot fit under the limit. One line on stderr, exit 1, no output.
# (AddressSanitizer reserves its shadow memory at start and cannot run under
# any such limit.)
if ! ldd "$bin" | grep -q libasan; then
    { printf 'https://h/?'; head -c 64000000 /dev/zero | tr '\0' x; } |
        (ulimit -v 100000 && exec "$bin") >"$tmp/out" 2>"$tmp/err"; rc=$?
    [[ $rc -eq 1 && ! -s "$tmp/out" && $(wc -l <"$tmp/err") -eq 1 ]] && grep -q "out of memory" "$tmp/err"
    check "out of memory reported" $? "rc=$rc err=$(head -c 300 "$tmp/err")"
fi

echo "cli: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
