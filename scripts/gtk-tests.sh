#!/usr/bin/env bash
# Runs the tests labelled "gtk" of one build folder: on a virtual X display (xvfb-run), in a D-Bus
# session of their own, with a temporary home and XDG folders so that nothing of the user's is
# read or written. Further arguments go to ctest. With --window-manager first, a window manager
# (openbox) runs on the display before the tests start, as on a desktop: it puts each window in a
# frame of its own, places it and gives it the keyboard.
#   scripts/gtk-tests.sh build/release -j 4
#   scripts/gtk-tests.sh --window-manager build/release -R '^program_gtk\.'
set -euo pipefail
window_manager=""
if [ "${1:-}" = "--window-manager" ]; then
  window_manager=openbox
  shift
fi
build=$(cd "$1" && pwd)
shift
home=$(mktemp -d)
# Programs of the session (the keyring, the accessibility bus) may still be writing into the home
# for a moment after the session ends; removing it is retried and never fails the run.
remove_home() {
  for _ in 1 2 3 4 5; do
    rm -rf "$home" 2>/dev/null && return 0
    sleep 1
  done
  echo "gtk-tests: left $home behind" >&2
}
trap remove_home EXIT
mkdir -p "$home/share" "$home/config" "$home/cache" "$home/state"
export HOME=$home XDG_DATA_HOME=$home/share XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
  XDG_STATE_HOME=$home/state
# The virtual display has no graphics processor: the web views paint on the processor rather than
# through Mesa's software GL, whose use from WebKit's painting threads now and then ends the web
# process (a segmentation fault in swrast_dri.so, seen twice in a day of runs on a busy machine).
export WEBKIT_SKIA_ENABLE_CPU_RENDERING=1
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
cd "$build"
# The keyring (when installed) is unlocked without a prompt, so that stored credentials work.
# Keys do not repeat on the display (-r): xdotool holds each key it types for a moment, which a
# busy machine can stretch past the repeat delay, and the key would come again. The screen is the
# one xvfb-run makes by default.
# The window manager's start-up command marks in the home that it manages the screen; the tests
# start once it has (a minute at most: a window manager that does not come fails the run).
status=0
KELVO_WINDOW_MANAGER=$window_manager xvfb-run -a -s "-screen 0 1280x1024x24 -r" dbus-run-session -- sh -c '
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
  exec ctest -L "^gtk\$" "$@"' ctest "$@" || status=$?
exit "$status"
