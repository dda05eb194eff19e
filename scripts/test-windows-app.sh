#!/usr/bin/env bash
# The Qt program on Windows, tried under Wine:
#   1. zave.exe, its widget tests and its test build (zave-drive.exe) cross-built
#      against the static Qt of scripts/build-qt-mingw.sh;
#   2. the widget tests under Wine on the offscreen platform;
#   3. the test build on Xvfb with the windows platform, connected through a
#      Wine COM port to zave-devsim: port list, connect, program write and
#      read, clock; a screenshot of its main window; its help command opens
#      help.chm beside the program in Wine's help viewer;
#   4. the installer and the zip; the installer run silently under Wine, the
#      installed help.chm listed (a valid compiled help file with every page
#      and picture of the manual, its contents and index), the installed
#      program started, then uninstalled.
# The widget tests run where the only condensed face is the one built into
# the programs, so they measure what every Windows shows.
#
#   scripts/test-windows-app.sh [BUILD_ROOT]     (default: build/)
# Needs zave-devsim and the HTML manual of the Linux build (BUILD_ROOT/main);
# builds them there (the manual's pictures come from the Linux program).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$root/build}" && cd "${1:-$root/build}" && pwd)"
dir="$out/mingw-app"
nice_cmd=(nice -n 10)
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
fail() { echo "windows-app: FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }

qt="$("$root/scripts/build-qt-mingw.sh")"
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || fail "no Qt for mingw in '$qt'"

# GoogleTest for mingw-w64, shared with the core's Windows stage.
gtest="$out/mingw-gtest"
"$root/scripts/build-gtest-mingw.sh" "$gtest"

step "the simulator and the HTML manual of the Linux build"
ZAVE_TARGETS="zave-devsim zave-manual" "${nice_cmd[@]}" "$root/scripts/build.sh" "$out/main" >/dev/null
manual_html="$out/main/manual/html"
[ -f "$manual_html/index.html" ] || fail "no HTML manual in $manual_html"

step "cross-building zave.exe, the widget tests, the test build, help.chm and the installer"
ZAVE_TARGETS="zave test_app zave-drive zave-help-chm windows-package" "${nice_cmd[@]}" "$root/scripts/build.sh" "$dir" \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DZAVE_MINGW_PREFIXES="$gtest/install" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE_LOADER" \
  -DZAVE_BUILD_TOOLS=OFF -DZAVE_BUILD_BENCH=OFF -DZAVE_MANUAL_HTML="$manual_html"
installer="$(ls "$dir"/packaging/windows/orvatone-zave-*-win64.exe)"
zip="$(ls "$dir"/packaging/windows/orvatone-zave-*-win64.zip)"
echo "zave.exe $(stat -c %s "$dir/src/app/zave.exe") bytes (stripped in the packages:" \
  "$(stat -c %s "$dir/packaging/windows/stage/zave.exe")); installer $(stat -c %s "$installer"); zip $(stat -c %s "$zip")"
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "help.chm zave.exe " ] ||
  fail "the zip holds $(unzip -Z1 "$zip" | tr '\n' ' '), not zave.exe and help.chm"

# Wine: one private prefix. On the offscreen platform Qt finds fonts in one
# folder only: DejaVu Sans of normal width, no condensed face, so the window's
# font can only come from inside the program.
wine_env_init "$dir/wine"
fonts="$dir/wine-fonts"
rm -rf "$fonts" && mkdir -p "$fonts"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/"
# Nothing of the installer's menu entries and icons may reach the host's desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
fontdir="Z:$(echo "$fonts" | tr / '\\')"
cleanup() {
  wine_stop
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

step "widget tests under Wine (offscreen)"
wine_start
# zave.exe runs without installing anything: it imports only libraries a
# Windows system has (those in Wine's system folder, or API sets), none of the
# compiler's or Qt's.
for dll in $(x86_64-w64-mingw32-objdump -p "$dir/src/app/zave.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u); do
  case "$dll" in
    api-ms-win-*) ;;
    *) [ -e "$WINEPREFIX/drive_c/windows/system32/$dll" ] || fail "zave.exe imports $dll, which Windows does not have" ;;
  esac
done

# Qt's variables do not pass from the shell into Wine; the user's environment
# in Wine's registry reaches every program started after it is set.
"$WINE_LOADER" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ /d "$fontdir" /f >/dev/null 2>&1 </dev/null
# A failure here is reported at the end: the stages after it still run.
widget_tests=passed
"${nice_cmd[@]}" ctest --test-dir "$dir" -L app -j "$(nproc)" --output-on-failure || widget_tests=failed
wine_stop

# The windows platform needs a display: Xvfb, and Wine's own desktop in it so
# that Wine draws the title bars too. Qt's freetype engine draws the text of
# the time and line edits, which Wine's GDI engine leaves out.
step "the test build under Wine on Xvfb, through a Wine COM port to zave-devsim"
devsim="$out/main/tools/devsim/zave-devsim"
if [ ! -x "$devsim" ]; then
  "${nice_cmd[@]}" "$root/scripts/build.sh" "$out/main" >/dev/null
fi
run="$dir/drive"
rm -rf "$run" && mkdir -p "$run"
exec 7< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$run/xvfb.log")
xvfb_pid=$!
read -r -t 30 display <&7 || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
export DISPLAY=":$display"
port=COM5
# Its own port-link folder: the simulator's link stays out of the user's.
mkdir -p "$run/runtime"
XDG_RUNTIME_DIR="$run/runtime" "$devsim" --port COM195 --pace 9600 --state "$run/device.state" \
  >"$run/devsim.trace" 2>&1 &
sim_pid=$!
# Its first line: "port COM195 <pseudo-terminal>".
for _ in $(seq 100); do
  read -r word name pty <"$run/devsim.trace" || true
  [ -n "${pty:-}" ] && break
  sleep 0.1
done
[ "${word:-}" = port ] && [ -e "${pty:-}" ] || fail "zave-devsim did not start: $(cat "$run/devsim.trace")"
wine_map_port "$port" "$pty"
wine_start
"$WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1 </dev/null
"$WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1 </dev/null
winpath() { echo "Z:$1" | tr / '\\'; }
# The manual where the installer puts it: beside the program.
cp "$dir/manual/help.chm" "$dir/tests/app/help.chm"
"${nice_cmd[@]}" timeout 300 "$WINE_LOADER" "$dir/tests/app/zave-drive.exe" -platform windows:fontengine=freetype \
  --drive "$port" --out "$(winpath "$run")" >"$run/drive.log" 2>&1 &
drive_pid=$!
for _ in $(seq 240); do
  [ -f "$run/ready" ] || ! kill -0 "$drive_pid" 2>/dev/null && break
  sleep 0.5
done
if [ -f "$run/ready" ]; then
  import -window root "$run/main-window.png"
  touch "$run/shot-done"
fi
drive_rc=0
wait "$drive_pid" || drive_rc=$?
cat "$run/drive.log"
[ "$drive_rc" = 0 ] || fail "zave-drive.exe ended with $drive_rc; report: $(cat "$run/report.txt" 2>/dev/null)"
[ -f "$run/main-window.png" ] || fail "no screenshot"
echo "screenshot of the main window under Wine: $run/main-window.png"
# Its help command opened the manual: Wine's viewer (hh.exe) shows a window
# with the help file's title (its Cyrillic part depends on Wine's code page).
help_window=""
for _ in $(seq 180); do
  help_window="$(xwininfo -root -tree | grep '"Orvatone Zave: .*("hh.exe" "hh.exe")' || true)"
  [ -n "$help_window" ] && break
  sleep 0.5
done
[ -n "$help_window" ] || fail "the help command of the test build opened no help viewer with the manual"
import -window root "$run/help.png"
echo "the help command opened help.chm in Wine's viewer: $run/help.png"

# What the device stored, read from the simulator's own memory: Monday slot 1
# (entry 1) on at 08:00 and Thursday slot 12 (entry 48) on at 23:00 (an hour
# byte holds 128 for "on"), pulse switch time 42, the third signal.
entry() { awk -v t="$1" -v k="$2" '$1 == t { print $(k + 1) }' "$run/device.state"; }
[ "$(entry hour 1) $(entry minute 1)" = "136 0" ] || fail "the device's entry 1 is $(entry hour 1) $(entry minute 1)"
[ "$(entry hour 48) $(entry minute 48)" = "151 0" ] || fail "the device's entry 48 is $(entry hour 48) $(entry minute 48)"
[ "$(awk '$1 == "settings" { print $3, $4 }' "$run/device.state")" = "42 3" ] ||
  fail "the device's settings are $(grep settings "$run/device.state")"
wine_stop

step "the installer under Wine"
wine_start
"${nice_cmd[@]}" timeout 300 "$WINE_LOADER" "$installer" /S || fail "the installer ended with $?"
installed="$WINEPREFIX/drive_c/Program Files/Orvatone Zave"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvatone Zave"
for f in "$installed/zave.exe" "$installed/Uninstall.exe" "$menu/Orvatone Zave.lnk"; do
  [ -f "$f" ] || fail "the installer left no $f"
done
for f in zavectl.exe help.chm translations/qtbase_ru.qm; do
  if [ -f "$dir/packaging/windows/stage/$f" ]; then
    cmp -s "$dir/packaging/windows/stage/$f" "$installed/$f" || fail "the installer left no $f"
  fi
done
# The installed help.chm: a compiled help file holding every page and picture
# of the manual, its table of contents and its index.
[ -f "$installed/help.chm" ] || fail "the installer left no help.chm beside zave.exe"
cmake -DHTML="$manual_html" -DCHM="$installed/help.chm" -P "$root/tests/manual/check_manual.cmake" ||
  fail "the installed help.chm lacks pages of the manual"
"$WINE_LOADER" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvatoneZave' /v DisplayName \
  2>/dev/null </dev/null | grep -q "Orvatone Zave" || fail "no uninstall entry in the registry"
# The installed program starts from its Start-menu entry, as the operator
# starts it: its main window appears on the display.
"$WINE_LOADER" start /unix "$menu/Orvatone Zave.lnk" </dev/null >/dev/null 2>&1 || fail "the Start-menu entry does not start"
started=""
for _ in $(seq 120); do
  if xdotool search --name "^Orvatone Zave \(" >/dev/null 2>&1; then started=yes; break; fi
  sleep 0.5
done
[ -n "$started" ] || fail "the installed zave.exe showed no window"
import -window root "$run/installed.png"
wine_stop
# The uninstaller copies itself to a temporary folder and works from there.
wine_start
"$WINE_LOADER" "$installed/Uninstall.exe" /S || fail "the uninstaller ended with $?"
for _ in $(seq 120); do
  [ -e "$installed/zave.exe" ] || [ -e "$menu" ] || break
  sleep 0.5
done
[ ! -e "$installed/zave.exe" ] && [ ! -e "$menu" ] || fail "the uninstaller left the program or its menu entry"
wine_stop
echo "windows-app: installed, started and uninstalled under Wine"
[ "$widget_tests" = passed ] || fail "widget tests under Wine: some failed (see above)"
