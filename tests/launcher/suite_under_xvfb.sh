#!/usr/bin/env bash
# The installed suite under Xvfb, driven with real X key presses.
#   suite_under_xvfb.sh BUILD-DIR STAND-IN CLOSER SAMPLES-DIR
#   SUITE_INSTALLED_BIN=FOLDER suite_under_xvfb.sh ...     (the suite installed there already)
# Installs BUILD-DIR into a temporary folder, starts selvan from there on its own X
# display and walks the program list with the arrow keys. Each entry reached starts its
# program: a real program of the suite must show its window with its caption, which is
# then closed as with its close box; the entries of programs outside this system get a
# stand-in that notes its start and end. Every step must wait for the program before the
# next key is taken. The plotters, which the launcher does not list, are started from the
# same folder and must show their windows too. Programs not built yet are left out.
# Exit code 77 (skipped) when Xvfb or xdotool is missing or Xvfb cannot start.
set -uo pipefail

build="${1:?usage: suite_under_xvfb.sh BUILD-DIR STAND-IN CLOSER SAMPLES-DIR}"
standin="${2:?stand-in program}"
closer="${3:-}"
samples="${4:-}"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
SKIP=77
WAIT=30   # seconds for any one window or program to appear or end

for tool in Xvfb xdotool timeout; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit $SKIP; }
done

tmp="$(mktemp -d "${TMPDIR:-/tmp}/selvan-xvfb.XXXXXX")"
xvfb_pid=""
selvan_pid=""
failures=0
cleanup() {
  [ -n "$selvan_pid" ] && kill "$selvan_pid" 2>/dev/null
  for pid in $(cat "$tmp/started-pids" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
  if command -v import >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ]; then
    timeout 10 import -window root "$build/Testing/Temporary/launcher_suite_xvfb_fail_$failures.png" 2>/dev/null &&
      echo "      screen saved in $build/Testing/Temporary/launcher_suite_xvfb_fail_$failures.png"
  fi
}
x() { timeout 10 xdotool "$@" 2>/dev/null; }

# --- the install ---------------------------------------------------------------------
# SUITE_INSTALLED_BIN names a folder the suite is installed in already (the package
# unpacked into a scratch root); it must be writable, as the stand-ins are put beside.
if [ -n "${SUITE_INSTALLED_BIN:-}" ]; then
  bin="$SUITE_INSTALLED_BIN"
else
  prefix="$tmp/suite"
  # shellcheck source=install_suite.sh
  source "$(dirname "$0")/install_suite.sh"
  if ! install_suite "$build" "$prefix" "$tmp/install.log"; then
    cat "$tmp/install.log"
    echo "FAIL: cmake --install failed"
    exit 1
  fi
  bin="$prefix/bin"
fi
[ -x "$bin/selvan" ] || { echo "FAIL: selvan is not installed in $bin"; exit 1; }

# --- an X display of our own -----------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
display="$(head -n1 "$tmp/display" 2>/dev/null)"
if [ -z "$display" ]; then
  echo "SKIP: Xvfb did not start"; cat "$tmp/xvfb.log"; exit $SKIP
fi
export DISPLAY=":$display"
# The display must answer clients before the first program starts; on a loaded machine
# the number can be written a moment before the server takes connections.
ready=0
for _ in $(seq 100); do
  if timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1; then ready=1; break; fi
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$ready" -ne 1 ]; then
  echo "SKIP: Xvfb on $DISPLAY does not answer"; cat "$tmp/xvfb.log"; exit $SKIP
fi
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
echo "Xvfb on $DISPLAY"

# --- helpers ---------------------------------------------------------------------------
# The newest visible window whose name starts with the text, within WAIT seconds.
wait_window() {
  local caption="$1" deadline=$((SECONDS + WAIT)) w name
  while [ $SECONDS -lt $deadline ]; do
    for w in $(x search --onlyvisible --name "$caption"); do
      name="$(x getwindowname "$w")"
      if [ "${name:0:${#caption}}" = "$caption" ]; then echo "$w"; return 0; fi
    done
    sleep 0.2
  done
  return 1
}
wait_gone() {  # a process id, within WAIT seconds
  local deadline=$((SECONDS + WAIT))
  while kill -0 "$1" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
  return 0
}
close_window() {  # as with the close box; without a helper the client is cut off
  if [ -n "$closer" ] && [ -x "$closer" ]; then "$closer" "$1"; else x windowkill "$1"; fi
}
log_lines() { [ -f "$log" ] && wc -l <"$log" || echo 0; }
wait_log_lines() {  # the stand-ins' log reaching n lines, within WAIT seconds
  wait_log_lines_within "$WAIT" "$1"
}
wait_log_lines_within() {  # seconds, lines
  local deadline=$((SECONDS + $1))
  shift
  while [ "$(log_lines)" -lt "$1" ]; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
  return 0
}
# Closes a program's window (found by caption) and waits for the program to end.
see_and_close() {
  local caption="$1" what="$2" w pid
  if ! w="$(wait_window "$caption")"; then fail "$what: no window \"$caption\" within ${WAIT}s"; return 1; fi
  pid="$(x getwindowpid "$w")"
  echo "  $what: window \"$(x getwindowname "$w")\" (pid ${pid:-?})"
  close_window "$w"
  if [ -n "$pid" ]; then
    if ! wait_gone "$pid"; then fail "$what did not end when its window was closed"; kill "$pid" 2>/dev/null; return 1; fi
  else
    local deadline=$((SECONDS + WAIT))
    while x search --onlyvisible --name "$caption" >/dev/null; do
      [ $SECONDS -ge $deadline ] && { fail "$what: window still open"; return 1; }
      sleep 0.2
    done
  fi
  return 0
}

caption_of() {
  case "$1" in
    brisel) echo "QOVA File View" ;;
    lisket) echo "PRINT or READ FILES" ;;
    norvane) echo "Conversion of coordinates between WGS 84, HK80 & ...." ;;
    plandra | plandra-light) echo "NEH File Plot" ;;
    sectra | sectra-dark) echo "Section File Plot" ;;
    *) echo "" ;;
  esac
}

# The launcher's program table, in list order, as the launcher is built with it.
mapfile -t table < <(sed -n '/kProgramTable = {/,/};/p' "$source_dir/launcher/launcher_core.h" |
                     grep -o '"[^"]*"' | tr -d '"')
[ "${#table[@]}" -eq 17 ] || { echo "FAIL: cannot read the program table (${#table[@]} entries)"; exit 1; }

# Entries outside this system get a stand-in in the install folder, named as programs are
# named on this system (without ".exe").
log="$tmp/stand-ins.log"
export SELVAN_STAND_IN_LOG="$log"
declare -A real
for entry in "${table[@]}"; do
  name="${entry%.exe}"
  if [ -n "$(caption_of "$name")" ]; then
    if [ -x "$bin/$name" ]; then real[$name]=1; else echo "note: $name is not built; its entry starts nothing"; fi
  else
    cp "$standin" "$bin/$name" && chmod 755 "$bin/$name"
  fi
done
# While the hold file exists a stand-in does not end: the launcher must then take no key.
hold="$tmp/hold"
export SELVAN_STAND_IN_HOLD="$hold"

# --- the launcher ----------------------------------------------------------------------
workdir="$tmp/work"
mkdir -p "$workdir"
[ -n "$samples" ] && [ -d "$samples" ] && cp -r "$samples/." "$workdir/" 2>/dev/null
(cd "$workdir" && exec "$bin/selvan") >"$tmp/selvan.log" 2>&1 &
selvan_pid=$!
if ! launcher="$(wait_window "Halden Survey Program")"; then
  fail "no launcher window"; cat "$tmp/selvan.log"; exit 1
fi
echo "launcher window $launcher"

index=0        # the list's selection, counted from 0
expected=0     # lines the stand-ins' log must hold
press() {      # one key to the launcher; returns the entry reached
  if ! x windowfocus --sync "$launcher"; then fail "cannot give the launcher the keyboard"; fi
  x key "$1" || fail "xdotool key $1 failed"
}
# After a step, what the entry reached must have done.
check_entry() {
  local entry="${table[$index]}" name="${table[$index]%.exe}"
  if [ -n "${real[$name]:-}" ]; then
    see_and_close "$(caption_of "$name")" "$entry (entry $((index + 1)))"
  elif [ -z "$(caption_of "$name")" ]; then
    expected=$((expected + 2))
    if ! wait_log_lines "$expected"; then fail "$entry (entry $((index + 1))) was not started"; return; fi
    local started ended
    started="$(sed -n "$((expected - 1))p" "$log")"
    ended="$(sed -n "${expected}p" "$log")"
    [ "$started" = "$(printf 'started\t%s\t0\t%s' "$bin/$name" "$workdir")" ] ||
      fail "$entry: expected a start of $bin/$name with no arguments in $workdir, got: $started"
    [ "$ended" = "$(printf 'ended\t%s' "$bin/$name")" ] || fail "$entry: the next step came before it ended: $ended"
    echo "  $entry (entry $((index + 1))): started and ended"
  fi
}

# Down through the whole list: each entry reached is started.
echo "down the list:"
# The first step with its program held open, and the next key sent meanwhile: the launcher
# takes no key while the program runs, and drops it when the program has ended.
touch "$hold"
press Down; index=1
wait_log_lines $((expected + 1)) || fail "${table[1]} was not started"
x key Down
sleep 1
[ "$(log_lines)" -eq $((expected + 1)) ] || fail "the launcher took a key while ${table[1]} was running"
rm -f "$hold"
check_entry
sleep 1
[ "$(log_lines)" -eq "$expected" ] || fail "a key given while ${table[1]} ran was carried out when it ended"
for ((i = 2; i < 17; i++)); do
  press Down; index=$i
  check_entry
done
# Up one, then to the top (brisel, entry 1, is reached only by moving back).
echo "back up:"
press Up; index=15; check_entry
press Home; index=0; check_entry
# The dropped list: F4 drops it, a click chooses the second entry. While that program
# runs the dropped list must be gone from the screen (not left over the program's window).
echo "the dropped list:"
popup_shown() {  # the launcher's dropped list is mapped
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '/"selvan": \("selvan"/ {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && return 0
  done
  return 1
}
popup_geometry() {  # x y width height of the dropped list
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '/"selvan": \("selvan"/ {print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'; then
      xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                               /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
      return 0
    fi
  done
  return 1
}
if command -v xwininfo >/dev/null 2>&1; then
  touch "$hold"
  press F4
  deadline=$((SECONDS + WAIT))
  until popup_shown || [ $SECONDS -ge $deadline ]; do sleep 0.1; done
  popup_shown || fail "F4 did not drop the list"
  # Click the next entry: the dropped list holds the 17 entries in equal rows.
  read -r px py pw ph < <(popup_geometry)
  sleep 0.6   # a release right after dropping is not taken as a choice
  x mousemove $((px + pw / 2)) $((py + ph * 3 / 34)) click 1; index=1
  # On a loaded machine the list may still take the click for the one that dropped it:
  # while it stays dropped with nothing started, click the entry again.
  for _ in 1 2 3; do
    wait_log_lines_within 3 $((expected + 1)) && break
    popup_shown || break
    x mousemove $((px + pw / 2)) $((py + ph * 3 / 34)) click 1
  done
  if wait_log_lines $((expected + 1)); then
    # The launcher asked for the list to close before it started the program; a loaded
    # X server may take a moment to carry that out, never longer than a few seconds.
    gone_by=$((SECONDS + 5))
    while popup_shown && [ $SECONDS -lt $gone_by ]; do sleep 0.1; done
    popup_shown && fail "the dropped list stays on the screen while ${table[1]} runs"
    # Nor is it left drawn over the page: where it covered the launcher the page shows.
    if command -v import >/dev/null 2>&1; then
      read -r lx ly lw lh < <(x getwindowgeometry --shell "$launcher" | awk -F= '/^X=/ {x=$2} /^Y=/ {y=$2}
                                 /^WIDTH=/ {w=$2} /^HEIGHT=/ {h=$2} END {print x, y, w, h}')
      spot_x=$((px + pw / 2)); spot_y=$(( (py + ph / 2) < (ly + lh - 40) ? (py + ph / 2) : (ly + lh - 40) ))
      pixel="$(timeout 10 import -window root -crop "1x1+$spot_x+$spot_y" txt:- 2>/dev/null | grep -o '#[0-9A-Fa-f]\{6\}' | head -1)"
      case "$pixel" in
        \#0000??) ;;
        "") echo "note: could not read the screen" ;;
        *) fail "the launcher's page is covered at ($spot_x, $spot_y) by $pixel while ${table[1]} runs" ;;
      esac
    fi
  else
    fail "${table[1]} was not started from the dropped list"
  fi
  rm -f "$hold"
  check_entry
else
  echo "note: xwininfo is not installed; the dropped list is not checked"
fi

# --- the plotters, which the launcher does not list --------------------------------------
echo "plotters from the install folder:"
for program in plandra plandra-light sectra sectra-dark; do
  if [ ! -x "$bin/$program" ]; then echo "note: $program is not built"; continue; fi
  (cd "$workdir" && exec "$bin/$program") >"$tmp/$program.log" 2>&1 &
  echo $! >>"$tmp/started-pids"
  see_and_close "$(caption_of "$program")" "$program" || cat "$tmp/$program.log"
done

# --- the close box ends the launcher -------------------------------------------------------
close_window "$launcher"
if ! wait_gone "$selvan_pid"; then fail "the launcher did not end when its window was closed"; fi
selvan_pid=""

if [ "$failures" -ne 0 ]; then
  echo "--- selvan's output:"; cat "$tmp/selvan.log"
  echo "$failures check(s) failed"
  exit 1
fi
echo "launcher and installed suite checks passed"
