#!/usr/bin/env bash
# Set-up, then every test: the full build with the widget tests, the core under
# AddressSanitizer and UndefinedBehaviorSanitizer, the core (its exchange
# workers above all) under ThreadSanitizer, and the core cross-compiled for
# Windows with its tests and the link end to end run under Wine; last, the
# Debian package built from the full build and checked.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"
out="$root/build"

# The tests labelled "line" drive a simulated slow line and mostly wait for it:
# they run many at a time, after the others. A second argument leaves out the
# line tests it matches.
run_tests() {
  ctest --test-dir "$1" -j "$jobs" -LE '^line$' --output-on-failure
  ctest --test-dir "$1" -j 20 -L '^line$' ${2:+-E "$2"} --output-on-failure
}

# The rows of a device a fixed 1000 or 1500 ms late take the code paths of the
# shorter delays and of the delays varying up to 1500 ms, only more slowly: the
# sanitizer builds leave them to the full build, which runs every row.
slow_rows='/Delay1(000|500)( |$)'

echo "== Core under ThreadSanitizer"
"$root/scripts/build.sh" "$out/tsan" -DCMAKE_BUILD_TYPE=Debug -DZAVE_SANITIZE=thread \
  -DZAVE_BUILD_APP=OFF -DZAVE_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_tests "$out/tsan" "$slow_rows"

echo "== Core under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DZAVE_SANITIZE=address,undefined \
  -DZAVE_BUILD_APP=OFF -DZAVE_BUILD_BENCH=OFF
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" run_tests "$out/asan" "$slow_rows"

echo "== Full build and every test"
"$root/scripts/build.sh" "$out/main" -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_tests "$out/main"

echo "== Windows: the core and its tests cross-built with mingw-w64, run under Wine"
ZAVE_DEVSIM="$out/main/tools/devsim/zave-devsim" "$root/scripts/test-windows.sh" "$out"

echo "== The Qt program for Windows under Wine"
"$root/scripts/test-windows-app.sh" "$out"

echo "== Debian package: lintian, desktop entry, metainfo, the unpacked programs"
"$root/scripts/check_package.sh" "$out/main"
