#!/usr/bin/env bash
# What an idle connected link costs on Windows, measured under Wine: the
# Windows end-to-end program stays connected to the simulator (--pace 9600)
# and runs the link monitor every 300 ms for SECONDS; printed are its CPU
# time and context switches and the wineserver's CPU time over that run.
#
#   bench/wine_idle_link.sh [BUILD_FOLDER] [SECONDS] [silent]   (default: build/ 60)
#
# With "silent" the simulator never answers and the program sends status
# queries one after another, so that it spends the whole time waiting.
#
# Needs the Windows build that scripts/test-windows.sh makes (or ZAVE_E2E, the
# path of another build of zave_link_e2e.exe, to compare two builds).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"
scenario=idle
simOptions=()
if [ "${3:-}" = silent ]; then scenario=waiting; simOptions=(--silent); fi
source "$root/scripts/wine-env.sh"
e2e="${ZAVE_E2E:-$out/windows/tests/e2e/zave_link_e2e.exe}"
devsim="${ZAVE_DEVSIM:-$out/main/tools/devsim/zave-devsim}"
[ -f "$e2e" ] || { echo "no $e2e: run scripts/test-windows.sh first" >&2; exit 1; }
[ -x "$devsim" ] || devsim="$out/devsim/tools/devsim/zave-devsim"
[ -x "$devsim" ] || { echo "no simulator: set ZAVE_DEVSIM" >&2; exit 1; }

work="$(mktemp -d)"
sim=""
cleanup() {
  wine_stop
  if [ -n "$sim" ]; then kill -TERM "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" "$devsim" --port COM21 --pace 9600 "${simOptions[@]}" >"$work/trace" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -s "$work/trace" ] && break; sleep 0.1; done
read -r _ _ pty < <(head -n 1 "$work/trace")
wine_env_init "$out/windows/wine"
wine_map_port COM21 "$pty"
wine_start

# The server of this prefix works in the folder named after the prefix's
# device and inode numbers.
read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
tag="$(printf 'server-%x-%x' "$dev" "$ino")"
server=""
for p in /proc/[0-9]*; do
  [[ "$(readlink "$p/cwd" 2>/dev/null)" == */"$tag" ]] && server="${p#/proc/}"
done
[ -n "$server" ] || echo "(the wineserver of $WINEPREFIX was not found: its time is not counted)"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
before="$( [ -n "$server" ] && ticks "$server" || echo 0)"
/usr/bin/time -f "wine process: %U s user, %S s system, %w voluntary and %c involuntary context switches" \
  "$WINE_LOADER" "$e2e" COM21 "$scenario" "$seconds" </dev/null
after="$( [ -n "$server" ] && ticks "$server" || echo 0)"
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "wineserver: %.2f s CPU (%.2f %% of a core)\n", t / hz, 100 * t / hz / s }'
