#!/usr/bin/env bash
# The manual's pictures, taken from the running program under Xvfb:
#   scripts/manual-shots.sh SHOTS_PROGRAM DEVSIM PICTURES_FOLDER STAMP_FILE
# SHOTS_PROGRAM is zave-manual-shots (zave with the picture-taking hook),
# DEVSIM zave-devsim; STAMP_FILE receives the SHA-256 of the program that
# took the pictures, written by that program. The program talks to the simulator through a port link
# in a private runtime folder, on a display of its own.
set -euo pipefail
shots="$1"; devsim="$2"; out="$3"; stamp="$4"
work="$(mktemp -d)"
xvfb=""; sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "manual-shots: $*" >&2; [ -f "$work/shots.log" ] && cat "$work/shots.log" >&2; exit 1; }

rm -rf "$out" && mkdir -p "$out"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 120); do [ -s "$work/display" ] && break; sleep 0.25; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

port=COM7
# A damaged EEPROM reported to the clock command and to the settings query only.
"$devsim" --port "$port" --eeprom os:01,86 >"$work/devsim.trace" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q '^port ' "$work/devsim.trace" 2>/dev/null && break; sleep 0.1; done
grep -q '^port ' "$work/devsim.trace" || fail "zave-devsim did not start: $(cat "$work/devsim.trace")"

status=0
QT_QPA_PLATFORM=xcb timeout 120 "$shots" --port "$port" --out "$out" >"$work/shots.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "zave-manual-shots ended with $status"
[ -s "$out/stamp.txt" ] || fail "no stamp"
mv "$out/stamp.txt" "$stamp"
