#!/usr/bin/env bash
# Runs the tests labelled "gtk" of one build folder, several side by side, each on a virtual X
# display of its own (xvfb-run) with a D-Bus session, keyring and home folder of their own, so
# that nothing of the user's is read or written and no test types into, clicks on or copies from
# another's windows. A display serves one test at a time: ctest hands each test a free one (its
# resource "displays", see tests/CMakeLists.txt) and scripts/gtk-display.sh moves the test onto
# it. The tests whose checks are timed run alone (RUN_SERIAL), once the others are done. Further
# arguments go to ctest. With
# --window-manager first, a window manager (openbox) runs on each display before the tests start,
# as on a desktop: it puts each window in a frame of its own, places it and gives it the keyboard.
#   scripts/gtk-tests.sh build/release
#   scripts/gtk-tests.sh --window-manager build/release -R '^program_gtk\.'
#   KELVO_GTK_DISPLAYS  displays, and so tests, side by side (default: half of KELVO_JOBS, or of the
#                       processors; at least one)
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
window_manager=""
if [ "${1:-}" = "--window-manager" ]; then
  window_manager=openbox
  shift
fi
build=$(cd "$1" && pwd)
shift
jobs=${KELVO_JOBS:-$(nproc)}
displays=${KELVO_GTK_DISPLAYS:-$((jobs / 2))}
[ "$displays" -ge 1 ] || displays=1

sessions=$(mktemp -d)
session_pids=() end_fds=()
# Each display's session ends once a line comes through its "end" pipe, which this script holds
# open from the start (so that a line written before the session reads it waits there, and the
# session waits without polling); the folders go with them. Programs of a session (the keyring,
# the accessibility bus) may still be writing into its home for a moment after it ended: removing
# them is retried and never fails the run.
end_sessions() {
  for fd in "${end_fds[@]}"; do echo >&"$fd" || true; done
  for pid in "${session_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  for _ in 1 2 3 4 5; do
    rm -rf "$sessions" 2>/dev/null && return 0
    sleep 1
  done
  echo "gtk-tests: left $sessions behind" >&2
}
trap end_sessions EXIT

# The virtual display has no graphics processor: the web views paint on the processor rather than
# through Mesa's software GL, whose use from WebKit's painting threads now and then ends the web
# process (a segmentation fault in swrast_dri.so, seen twice in a day of runs on a busy machine).
export WEBKIT_SKIA_ENABLE_CPU_RENDERING=1
# What the web views still draw through GL (their compositing) Mesa rasterizes on the processor:
# in the compositing thread itself rather than handed to a thread per processor, which costs a
# third more in all for the same frames.
export LP_NUM_THREADS=0
# File choosers write their settings through dconf, which would need a bus of its own.
export GSETTINGS_BACKEND=memory
# In a sanitizer build, a GLib object the program never freed must reach LeakSanitizer: GLib's
# slice allocator would keep it in slabs of its own, where it counts as reachable, so GLib
# allocates with malloc instead; and since GLib and GTK keep no frame pointers, where each
# allocation was made is read from the unwind tables, 16 frames deep, so that the program's own
# caller shows. A suppression (tests/lsan.supp) matches a leak by any of the frames kept, not only
# those nearest the allocation: a deeper stack lets more of them match, and is slower.
export G_SLICE=always-malloc
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0:malloc_context_size=16
unset DISPLAY WAYLAND_DISPLAY

# One display with its session: the keyring (when installed) unlocked without a prompt, so that
# stored credentials work, and the window manager when asked for, which marks in the home that it
# manages the screen (a minute at most: one that does not come fails the run). Keys do not repeat
# on the display (-r): xdotool holds each key it types for a moment, which a busy machine can
# stretch past the repeat delay, and the key would come again. The screen is the one xvfb-run
# makes by default. Once ready, the session writes what a test needs to run in it ("session").
start_session() {
  local dir=$sessions/$1
  mkdir -p "$dir/home/share" "$dir/home/config" "$dir/home/cache" "$dir/home/state"
  mkfifo "$dir/end"
  local fd
  exec {fd}<>"$dir/end"
  end_fds+=("$fd")
  HOME=$dir/home XDG_DATA_HOME=$dir/home/share XDG_CONFIG_HOME=$dir/home/config XDG_CACHE_HOME=$dir/home/cache \
    XDG_STATE_HOME=$dir/home/state KELVO_WINDOW_MANAGER=$window_manager KELVO_SESSION=$dir \
    xvfb-run -a -s "-screen 0 1280x1024x24 -r" dbus-run-session -- bash -c '
    if command -v gnome-keyring-daemon >/dev/null; then
      printf %s kelvo-tests | gnome-keyring-daemon --unlock >/dev/null 2>&1 || true
    fi
    if [ -n "$KELVO_WINDOW_MANAGER" ]; then
      "$KELVO_WINDOW_MANAGER" --startup "touch $HOME/window-manager-started" >/dev/null 2>&1 &
      tries=600
      while [ ! -e "$HOME/window-manager-started" ]; do
        tries=$((tries - 1))
        if [ "$tries" -eq 0 ]; then echo "gtk-tests: $KELVO_WINDOW_MANAGER did not start" >&2; exit 1; fi
        sleep 0.1
      done
    fi
    for name in DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME \
      XDG_STATE_HOME; do
      printf "export %s=%q\n" "$name" "${!name}"
    done >"$KELVO_SESSION/session.part"
    mv "$KELVO_SESSION/session.part" "$KELVO_SESSION/session"
    read -r _ <"$KELVO_SESSION/end"' &
  session_pids+=($!)
}

# The displays as ctest hands them out, one test at a time each. xvfb-run -a takes the first
# display number without a lock file: each display starts once the one before is up, so that two
# never take the same number.
slots=""
for ((i = 0; i < displays; i++)); do
  start_session "$i"
  slots+="${slots:+, }{\"id\": \"$i\", \"slots\": 1}"
  while [ ! -e "$sessions/$i/session" ]; do
    if ! kill -0 "${session_pids[i]}" 2>/dev/null; then
      echo "gtk-tests: the session of display $i ended before it was ready" >&2
      exit 1
    fi
    sleep 0.1
  done
done
printf '{"version": {"major": 1, "minor": 0}, "local": [{"displays": [%s]}]}\n' "$slots" >"$sessions/displays.json"

export KELVO_GTK_SESSIONS=$sessions
cd "$build"
status=0
ctest -L '^gtk$' -j "$displays" --resource-spec-file "$sessions/displays.json" "$@" || status=$?
exit "$status"
