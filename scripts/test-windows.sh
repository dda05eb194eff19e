#!/usr/bin/env bash
# The Windows stage of the tests: GoogleTest built for mingw-w64 (once per
# build folder), the core and its tests cross-built, the tests run under Wine
# with ctest, then the link end to end under Wine against the device
# simulator behind Wine COM ports: a healthy device, a silent one and one
# whose EEPROM is damaged, each checked through the simulator's state file.
#
#   scripts/test-windows.sh [BUILD_FOLDER]     (default: build/)
#
# The simulator runs natively: $ZAVE_DEVSIM, else BUILD_FOLDER/main's, else
# one built into BUILD_FOLDER/devsim. Wine that cannot start fails the stage.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
jobs="$(nproc)"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
# shellcheck source=scripts/test-zavectl-wine.sh
source "$root/scripts/test-zavectl-wine.sh"

die() {
  echo "test-windows: $*" >&2
  exit 1
}

# GoogleTest for Windows, once per build folder.
gtest="$out/mingw-gtest"
"$root/scripts/build-gtest-mingw.sh" "$gtest"

echo "-- Core and its tests for Windows"
win="$out/windows"
"$root/scripts/build.sh" "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DZAVE_MINGW_PREFIXES="$gtest/install" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE_LOADER" \
  -DZAVE_BUILD_APP=OFF -DZAVE_BUILD_TOOLS=OFF -DZAVE_BUILD_BENCH=OFF -DZAVE_BUILD_TESTS=ON

devsim="${ZAVE_DEVSIM:-$out/main/tools/devsim/zave-devsim}"
if [ ! -x "$devsim" ]; then
  echo "-- Device simulator"
  "$root/scripts/build.sh" "$out/devsim" -DZAVE_BUILD_APP=OFF -DZAVE_BUILD_TESTS=OFF -DZAVE_BUILD_BENCH=OFF
  devsim="$out/devsim/tools/devsim/zave-devsim"
fi

# --- The simulators, one per case, each on its own pseudo-terminal -------
run="$out/windows/e2e"
rm -rf "$run"
mkdir -p "$run/runtime"
sims=()
cleanup() {
  wine_stop
  local pid
  for pid in "${sims[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
  sims=()
}
trap cleanup EXIT

# A state the cases must not disturb: every table entry and setting set, a
# device clock far from the computer's.
seed_state() {
  local t
  {
    echo "zave-devsim state 1"
    for t in hour minute volume; do
      printf '%s' "$t"; printf ' 7%.0s' $(seq 84); echo
    done
    echo "settings 1 7 3"
    echo "clock -40000000 3"
  } >"$1"
}

# start_sim CASE PORT OPTIONS...: starts the simulator with a seeded state
# file and maps PORT to its pseudo-terminal for the next wine_start.
start_sim() {
  local name="$1" port="$2"; shift 2
  seed_state "$run/$name.state"
  cp "$run/$name.state" "$run/$name.seed"
  : >"$run/$name.trace"
  XDG_RUNTIME_DIR="$run/runtime" "$devsim" --port "$port" --state "$run/$name.state" "$@" \
    >>"$run/$name.trace" 2>&1 &
  sims+=($!)
  local line="" i
  for i in $(seq 100); do
    line="$(head -n 1 "$run/$name.trace" || true)"
    [ -n "$line" ] && break
    sleep 0.1
  done
  [[ "$line" =~ ^port\ $port\ (/dev/.+)$ ]] || die "$name: the simulator did not start: $(cat "$run/$name.trace")"
  wine_map_port "$port" "${BASH_REMATCH[1]}"
}

wine_env_init "$win/wine"
start_sim healthy COM21 --pace 9600
start_sim silent COM22 --pace 9600 --silent
start_sim eeprom COM23 --pace 9600 --eeprom os:04,83
zavectl_wine_sims
echo "-- Wine ($("$WINE_LOADER" --version 2>/dev/null || echo unknown)), prefix $WINEPREFIX"
wine_start || die "Wine cannot run here: the Windows tests cannot run"

echo "-- Core tests under Wine"
# A test whose process Wine failed to start (no output at all, as seen once
# under load) is run once more; a test that fails for real fails twice.
ctest --test-dir "$win" -j "$jobs" --output-on-failure --repeat until-pass:2

echo "-- The link end to end under Wine"
e2e="$win/tests/e2e/zave_link_e2e.exe"
failed=0
run_case() {
  local name="$1"; shift
  echo "---- $name: zave_link_e2e $*"
  if ! timeout 300 "$WINE_LOADER" "$e2e" "$@" </dev/null; then
    echo "---- $name: failed; the simulator's trace ends:"
    tail -n 20 "$run/$name.trace"
    failed=1
  fi
}
run_case healthy COM21 healthy "$run/healthy.expected"
run_case silent COM22 silent
run_case eeprom COM23 eeprom
zavectl_wine_cases
cleanup
zavectl_wine_state
[ "$zavectl_failed" -eq 0 ] || failed=1

# What the devices hold now: the healthy one exactly the program written and
# the computer's clock; the others still their seeded state.
echo "---- the simulators' stored tables"
if ! diff <(sed -n '2,5p' "$run/healthy.state") "$run/healthy.expected" >/dev/null; then
  echo "healthy: the device holds other tables than the program written"; failed=1
else
  echo "healthy: the device holds the program written"
fi
read -r _ offset wshift < <(grep '^clock ' "$run/healthy.state")
if [ "${offset#-}" -le 5 ] && [ "$wshift" -eq 0 ]; then
  echo "healthy: the device clock is the computer's ($offset s, weekday shift $wshift)"
else
  echo "healthy: the device clock is off by $offset s, weekday shift $wshift"; failed=1
fi
for name in silent eeprom; do
  if cmp -s "$run/$name.seed" "$run/$name.state"; then
    echo "$name: the device's tables are untouched"
  else
    echo "$name: the device's tables changed"; failed=1
  fi
done
[ "$failed" -eq 0 ] || die "the end-to-end test under Wine failed"
echo "-- Windows stage passed"
