#!/bin/sh
# with-window-manager.sh TEST [ARGS...]
# Runs a widget test as on a desktop: on an X display of its own, 1280 x 1024,
# managed by openbox, which maximises a window that asks for it. The test
# learns from MORVEX_TEST_WM what it got: "openbox" when the window manager
# runs, "missing" when Xvfb, xvfb-run or openbox is not installed (the test
# then skips what needs a window manager instead of failing).
set -u

if [ "${1:-}" = --inside ]; then
  shift
  ready="$(mktemp -d)/ready"
  openbox --sm-disable --startup "touch $ready" >/dev/null 2>&1 &
  wm=$!
  # Bounded wait for openbox to manage the display (10 s at most).
  i=0
  while [ ! -e "$ready" ] && [ "$i" -lt 100 ] && kill -0 "$wm" 2>/dev/null; do
    sleep 0.1
    i=$((i + 1))
  done
  if [ -e "$ready" ]; then
    MORVEX_TEST_WM=openbox
  else
    echo "with-window-manager: openbox did not start" >&2
    MORVEX_TEST_WM=missing
  fi
  rm -rf "$(dirname "$ready")"
  export MORVEX_TEST_WM
  "$@"
  rc=$?
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  exit "$rc"
fi

for tool in xvfb-run Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-window-manager: $tool is not installed; the test runs without a window manager" >&2
    MORVEX_TEST_WM=missing exec "$@"
  fi
done
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" --inside "$@"
