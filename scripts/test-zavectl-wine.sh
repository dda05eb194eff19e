# zavectl.exe under Wine against the device simulator behind a Wine COM
# port. Sourced by scripts/test-windows.sh, which provides start_sim, $run,
# $win and $WINE_LOADER:
#
#   zavectl_wine_sims     before wine_start: the simulators on COM24 and,
#                         for apply, COM25
#   zavectl_wine_cases    after it: every subcommand; sets zavectl_failed=1 on a fault

zavectl_failed=0

zavectl_wine_sims() {
  start_sim zavectl COM24 --pace 9600
  start_sim plan COM25 --pace 9600
}

# zavectl_case EXIT TEXT ARGS...: runs zavectl.exe ARGS; its exit status must
# be EXIT and its standard output must hold TEXT (empty: anything; "err:TEXT":
# standard error must hold TEXT; "-": standard output must be empty).
zavectl_case() {
  local want="$1" text="$2"; shift 2
  local out rc=0 seen
  out="$(timeout 120 "$WINE_LOADER" "$win/src/cli/zavectl.exe" "$@" </dev/null 2>"$run/zavectl.err")" || rc=$?
  # Every way zavectl ends prints a line, even -q when it fails; a failure
  # with nothing on either stream is Wine's own (once seen: exit 1 from a
  # process that never ran). It gets one more run, and says so; a hang (124)
  # does not.
  if [ "$rc" != 0 ] && [ "$rc" != 124 ] && [ "$rc" != "$want" ] && [ -z "$out" ] && [ ! -s "$run/zavectl.err" ]; then
    echo "---- zavectl $*: exit $rc with no output at all; run once more"
    rc=0
    out="$(timeout 120 "$WINE_LOADER" "$win/src/cli/zavectl.exe" "$@" </dev/null 2>"$run/zavectl.err")" || rc=$?
  fi
  seen="$out"
  if [[ "$text" == err:* ]]; then
    text="${text#err:}"
    seen="$(cat "$run/zavectl.err")"
  elif [ "$text" = "-" ]; then
    text=""
    [ -z "$out" ] || rc="$rc (output not empty)"
  fi
  if [ "$rc" != "$want" ] || { [ -n "$text" ] && [[ "$seen" != *"$text"* ]]; }; then
    echo "---- zavectl $*: exit $rc (expected $want), no \"$text\" in:"
    printf '%s\n' "$out"
    cat "$run/zavectl.err"
    zavectl_failed=1
  else
    echo "---- zavectl $*: exit $rc"
  fi
}

zavectl_wine_cases() {
  local data="$root/tests/cli/data" copy="$run/zavectl-read.ptm"
  echo "-- zavectl.exe under Wine"
  zavectl_case 0 "Коды завершения:" --help
  zavectl_case 0 "Пятница — ошибок: 2" show "$data/week.ptm"
  zavectl_case 1 "ошибок: 4" check "$data/school.ptm" "$data/week.ptm"
  zavectl_case 2 "" check "$data/missing.ptm"
  zavectl_case 1 "Различий:" diff "$data/school.ptm" "$data/week.ptm"
  zavectl_case 0 "COM24" ports
  zavectl_case 0 "Устройство готово" status --port COM24
  zavectl_case 0 " Время синхронизировано" sync-clock --port COM24 --if-drift 60
  zavectl_case 0 "часы устройства не изменены" sync-clock --port COM24 --if-drift 60
  zavectl_case 1 "" write --port COM24 "$data/week.ptm"
  zavectl_case 0 " Программа записана" write --port COM24 "$data/school.ptm"
  zavectl_case 0 "совпадает с файлом" verify --port COM24 "$data/school.ptm"
  zavectl_case 1 "Различий:" verify --port COM24 "$data/week.ptm"
  zavectl_case 0 " Программа считана" read --port COM24 "$copy"
  if cmp -s "$copy" "$data/school.ptm"; then
    echo "---- zavectl read: the file saved is the program written"
  else
    echo "---- zavectl read: the file saved differs from the program written"
    zavectl_failed=1
  fi
  zavectl_case 3 "err:COM22: устройство не отвечает" status --port COM22
  zavectl_case 3 '"reason": "noReply"' status --json --port COM22
  zavectl_case 0 "zavectl " --version
  zavectl_case 0 '"deviceType": 24' status --json --port COM24
  zavectl_case 0 "-" status -q -p COM24
  zavectl_case 0 '"action": "withinLimit"' sync-clock --json --port COM24 --if-drift 60
  zavectl_case 0 "Устройство готово" status --port '\\.\COM24'
  zavectl_case 2 "err:может быть, status?" stauts
  zavectl_case 1 '"faultCount": 4' check --json "$data/school.ptm" "$data/week.ptm"
  # A name for the port in the settings file under %APPDATA%.
  local appdata
  appdata="$("$WINE_LOADER" cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r')"
  appdata="$("$WINE_LOADER" winepath -u "$appdata" </dev/null 2>/dev/null | tr -d '\r')"
  if [ -n "$appdata" ]; then
    mkdir -p "$appdata/zave"
    printf '[ports]\nclassroom-3 = "COM24"\n' >"$appdata/zave/zavectl.toml"
    zavectl_case 0 "Устройство готово" status --port classroom-3
    rm -f "$appdata/zave/zavectl.toml"
  else
    echo "---- zavectl: %APPDATA% not found under Wine"; zavectl_failed=1
  fi

  # A plan: the device on COM25 holds another week and a far-off clock, the
  # one on COM22 is silent.
  local examples="$root/packaging/examples/school" plan="$run/plan.toml"
  cat >"$plan" <<EOF
[[device]]
name = "A"
port = "COM25"
calendar = "school"

[[device]]
name = "B"
port = "COM22"
calendar = "school"

[calendar.school]
default = "$examples/regular.ptm"

[[calendar.school.rule]]
date = 2026-12-28
program = "$examples/short.ptm"
EOF
  zavectl_case 0 "  2026-12-28 Пн  $examples/short.ptm  — правило 1: 2026-12-28" plan "$plan" --from 2026-12-26 --days 4
  zavectl_case 1 "A (COM25): будет записано" apply "$plan" --date 2026-12-28 --device A --dry-run
  zavectl_case 3 "B (COM22): ошибка: устройство не отвечает" apply "$plan" --date 2026-12-28
  zavectl_case 0 "A (COM25): уже верно" apply "$plan" --date 2026-12-28 --device A
  zavectl_case 0 "A (COM25)  apply: часы установлены" history "$plan"
}

# After the simulators ended: the device holds the program and the clock.
zavectl_wine_state() {
  local offset
  read -r _ offset _ < <(grep '^clock ' "$run/zavectl.state")
  if [ "${offset#-}" -le 5 ]; then
    echo "zavectl: the device clock is the computer's ($offset s)"
  else
    echo "zavectl: the device clock is off by $offset s"; zavectl_failed=1
  fi
}
