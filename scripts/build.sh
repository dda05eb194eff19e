#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [cmake options...]
# ZAVE_TARGETS="a b" builds only those targets.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths below the checkout are hashed relative to it, so every checkout
  # (and every build tree of the same layout) shares one compiler cache.
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
targets=()
for t in ${ZAVE_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
