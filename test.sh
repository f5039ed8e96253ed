#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting check; one clang build with AddressSanitizer
# and UndefinedBehaviorSanitizer that runs the fuzz targets for a bounded time (side by side) and
# every test; the ThreadSanitizer tests; then every test in a normal build. The tests labelled
# "gtk" open real windows: they run apart, on a virtual display under xvfb-run
# (scripts/gtk-tests.sh). Each step prints its wall and CPU time. Exits non-zero on any failure.
#   KELVO_JOBS           compile jobs, tests and fuzz targets side by side (default: the processors)
#   KELVO_FUZZ_SECONDS   how long each fuzz target runs (default 2)
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${KELVO_BUILD_PACKAGES[@]}" "${KELVO_RUN_PACKAGES[@]}" "${KELVO_TEST_PACKAGES[@]}"

jobs=${KELVO_JOBS:-$(nproc)}
fuzz_seconds=${KELVO_FUZZ_SECONDS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kelvo-ccache}
# ccache reads the compiler's dependency file instead of running the preprocessor a second time.
export CCACHE_DEPEND=${CCACHE_DEPEND:-true}
# The test programs are compiled with a precompiled test framework header (KELVO_TEST_PCH), which
# ccache caches only when told to accept one (the header is written moments before it is used).
CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:+$CCACHE_SLOPPINESS,}pch_defines,time_macros
export CCACHE_SLOPPINESS=$CCACHE_SLOPPINESS,include_file_mtime,include_file_ctime
export UBSAN_OPTIONS=print_stacktrace=1
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
mapfile -t sources < <(git ls-files -co --exclude-standard -- \
  'src/*.[ch]pp' 'tests/*.[ch]pp' 'tools/*.[ch]pp' 'bench/*.[ch]pp' 'fuzz/*.[ch]pp')
clang-format --dry-run --Werror "${sources[@]}"

# One clang build serves the sanitizer tests and the fuzz targets: its libraries are built once
# with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage; reports need only
# line tables; the test programs' own code is not optimized, and a test program's files are
# compiled eight to a translation unit, which reads the headers they share once. Every build
# compiles the test framework's header once for all test programs.
step "build: AddressSanitizer + UndefinedBehaviorSanitizer, fuzz targets (clang)"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVO_FUZZ=ON -DKELVO_TEST_FLAGS=-O0 \
  -DKELVO_TEST_PCH=ON -DKELVO_TEST_UNITY=ON -DKELVO_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"

step "fuzz targets (${fuzz_seconds} s each, ${jobs} side by side)"
fuzz_dir=build/sanitize/fuzz-runs
rm -rf "$fuzz_dir/logs" "$fuzz_dir/failed"
mkdir -p "$fuzz_dir/logs" "$fuzz_dir/failed" "$fuzz_dir/crashes"
# Runs one target from its corpus and seeds. A sanitizer report (undefined behaviour included), a
# crash, a time-out or running out of memory fails it; libFuzzer keeps the input that did it.
fuzz_target() {
  local target=$1 name log seeds=()
  name=$(basename "$target")
  log=$fuzz_dir/logs/$name.log
  mkdir -p "$fuzz_dir/corpus/$name"
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  if "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzz_dir/crashes/$name-" "$fuzz_dir/corpus/$name" "${seeds[@]}" >"$log" 2>&1 &&
    ! grep -q "runtime error:" "$log"; then
    printf -- '-- %-28s %8s inputs a second\n' "$name" "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  else
    printf -- '-- %-28s FAILED\n' "$name"
    touch "$fuzz_dir/failed/$name"
  fi
}
running=0
for target in build/sanitize/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  fuzz_target "$target" &
  running=$((running + 1))
done
wait
for failed in "$fuzz_dir"/failed/*; do
  [ -e "$failed" ] || continue
  name=$(basename "$failed")
  printf '\n-- %s failed (its log: %s):\n' "$name" "$fuzz_dir/logs/$name.log"
  tail -50 "$fuzz_dir/logs/$name.log"
done
if compgen -G "$fuzz_dir/failed/*" >/dev/null; then exit 1; fi

step "tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
(
  export ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:suppressions=$PWD/tests/ubsan.supp
  cd build/sanitize
  ctest -j "$jobs" -LE '^gtk$'
  ../../scripts/gtk-tests.sh .
)

# Only the test files with suites named *Threads are built here, each alone (so that each still
# includes what it uses), with clang, whose precompiled headers serve the libraries too, and line
# tables for the reports; the code under test is optimized lightly (-O1), the tests' own not at all.
step "ThreadSanitizer tests"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVO_TSAN=ON -DKELVO_TEST_FLAGS=-O0 -DKELVO_TEST_PCH=ON -DKELVO_BENCH=OFF >/dev/null
cmake --build build/tsan -j "$jobs" --target kelvo_thread_tests
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest -j "$jobs" -L threads)

# The benchmarks are built here (never run) so that they keep building; the test programs' own
# code is not optimized (the code under test is), and its files are compiled eight to a unit.
# Before each link, the translation units of the program are compared as link-time optimisation
# reads them (scripts/odr-link.sh), which fails the build where two of them define one name
# differently.
step "build: normal"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TEST_FLAGS=-O0 -DKELVO_TEST_PCH=ON \
  -DKELVO_TEST_UNITY=ON -DKELVO_ODR_CHECK=ON >/dev/null
cmake --build build/release -j "$jobs"

step "tests (normal build)"
(cd build/release && ctest -j "$jobs" -LE '^gtk$')
scripts/gtk-tests.sh build/release
# The program tests once more with a window manager on the display, as on every desktop: it puts
# the program's windows in frames of their own, fits them to the screen and gives them the keyboard.
scripts/gtk-tests.sh --window-manager build/release -R '^program_gtk\.'
