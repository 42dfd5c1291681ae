#!/usr/bin/env bash
# Whole-process throughput and memory of purlo-clean on generated 64 MB
# corpora, against a perl one-liner doing the same regular-expression work
# in the same run. Usage: bench/compare.sh [BUILD_DIR]   (default: build)
# Needs the targets purlo-clean and make_corpus (configure with
# -DPURLO_BUILD_BENCH=ON), perl and GNU time.
set -euo pipefail
build=${1:-build}
clean="$build/src/cli/purlo-clean"
gen="$build/bench/make_corpus"
for f in "$clean" "$gen"; do [[ -x $f ]] || { echo "compare.sh: $f is missing: build it first" >&2; exit 2; }; done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The baseline: the address pattern with the same 21 names (no percent-
# decoding or Unicode case mapping), then \s+ to one space and trim.
read -r -d '' baseline <<'PERL' || true
my %t = map { $_ => 1 } qw(utm_source utm_medium utm_campaign utm_term utm_content gclid gclsrc dclid
  fbclid msclkid zanpid _ga _gl mc_cid mc_eid oly_enc_id oly_anon_id ref source campaign mkt_tok);
local $/; $_ = <STDIN>;
s{https?://[^\s<>"']+}{
  my $u = $&;
  if ($u =~ /^([^?#]*)\?([^#]*)(.*)$/s) {
    my ($h, $q, $f) = ($1, $2, $3);
    my @k = grep { length && !$t{lc((split /=/, $_, 2)[0])} } split /&/, $q, -1;
    $u = $h . (@k ? "?" . join("&", @k) : "") . $f;
  }
  $u
}ge;
s/\s+/ /g; s/^ //; s/ $//;
print;
PERL

# Best wall-clock and best CPU (user + system) seconds of N runs of:
# CMD < input > /dev/null. The machine is shared: other work stretches the
# wall clock by any amount, while the CPU time barely moves.
seconds() {
    local n=$1 input=$2; shift 2
    local best="" cpu="" TIMEFORMAT='%3U %3S'
    for ((i = 0; i < n; i++)); do
        local t0 t1 c
        t0=$(date +%s.%N)
        c=$({ time "$@" <"$input" >/dev/null 2>&1; } 2>&1)
        t1=$(date +%s.%N)
        read -r best cpu < <(awk -v a="$t0" -v b="$t1" -v c="$c" -v best="$best" -v cpu="$cpu" 'BEGIN {
            d = b - a; if (best == "" || d < best) best = d
            split(c, us, " "); u = us[1] + us[2]; if (cpu == "" || u < cpu) cpu = u
            printf "%.4f %.4f\n", best, cpu }')
    done
    echo "$best $cpu"
}
peak_kib() { /usr/bin/time -f %M "$@" <"$input" 2>&1 >/dev/null | tail -n 1; }

: >"$tmp/empty"
# The cost of starting the process, taken off before the 16 MB and 64 MB
# runs are compared, so the growth column shows the work.
read -r _ c0 < <(seconds 9 "$tmp/empty" "$clean")

echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB"
# purlo-clean's throughput by the wall clock and by CPU time; perl's, the
# ratio and the growth by CPU time, which a busy machine does not distort.
printf '%-12s %10s %10s %10s %8s %10s %12s\n' corpus "wall MB/s" "CPU MB/s" "perl CPU" ratio "peak/input" "64MB/4x16MB"
for kind in prose intl-prose links one-address whitespace fragments; do
    "$gen" "$kind" 64 >"$tmp/64"
    "$gen" "$kind" 16 >"$tmp/16"
    read -r t64 c64 < <(seconds 5 "$tmp/64" "$clean")
    read -r _ c16 < <(seconds 5 "$tmp/16" "$clean")
    read -r _ cp < <(seconds 1 "$tmp/64" perl -e "$baseline")
    input="$tmp/64"
    kib=$(peak_kib "$clean")
    awk -v k="$kind" -v t="$t64" -v c="$c64" -v c16="$c16" -v c0="$c0" -v cp="$cp" -v kib="$kib" 'BEGIN {
        printf "%-12s %10.0f %10.0f %10.0f %7.1fx %10.2f %12.2f\n", k, 64 / t, 64 / c, 64 / cp, cp / c, kib / 1024 / 64,
            (c - c0) / (4 * (c16 - c0)) }'
done
