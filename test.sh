#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting check, the fuzz targets for a bounded time,
# the ThreadSanitizer tests, then every test in a normal build and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. The tests labelled "gtk" open real windows:
# they run apart, on a virtual display under xvfb-run (scripts/gtk-tests.sh). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${KELVO_BUILD_PACKAGES[@]}" "${KELVO_RUN_PACKAGES[@]}" "${KELVO_TEST_PACKAGES[@]}"

jobs=${KELVO_JOBS:-$(nproc)}
fuzz_seconds=${KELVO_FUZZ_SECONDS:-20}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kelvo-ccache}
export CTEST_OUTPUT_ON_FAILURE=1

# Each step prints its wall time and the CPU time (user + system) of the processes it waited for;
# the run ends with a table of every step.
ticks=$(getconf CLK_TCK)
children_cpu() {  # user and system ticks of this shell's waited-for children
  local stat
  stat=$(</proc/$$/stat)
  set -- ${stat##*) }
  echo "${14} ${15}"
}
step_name="" step_wall=0 step_user=0 step_system=0 summary=""
step_end() {
  [ -n "$step_name" ] || return 0
  local now user system line
  now=$(date +%s%N)
  read -r user system < <(children_cpu)
  line=$(awk -v w=$((now - step_wall)) -v u=$((user - step_user)) -v s=$((system - step_system)) -v t="$ticks" \
    -v n="$step_name" 'BEGIN { printf "%8.0f %8.0f %8.0f %8.0f  %s", w / 1e9, (u + s) / t, u / t, s / t, n }')
  printf -- '-- %s\n' "$line"
  summary+="$line"$'\n'
  step_name=""
}
step() {
  step_end
  printf '\n== %s\n' "$*"
  step_name=$*
  step_wall=$(date +%s%N)
  read -r step_user step_system < <(children_cpu)
}
report_steps() {
  local status=$?
  step_end
  printf '\n%8s %8s %8s %8s  %s\n%s' "wall s" "CPU s" "user s" "system s" "step" "$summary"
  read -r user system < <(children_cpu)
  awk -v w=$SECONDS -v u="$user" -v s="$system" -v t="$ticks" \
    'BEGIN { printf "%8.0f %8.0f %8.0f %8.0f  total\n", w, (u + s) / t, u / t, s / t }'
  return "$status"
}
trap report_steps EXIT

step "formatting"
mapfile -t sources < <(git ls-files -co --exclude-standard -- 'src/*.[ch]pp' 'tests/*.[ch]pp' 'bench/*.cpp' 'fuzz/*.cpp')
clang-format --dry-run --Werror "${sources[@]}"

step "fuzz targets (clang, ${fuzz_seconds} s each)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKELVO_FUZZ=ON -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs"
for target in build/fuzz/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" "${seeds[@]}" >"build/fuzz/$name.log" 2>&1 || { tail -50 "build/fuzz/$name.log"; exit 1; }
done

step "ThreadSanitizer tests"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_TSAN=ON -DKELVO_BENCH=OFF >/dev/null
cmake --build build/tsan -j "$jobs" --target kelvo_thread_tests
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest -j "$jobs" -L threads)

step "tests (normal build)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest -j "$jobs" -LE '^gtk$')
scripts/gtk-tests.sh build/release

step "tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DKELVO_SANITIZE=ON -DKELVO_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
(cd build/asan && ctest -j "$jobs" -LE '^gtk$')
scripts/gtk-tests.sh build/asan
