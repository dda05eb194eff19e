# Wine for running Windows programs built with mingw-w64: a private prefix,
# COM ports mapped to pseudo-terminals, and one wineserver kept up while the
# programs run. Source this file, then:
#
#   wine_env_init "$build/wine"          # WINEPREFIX=$build/wine/prefix, WINEDEBUG=-all
#   wine_map_port COM21 /dev/pts/7       # before wine_start: read when the server starts
#   wine_start                           # fails loudly when Wine cannot run here
#   wine_run program.exe args...         # or ctest with CMAKE_CROSSCOMPILING_EMULATOR=$WINE_LOADER
#   wine_stop
#
# Why a started server: the first Windows process of a session starts Wine's
# own services, which inherit and hold the standard output of that process;
# a caller that reads it to the end (ctest's test discovery) then waits for
# ever. One throw-away process run first takes that role.
#
# COM ports: Wine reads HKLM\Software\Wine\Ports when its server starts and
# links dosdevices/comN accordingly; a link made by hand in dosdevices is
# replaced (with /dev/ttyS<N-1>) at the next start, so it could reach the
# machine's real serial port. Only the registry mapping is used here, and
# wine_start checks that each mapped port leads where it should.

WINE_LOADER="${WINE_LOADER:-/usr/lib/wine/wine64}"
if [ -z "${WINE_SERVER:-}" ]; then
  if [ -x /usr/lib/wine/wineserver64 ]; then WINE_SERVER=/usr/lib/wine/wineserver64
  else WINE_SERVER="$(command -v wineserver || echo wineserver)"; fi
fi
_wine_ports=()

wine_fail() {
  echo "wine-env: $*" >&2
  return 1
}

# wine_env_init DIR: private prefix under DIR, quiet Wine, no installers for
# .NET or the HTML engine (nothing here needs them and they would ask).
wine_env_init() {
  local dir="$1"
  [ -x "$WINE_LOADER" ] || { wine_fail "no Wine loader at $WINE_LOADER (install wine and wine64)"; return 1; }
  mkdir -p "$dir" || return 1
  export WINEPREFIX="$(cd "$dir" && pwd)/prefix"
  mkdir -p "$WINEPREFIX" || return 1
  export WINEDEBUG=-all
  export WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # No window system: Wine must not try to reach one.
  unset DISPLAY WAYLAND_DISPLAY
  _wine_ports=()
}

# wine_map_port COMn DEVICE: the port COMn of the next wine_start is DEVICE.
wine_map_port() {
  [[ "$1" =~ ^COM[0-9]+$ ]] || { wine_fail "not a COM port name: $1"; return 1; }
  [ -e "$2" ] || { wine_fail "$1: no device $2"; return 1; }
  _wine_ports+=("$1=$2")
}

# wine_run PROGRAM ARGS...: one Windows program under the loader.
wine_run() {
  "$WINE_LOADER" "$@"
}

_wine_server_up() {
  "$WINE_SERVER" -p || return 1
  # The throw-away first process (see above); it also creates the prefix.
  if ! "$WINE_LOADER" cmd /c exit >/dev/null 2>&1 </dev/null; then
    wine_fail "Wine does not start here (prefix $WINEPREFIX)"
    return 1
  fi
}

# wine_start: sets the port mapping, then (re)starts the server so that it
# takes the mapping, and checks every mapped port.
wine_start() {
  [ -n "${WINEPREFIX:-}" ] || { wine_fail "wine_env_init first"; return 1; }
  _wine_server_up || return 1
  if ((${#_wine_ports[@]})); then
    local entry name device link
    # Only this run's ports: mappings of an earlier run go.
    "$WINE_LOADER" reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 </dev/null || true
    for entry in "${_wine_ports[@]}"; do
      name="${entry%%=*}"; device="${entry#*=}"
      "$WINE_LOADER" reg add 'HKLM\Software\Wine\Ports' /v "$name" /t REG_SZ /d "$device" /f \
        >/dev/null 2>&1 </dev/null || { wine_fail "cannot map $name in the registry"; return 1; }
    done
    wine_stop
    _wine_server_up || return 1
    for entry in "${_wine_ports[@]}"; do
      name="${entry%%=*}"; device="${entry#*=}"
      link="$(readlink "$WINEPREFIX/dosdevices/${name,,}" 2>/dev/null || true)"
      [ "$link" = "$device" ] || { wine_fail "$name leads to '${link}', not to $device"; return 1; }
    done
  fi
}

# wine_stop: ends the server and every Windows process of the prefix.
wine_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  "$WINE_SERVER" -k >/dev/null 2>&1 || true
  "$WINE_SERVER" -w >/dev/null 2>&1 || true
}
