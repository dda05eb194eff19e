#!/usr/bin/env bash
# GoogleTest for Windows, from the sources Debian ships, with the project's
# tool chain; once per folder:
#   scripts/build-gtest-mingw.sh FOLDER     installs into FOLDER/install
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
gtest="$1"
[ -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ] && exit 0
echo "-- GoogleTest for mingw-w64"
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "build-gtest-mingw: no /usr/src/googletest (package googletest)" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_STANDARD=20 \
  -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
cmake --build "$gtest/build" -j "$(nproc)"
cmake --install "$gtest/build" >/dev/null
