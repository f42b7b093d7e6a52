#!/bin/sh
# with-window-manager.sh TEST [ARGS...]
# Runs a widget test as on a desktop: on an X display of its own (1280 x 1024,
# or MORVEX_TEST_SCREEN such as 800x600x24) managed by openbox, which
# maximises a window that asks for it. The test learns from MORVEX_TEST_WM
# what it got: "openbox" when the window manager runs, "missing" when Xvfb or
# openbox is not installed or did not start (the test then skips what needs a
# window manager instead of failing). Every wait is bounded.
set -u

for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-window-manager: $tool is not installed; the test runs without a window manager" >&2
    MORVEX_TEST_WM=missing exec "$@"
  fi
done

dir="$(mktemp -d)"
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# wait_for FILE: up to 10 s until FILE exists and is not empty.
wait_for() {
  i=0
  while [ ! -s "$1" ] && [ "$i" -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  [ -s "$1" ]
}

# The server picks a free display number itself and writes it when ready.
Xvfb -displayfd 1 -screen 0 "${MORVEX_TEST_SCREEN:-1280x1024x24}" -nolisten tcp >"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
if ! wait_for "$dir/display"; then
  echo "with-window-manager: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  MORVEX_TEST_WM=missing "$@"
  exit $?
fi
DISPLAY=":$(head -n 1 "$dir/display")"
export DISPLAY

openbox --sm-disable --startup "sh -c 'echo ready >$dir/ready'" >/dev/null 2>&1 &
wm=$!
if wait_for "$dir/ready"; then
  MORVEX_TEST_WM=openbox
else
  echo "with-window-manager: openbox did not start" >&2
  MORVEX_TEST_WM=missing
fi
export MORVEX_TEST_WM
"$@"
