#!/usr/bin/env bash
# Installs what the build needs, builds the clock and starts it on the current display.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DBRUMO_TESTS=OFF -DBRUMO_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target brumo
exec build/brumo
