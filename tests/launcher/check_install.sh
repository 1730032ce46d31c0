#!/usr/bin/env bash
# Installs the build tree into a temporary folder and checks what a desktop needs to offer
# the launcher in its application menu: the program, a menu entry that names it, the icon.
#   check_install.sh BUILD-DIR
set -uo pipefail
build="${1:?usage: check_install.sh BUILD-DIR}"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/selvan-install.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/Survey Suite"   # a blank in the folder name, as a user may choose
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# shellcheck source=install_suite.sh
source "$(dirname "$0")/install_suite.sh"
if ! install_suite "$build" "$prefix" "$tmp/install.log"; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install failed"
  exit 1
fi

selvan="$prefix/bin/selvan"
[ -x "$selvan" ] || fail "no executable $selvan"

entry="$prefix/share/applications/selvan.desktop"
if [ ! -f "$entry" ]; then
  fail "no menu entry $entry"
else
  grep -qx 'Type=Application' "$entry" || fail "menu entry is not an application"
  grep -qx 'Name=Halden Survey Program' "$entry" || fail "menu entry has not the window's caption as its name"
  grep -qx "Exec=\"$selvan\"" "$entry" || fail "menu entry does not start $selvan: $(grep '^Exec=' "$entry")"
  grep -qx "TryExec=$selvan" "$entry" || fail "menu entry's TryExec is not $selvan"
  grep -qx 'Icon=selvan' "$entry" || fail "menu entry names no icon selvan"
  if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
  fi
fi

for icon in share/icons/hicolor/scalable/apps/selvan.svg share/icons/hicolor/48x48/apps/selvan.png; do
  [ -s "$prefix/$icon" ] || fail "no icon $icon"
done
if [ -s "$prefix/share/icons/hicolor/48x48/apps/selvan.png" ]; then
  head -c 8 "$prefix/share/icons/hicolor/48x48/apps/selvan.png" | od -An -tx1 | grep -q '89 50 4e 47' ||
    fail "48x48 icon is not a PNG"
fi
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/selvan.svg" 2>/dev/null || fail "scalable icon is not SVG"

# Every program of the suite that this build made lies in the one install folder.
for program in brisel lisket norvane plandra plandra-light sectra sectra-dark; do
  built="$(find "$build" -path '*/CMakeFiles' -prune -o -type f -name "$program" -perm -u+x -print -quit)"
  if [ -n "$built" ]; then
    [ -x "$prefix/bin/$program" ] || fail "$program was built but is not installed beside selvan"
  else
    echo "note: $program is not built in $build"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install checks passed"
