#!/usr/bin/env bash
# Installs what is missing, builds, and starts Purlo in the tray.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURLO_BUILD_TESTS=OFF -DPURLO_WAYLAND=on >/dev/null
cmake --build build -j"$(nproc)" --target purlo purlo-clean
exec build/bin/purlo "$@"
