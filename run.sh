#!/usr/bin/env bash
# Sets up, builds and runs Vostra Studio from its bundle folder. Without a display it runs on a
# virtual one (xvfb-run). It runs until its window is closed or it is ended (see README.md).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${KELVO_BUILD_PACKAGES[@]}" "${KELVO_RUN_PACKAGES[@]}"
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kelvo-ccache}
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF >/dev/null
cmake --build build/app -j "${KELVO_JOBS:-$(nproc)}" --target vostra-studio
program="build/app/Vostra Studio.app/Contents/MacOS/vostra-studio"
# The shell that prints its own process id becomes the program, so the id printed is the
# program's: ending it by that id leaves every other instance on the machine running.
start='echo "Vostra Studio runs as process $$. End it by closing its window, with Ctrl+C, or with: kill -TERM $$"
exec "$0"'
if [ -z "${DISPLAY:-}" ]; then
  # The virtual display has no graphics processor: the page paints on the processor (see
  # scripts/gtk-tests.sh).
  export WEBKIT_SKIA_ENABLE_CPU_RENDERING=1
  exec xvfb-run -a sh -c "$start" "$program"
fi
exec sh -c "$start" "$program"
