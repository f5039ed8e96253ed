#!/usr/bin/env bash
# Sets up, builds and runs Vostra Studio.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${KELVO_BUILD_PACKAGES[@]}"
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kelvo-ccache}
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF >/dev/null
cmake --build build/app -j "$(nproc)" --target vostra-studio
exec build/app/src/vostra-studio "$@"
