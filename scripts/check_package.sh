#!/usr/bin/env bash
# Builds the Debian package in a configured build tree and checks it as an
# operator would get it: scripts/check_package.sh BUILD_DIR
#  - the control fields (name, version, computed and added dependencies);
#  - lintian finds no error;
#  - unpacked into a scratch folder, it holds the programs, the desktop entry,
#    the metainfo, the icon in every size, the manual pages and the README,
#    under one id, and the entry and metainfo validate;
#  - the operator's manual: its HTML index where the help command looks for
#    it (beside bin/ in share/doc/zave/manual), every page and picture
#    installed and reached from the index, every link landing;
#  - the unpacked programs run: zave stays up offscreen, and under Xvfb it maps
#    its main window with the icon found through the desktop id, and its
#    "Открыть справку" button hands the installed manual to the desktop; zave-devsim
#    and zavectl (when it is built) answer --help.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "$1" && pwd)"

fail() { echo "package check: $*" >&2; exit 1; }

log="$(mktemp)"
cmake --build "$dir" --target package >"$log" 2>&1 || { cat "$log"; rm -f "$log"; fail "cannot build the package"; }
rm -f "$log"
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$dir/CPackConfig.cmake")"
[ "$version" = "$(sed -n 's/^project(zave VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")" ] ||
  fail "package version '$version' is not the project's"
deb="$dir/zave_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
echo "package: $deb"

# ---- Control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zave ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "control version is '$(field Version)'"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
depends="$(field Depends)"
for dep in libqt6widgets6 libc6 fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n qt6-qpa-plugins; do
  grep -Eq "(^|[ ,|])$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# ---- lintian: errors fail, the rest is shown
lintian_status=0
lintian_out="$(lintian --fail-on error --pedantic --display-info "$deb" 2>&1)" || lintian_status=$?
grep -v 'running with root privileges' <<<"$lintian_out" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

# ---- The unpacked files
scratch="$(mktemp -d)"
xvfb=""; app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$scratch"
usr="$scratch/usr"

mapfile -t entries < <(find "$usr/share/applications" -name '*.desktop')
[ "${#entries[@]}" -eq 1 ] || fail "expected one desktop entry, found ${#entries[@]}"
id="$(basename "${entries[0]}" .desktop)"
[[ "$id" =~ ^[a-z0-9-]+(\.[a-zA-Z0-9_-]+){2,}$ ]] || fail "desktop id '$id' is not reverse-DNS"
entry="$usr/share/applications/$id.desktop"
metainfo="$usr/share/metainfo/$id.metainfo.xml"

expect=(bin/zave bin/zave-devsim share/man/man1/zave.1.gz share/man/man1/zave-devsim.1.gz
        "share/metainfo/$id.metainfo.xml" share/doc/zave/README.md share/doc/zave/copyright
        share/doc/zave/changelog.gz)
sizes=(16 32 48 64 128 256)
for s in "${sizes[@]}"; do expect+=("share/icons/hicolor/${s}x${s}/apps/$id.png"); done
zavectl=no
if grep -rqs 'add_executable(zavectl' "$root/src"; then
  zavectl=yes
  expect+=(bin/zavectl)
  [ -f "$root/docs/zavectl.1" ] && expect+=(share/man/man1/zavectl.1.gz)
  [ -f "$root/packaging/zavectl.bash-completion" ] && expect+=(share/bash-completion/completions/zavectl)
fi
manual=no
if grep -q '^ZAVE_BUILD_MANUAL:BOOL=OFF' "$dir/CMakeCache.txt"; then
  echo "package check: the manual is left out (ZAVE_BUILD_MANUAL=OFF)"
else
  [ -f "$dir/manual/html/index.html" ] || fail "the build made no manual (Xvfb missing?)"
  manual=yes
  expect+=(share/doc/zave/manual/index.html share/doc/zave/manual/style.css share/doc-base/zave-manual)
  for page in "$root"/docs/manual/*.html; do expect+=("share/doc/zave/manual/$(basename "$page")"); done
  for picture in "$dir"/manual/html/pictures/*.png; do expect+=("share/doc/zave/manual/pictures/$(basename "$picture")"); done
fi
for f in "${expect[@]}"; do [ -f "$usr/$f" ] || fail "the package lacks /usr/$f"; done
if [ "$manual" = yes ]; then
  # Where the help command of bin/zave looks: ../share/doc/zave/manual/index.html.
  [ -f "$usr/bin/../share/doc/zave/manual/index.html" ] || fail "the manual is not where the help command looks"
  cmake -DHTML="$usr/share/doc/zave/manual" -P "$root/tests/manual/check_manual.cmake" ||
    fail "the installed manual's pages and pictures do not link up"
fi
for s in "${sizes[@]}"; do
  got="$(identify -format '%wx%h' "$usr/share/icons/hicolor/${s}x${s}/apps/$id.png")"
  [ "$got" = "${s}x${s}" ] || fail "the ${s}x${s} icon is $got"
done

# The desktop entry and the metainfo: valid, and all under the one id.
desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli: $metainfo"
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Name)" = "Orvatone Zave" ] || fail "desktop Name is '$(key Name)'"
[ -n "$(key 'Comment\[ru\]')" ] || fail "no Russian comment in the desktop entry"
[ "$(key Icon)" = "$id" ] || fail "desktop Icon is '$(key Icon)', not $id"
[ "$(key Exec)" = zave ] || fail "desktop Exec is '$(key Exec)'"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q '<summary xml:lang="ru">' "$metainfo" || fail "metainfo has no Russian summary"
grep -q '<p xml:lang="ru">' "$metainfo" || fail "metainfo has no Russian description"
zcat "$usr/share/doc/zave/changelog.gz" | head -1 | grep -q "^zave ($version)" ||
  fail "the changelog does not start with version $version"

# ---- The unpacked programs
"$usr/bin/zave-devsim" --help | grep -q '^Usage: zave-devsim' || fail "zave-devsim --help"
if [ "$zavectl" = yes ]; then
  "$usr/bin/zavectl" --help >"$scratch/zavectl-help" || fail "zavectl --help exits with $?"
  [ -s "$scratch/zavectl-help" ] || fail "zavectl --help prints nothing"
fi

# Offscreen: the program keeps running until timeout ends it (status 124);
# any earlier end, a crash included, is a failure.
status=0
QT_QPA_PLATFORM=offscreen timeout 10 "$usr/bin/zave" >"$scratch/offscreen.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$scratch/offscreen.log"; fail "zave ended offscreen with status $status"; }

# Under Xvfb: the main window is mapped, and it carries the icon that Qt found
# in the unpacked icon theme under the desktop id, and the entry's WM class.
# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 120); do [ -s "$scratch/display" ] && break; sleep 0.5; done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
display=":$(head -1 "$scratch/display")"
# A stand-in xdg-open notes what the program hands the desktop.
mkdir -p "$scratch/stub" "$scratch/cwd"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$scratch/opened" >"$scratch/stub/xdg-open"
chmod +x "$scratch/stub/xdg-open"
(cd "$scratch/cwd" && DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_DATA_DIRS="$usr/share:/usr/share" \
  PATH="$scratch/stub:$PATH" XDG_CURRENT_DESKTOP=X-Generic exec "$usr/bin/zave") >"$scratch/xcb.log" 2>&1 &
app=$!
wid=""
for _ in $(seq 120); do
  kill -0 "$app" 2>/dev/null || { cat "$scratch/xcb.log"; fail "zave ended under Xvfb"; }
  wid="$(DISPLAY="$display" xwininfo -root -tree | awk '/"Orvatone Zave \(/ {print $1; exit}')"
  [ -n "$wid" ] && DISPLAY="$display" xwininfo -id "$wid" | grep -q 'Map State: IsViewable' && break
  wid=""
  sleep 0.5
done
[ -n "$wid" ] || fail "no main window of zave appeared under Xvfb"
# The icon may reach the window manager's properties a little after the map.
icon=""
for _ in $(seq 40); do
  DISPLAY="$display" xprop -id "$wid" _NET_WM_ICON 2>/dev/null | grep -q '^_NET_WM_ICON(CARDINAL)' && { icon=yes; break; }
  sleep 0.25
done
[ -n "$icon" ] || fail "the main window has no icon (icon $id not found in the unpacked theme)"
wm_class="$(DISPLAY="$display" xprop -id "$wid" WM_CLASS)"
grep -q "\"$(key StartupWMClass)\"" <<<"$wm_class" || fail "StartupWMClass '$(key StartupWMClass)' is not in $wm_class"
if [ "$manual" = yes ]; then
  # The toolbar's help button (the fourth, after New, Open, Save and a
  # separator), as the operator clicks it.
  DISPLAY="$display" xdotool mousemove --window "$wid" 96 30 click 1
  for _ in $(seq 40); do [ -s "$scratch/opened" ] && break; sleep 0.25; done
  [ "$(cat "$scratch/opened" 2>/dev/null)" = "file://$usr/share/doc/zave/manual/index.html" ] ||
    fail "the help button opened '$(cat "$scratch/opened" 2>/dev/null)', not the installed manual"
fi
echo "package check: zave_${version} passes (desktop id $id, zavectl: $zavectl, manual: $manual)"
