#!/usr/bin/env bash
# Set-up, build, then start the device simulator linked as COM1 (the port the
# program selects at start) and the program. Without a display the program
# runs under Xvfb and a screenshot of its main window is saved.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
out="$root/build/main"
# The same build tree as the tests use; only the program and the simulator are built here.
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$(nproc)" --target zave zave-devsim

state="${XDG_STATE_HOME:-$HOME/.local/state}/zave"
mkdir -p "$state"
"$out/tools/devsim/zave-devsim" --port COM1 --state "$state/devsim.state" > "$state/devsim.log" 2>&1 &
sim=$!
cleanup() { kill "$sim" 2>/dev/null || true; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
echo "Device simulator on COM1 (trace: $state/devsim.log)"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  "$out/src/app/zave"
else
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  DISPLAY="$display" "$out/src/app/zave" &
  app=$!
  sleep 3
  shot="$root/build/zave-main-window.png"
  wid="$(DISPLAY="$display" xwininfo -root -tree | awk '/"Orvatone Zave \(/ {print $1; exit}')"
  if [ -n "$wid" ]; then
    DISPLAY="$display" xwd -silent -id "$wid" -frame | convert xwd:- "$shot"
  else
    DISPLAY="$display" xwd -silent -root | convert xwd:- "$shot"
  fi
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  echo "Screenshot of the main window: $shot"
fi
