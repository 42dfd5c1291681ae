#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the unit, integration and end-to-end tests (ctest; the end-to-end ones
#      start their own X server, tray host, notification daemon and D-Bus);
#   2. the cleaning tests again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the fuzz target over the cleaning pipeline, for a bounded time.
# PURLO_FUZZ_SECONDS (default 60) bounds step 3. Its mutations follow
# PURLO_FUZZ_SEED (default 1), so a run gives the same answer each time;
# PURLO_FUZZ_SEED=0 lets libFuzzer pick a new seed, for a longer hunt.
# The package test installs and purges the Debian package for real only with
# PURLO_TEST_INSTALL=1, as root (CI, on a machine of its own, sets it);
# otherwise CTest reports that part skipped and the machine is left as it is.
#   4. steps 1 and 2 again inside a Debian 13 root (scripts/debian-root.sh), when
#      run as root; PURLO_ROOTS=no leaves it out.
# `scripts/test.sh --suite BUILD_DIR` runs only step 1, in that build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/setup.sh --test

suite() {
  echo "== build ($1/)"
  # Warnings are errors here, so that none creeps in; the Wayland clipboard is
  # required, so that a missing package fails the build instead of a test.
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURLO_BUILD_TESTS=ON -DPURLO_BUILD_BENCH=ON \
    -DPURLO_WERROR=ON -DPURLO_WAYLAND=on >/dev/null
  cmake --build "$1" -j"$jobs"
  echo "== tests ($1/)"
  ctest --test-dir "$1" --output-on-failure --no-tests=error -j"$jobs"
}
if [[ "${1:-}" == "--suite" ]]; then
  suite "$2"
  exit 0
fi
suite build

echo "== sanitizer build (build-asan/): cleaning and filter tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPURLO_SANITIZE=ON -DPURLO_BUILD_GUI=OFF -DPURLO_BUILD_TESTS=ON \
  -DPURLO_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"

echo "== fuzzing (build-fuzz/), ${PURLO_FUZZ_SECONDS:-60} s"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURLO_FUZZ=ON \
  -DPURLO_BUILD_GUI=OFF -DPURLO_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_pipeline
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
"$root/build-fuzz/fuzz/fuzz_pipeline" -max_total_time="${PURLO_FUZZ_SECONDS:-60}" \
  -seed="${PURLO_FUZZ_SEED:-1}" -max_len=4096 -timeout=10 -print_final_stats=1 "$corpus" "$root/fuzz/seeds" 2>&1 | tail -n 15
echo "fuzz: no crash, leak or hang"

if [[ ${PURLO_ROOTS:-yes} == no ]]; then
  echo "== Debian 13 root: left out (PURLO_ROOTS=no)"
elif [[ $(. /etc/os-release && echo "${VERSION_CODENAME:-}") == trixie ]]; then
  echo "== Debian 13 root: left out (this machine is Debian 13)"
elif [[ $(id -u) -ne 0 ]]; then
  echo "== Debian 13 root: left out (it needs root, for chroot)"
else
  echo "== Debian 13 root (trixie): the same build and tests against its compiler, Qt and desktops"
  bash scripts/debian-root.sh run trixie bash scripts/test.sh --suite build-trixie
fi
