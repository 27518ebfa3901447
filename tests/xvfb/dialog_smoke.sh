#!/usr/bin/env bash
# Smoke test of the windows on a real X server: starts Xvfb on a free
# display, runs `noxplz dialog` and types into it with real key events as an
# office worker does (Tab to the place, the place name, Down into the list,
# Return; then the same with two letters of a street and Down into the street
# list), then checks the exit code and the printed address; another run ends
# with Escape, the last closes the import dialog with Escape.
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail
noxplz=${1:?Pfad des Programms noxplz fehlt}

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "Übersprungen: $tool ist nicht installiert (scripts/deps installiert xvfb und xdotool)."
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid="" app_pid=""
# Stops what this script started, however it ends (a failed check, a
# timeout of the test runner, Ctrl-C).
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  app_pid="" xvfb_pid=""
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FEHLER: $*"
  for f in "$work"/out "$work"/err "$work"/xvfb.log; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; cat "$f"; }
  done
  exit 1
}

# Xvfb chooses a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb ist nicht gestartet"
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# A small delivery, imported.
db="$work/post.db"
"$noxplz" generate --out "$work/post.dat" --seed 7 >/dev/null || fail "generate"
"$noxplz" --db "$db" import --yes "$work/post.dat" >/dev/null 2>&1 || fail "import"
# A current place whose name no other place begins with (ASCII only, so
# that xdotool types it on any keyboard layout), and a two-letter beginning
# of one of its streets whose first street differs from the first street of
# the first letter alone: a list one key behind would show the wrong street.
place="" prefix="" street=""
while IFS= read -r name; do
  [[ "$name" =~ ^[A-Za-z][A-Za-z\ -]*$ ]] || continue
  keys=$("$noxplz" --db "$db" orte "$name" --json | grep -o '"ortsschluessel": *"[0-9]*"' | grep -o '[0-9]\{8\}')
  [ "$(echo "$keys" | wc -w)" -eq 1 ] || continue
  mapfile -t streets < <("$noxplz" --db "$db" strassen "$keys" --json | grep -o '"strasse": *"[^"]*"' |
                         sed 's/^"strasse": *"//; s/"$//')
  for s in "${streets[@]}"; do
    p=${s:0:2}
    [[ "$p" =~ ^[A-Za-z]{2}$ ]] || continue
    first_letter=""
    for t in "${streets[@]}"; do [ "${t:0:1}" = "${p:0:1}" ] && { first_letter=$t; break; }; done
    [ "${first_letter:0:2}" = "$p" ] && continue
    place=$name prefix=$p street=$s
    break
  done
  [ -n "$place" ] && break
done < <("$noxplz" --db "$db" sql "SELECT TRIM(ONAME) AS name FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = '' ORDER BY ONAME" | tail -n +3 | sed 's/ *$//')
[ -n "$place" ] || fail "kein passender Ort mit Straßen in den Beispieldaten"

# Starts `noxplz ARGS...` in the background and waits for its window named $1.
start_window() {
  local title=$1
  shift
  "$noxplz" --db "$db" "$@" >"$work/out" 2>"$work/err" &
  app_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -n1)
  [ -n "$window" ] || fail "Fenster „$title“ erscheint nicht"
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.3
}

# Waits for the program to end and sets $rc.
finish() {
  for _ in $(seq 150); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$app_pid" 2>/dev/null; then
    fail "das Programm läuft nach den Tasten noch (Fenster nicht geschlossen)"
  fi
  wait "$app_pid"
  rc=$?
  app_pid=""
}

# 1. Tab to the place box, the place, Down into the list, Return.
start_window "Plz-Prüfung" dialog
xdotool key --delay 100 Tab
xdotool type --delay 80 "$place"
sleep 0.5
xdotool key --delay 200 Down Return
finish
[ "$rc" -eq 0 ] || fail "„Übernehmen“ mit Return: Exit-Code $rc statt 0"
grep -qx "Ort         $place" "$work/out" || fail "Ort „$place“ nicht ausgegeben"
grep -Eqx 'Plz         [0-9]{5}' "$work/out" || fail "keine Postleitzahl ausgegeben"
echo "Return: Exit-Code 0, $(grep '^Plz' "$work/out" | tr -s ' ') $place"

# 1b. The place chosen, Up back into its box, Tab Tab to the street, two
# letters, Down into the street list, Return: the list showed the streets
# for both letters.
start_window "Plz-Prüfung" dialog
xdotool key --delay 100 Tab
xdotool type --delay 80 "$place"
sleep 0.5
xdotool key --delay 200 Down Up Tab Tab
xdotool type --delay 150 "$prefix"
sleep 0.5
xdotool key --delay 200 Down Return
finish
[ "$rc" -eq 0 ] || fail "Straße mit Return: Exit-Code $rc statt 0"
grep -qx "Straße      $street" "$work/out" || fail "nach „$prefix“ erwartet „$street“, ausgegeben: $(grep '^Straße' "$work/out")"
echo "Straße nach „$prefix“: $street"

# 2. Escape is "Abbrechen": exit code 3, no address.
start_window "Plz-Prüfung" dialog --ort "$place"
xdotool key Escape
finish
[ "$rc" -eq 3 ] || fail "Escape: Exit-Code $rc statt 3"
[ -s "$work/out" ] && fail "nach Escape wurde eine Adresse ausgegeben"
echo "Escape: Exit-Code 3"

# 3. The import dialog closed without an import: exit code 3.
start_window "Datafactory Postalcode Import" import-dialog
xdotool key Escape
finish
[ "$rc" -eq 3 ] || fail "Importdialog ohne Import: Exit-Code $rc statt 3"
echo "Importdialog ohne Import: Exit-Code 3"
