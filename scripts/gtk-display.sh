#!/usr/bin/env bash
# Runs a test program labelled "gtk" (its arguments follow) on the display ctest gave the test
# when scripts/gtk-tests.sh runs the tests: the display's D-Bus session, keyring and home folder
# with it. Run otherwise (listing a program's tests, or ctest without displays to hand out), the
# program runs as it is.
set -euo pipefail
display=${CTEST_RESOURCE_GROUP_0_DISPLAYS:-}
if [ -n "${KELVO_GTK_SESSIONS:-}" ] && [ -n "$display" ]; then
  # "id:3,slots:1"
  display=${display#id:}
  source "$KELVO_GTK_SESSIONS/${display%%,*}/session"
  # Each test begins with no recently used documents: none of another test's shows in its file
  # choosers (whose list of them grows with every document the tests before opened).
  rm -f "$XDG_DATA_HOME/recently-used.xbel"
fi
exec "$@"
