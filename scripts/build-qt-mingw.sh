#!/usr/bin/env bash
# Builds a static Qt (Core, Gui, Widgets, Test) for 64-bit Windows with
# mingw-w64, once, into a cache folder outside the checkout, and prints the
# folder it is installed in. Later runs find the stamp and reuse the build.
#
#   scripts/build-qt-mingw.sh            build when missing, print the prefix
#   scripts/build-qt-mingw.sh --prefix   print the prefix only, build nothing
#
# Debian ships no Qt for mingw-w64, so the source is Debian's own qtbase
# package (the same upstream version as the host Qt, whose moc, rcc and uic
# the cross build uses), fetched with apt-get source through a private
# sources list and private apt state: the machine's apt set-up is not touched.
# dpkg-source applies Debian's patch series on unpacking.
#
# The first run takes about half an hour on 2 cores (configure about a
# minute, the build of about 1,000 targets the rest); it runs at the lowest
# priority. The install is about 100 MB.
#
# Environment: ZAVE_CACHE (default ${XDG_CACHE_HOME:-$HOME/.cache}/zave),
# ZAVE_QT_JOBS (default: the number of cores), ZAVE_QT_NICE (default 19).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

qt_version=6.4.2              # must equal the host Qt: its tools are used
target=x86_64-w64-mingw32
cache="${ZAVE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zave}"
prefix="$cache/qt-$qt_version-$target-static"
stamp="$prefix/zave-qt.stamp"

qt_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DFEATURE_gui=ON
  -DFEATURE_widgets=ON
  -DFEATURE_testlib=ON
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_opengl=OFF
  -DINPUT_opengl=no
  -DFEATURE_vulkan=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_gif=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_glib=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_freetype=ON
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_doubleconversion=OFF
  # Debian's source has wintab.h removed (it is not free software).
  -DFEATURE_tabletevent=OFF
)

compiler="$target-g++-posix"
describe() {
  echo "qt $qt_version"
  echo "target $target"
  echo "compiler $("$compiler" -dumpfullversion) posix"
  printf 'option %s\n' "${qt_options[@]}"
}

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi

command -v "$compiler" >/dev/null || { echo "build-qt-mingw: $compiler is missing (run scripts/setup.sh)" >&2; exit 1; }
want="$(describe)"
# The Debian revision goes into the stamp too, but it is read back from it,
# not asked of the network: a cached build is reused offline.
stamp_matches() {
  [ -f "$stamp" ] && diff -q <(grep -v '^debian ' "$stamp") <(echo "$want") >/dev/null
}

mkdir -p "$cache"
# Two checkouts on one machine share the cache: one builds, the other waits.
exec 9>"$cache/qt-mingw.lock"
flock 9

if stamp_matches; then
  echo "$prefix"
  exit 0
fi

host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)"
case "$host_version" in
  "$qt_version"+*) ;;
  *) echo "build-qt-mingw: host Qt tools are '${host_version:-missing}', need $qt_version (qt6-base-dev-tools)" >&2; exit 1 ;;
esac

nice_cmd=(nice -n "${ZAVE_QT_NICE:-19}")
jobs="${ZAVE_QT_JOBS:-$(nproc)}"
work="$cache/qt-work"
log() { echo "build-qt-mingw: $*" >&2; }
unpacked_source() { find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1; }

fetch_source() {
  log "fetching Debian's qt6-base source (bookworm main)"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$work/apt/sources.list"
  local apt_private=(
    -o Dir::Etc::sourcelist="$work/apt/sources.list"
    -o Dir::Etc::sourceparts=-
    -o Dir::State::Lists="$work/apt/lists"
    -o Dir::Cache="$work/apt/cache"
    -o APT::Sandbox::User=root
  )
  apt-get -qq "${apt_private[@]}" update >&2
  # apt-get source unpacks with dpkg-source -x, which applies Debian's patches.
  (cd "$work/src" && apt-get -q "${apt_private[@]}" source qt6-base >&2)
  local src
  src="$(unpacked_source)"
  [ -n "$src" ] && [ -f "$src/CMakeLists.txt" ] || { log "no unpacked source in $work/src"; return 1; }
  log "source $(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)," \
    "$(grep -cv '^#' "$src/debian/patches/series" 2>/dev/null || echo 0) Debian patches applied"
}

configure() {
  # The installed qt.toolchain.cmake loads the tool-chain file it was built
  # with; a copy beside the install keeps it working when the checkout moves.
  mkdir -p "$prefix"
  cp "$root/cmake/mingw-w64.cmake" "$prefix/mingw-w64.cmake"
  local start=$SECONDS
  log "configuring (log: $work/configure.log)"
  "${nice_cmd[@]}" cmake -S "$(unpacked_source)" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${qt_options[@]}" >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log" >&2; return 1; }
  log "configured in $((SECONDS - start)) s"
  echo "$want" >"$work/configured.stamp"
}

# A build stopped half-way with the same options goes on where it stopped.
if [ -f "$work/configured.stamp" ] && [ -f "$prefix/mingw-w64.cmake" ] &&
  diff -q "$work/configured.stamp" <(echo "$want") >/dev/null; then
  log "going on with the build in $work"
else
  rm -rf "$work" "$prefix"
  fetch_source
  configure
fi
debian_version="$(dpkg-parsechangelog -l "$(unpacked_source)/debian/changelog" -S Version)"
case "$debian_version" in
  "$qt_version"+*) ;;
  *) log "Debian offers qt6-base $debian_version, need $qt_version"; exit 1 ;;
esac

start=$SECONDS
log "building with $jobs jobs (log: $work/build.log)"
rc=0
"${nice_cmd[@]}" cmake --build "$work/build" -j "$jobs" >>"$work/build.log" 2>&1 || rc=$?
if [ "$rc" != 0 ]; then
  tail -n 60 "$work/build.log" >&2
  log "the build ended with exit code $rc; run again to go on"
  exit 1
fi
log "built in $((SECONDS - start)) s; installing"
"${nice_cmd[@]}" cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }

{ echo "$want"; echo "debian $debian_version"; } >"$stamp"
log "installed in $prefix ($(du -sh "$prefix" | cut -f1))"
rm -rf "$work"
echo "$prefix"
