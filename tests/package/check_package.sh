#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as a machine would get it:
# the package's fields and file list, the menu entries, the installed documentation's
# pictures, lintian, an install, an upgrade over an older version and a removal in a
# scratch root, and the installed launcher starting the programs beside it (under Xvfb).
#   check_package.sh BUILD-DIR SOURCE-DIR VERSION STAND-IN CLOSER
set -uo pipefail
build="${1:?usage: check_package.sh BUILD-DIR SOURCE-DIR VERSION STAND-IN CLOSER}"
source_dir="${2:?source folder}"
version="${3:?version}"
standin="${4:-}"
closer="${5:-}"
here="$(cd "$(dirname "$0")" && pwd)"
SKIP=77
for tool in cpack dpkg-deb dpkg dpkg-shlibdeps; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit $SKIP; }
done

tmp="$(mktemp -d "${TMPDIR:-/tmp}/suite-package.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

programs=(selvan lisket plandra plandra-light sectra sectra-dark brisel norvane)
declare -A menu_name=(
  [selvan]="Halden Survey Program" [lisket]="Survey File Lister"
  [plandra]="Plan Plotter (dark)" [plandra-light]="Plan Plotter (light)"
  [sectra]="Section Plotter" [sectra-dark]="Section Plotter (dark)"
  [brisel]="Survey File Viewer" [norvane]="Coordinate Converter")

# --- the package ------------------------------------------------------------------------
if ! (cd "$build" && cpack --config CPackConfig.cmake -B "$tmp/out") >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"; echo "FAIL: cpack failed"; exit 1
fi
deb="$tmp/out/qova-survey-suite_${version}_amd64.deb"
[ -f "$deb" ] || { cat "$tmp/cpack.log"; ls "$tmp/out"; echo "FAIL: no package $(basename "$deb")"; exit 1; }
echo "package $(basename "$deb"), $(stat -c %s "$deb") bytes"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = qova-survey-suite ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version is $(field Version), not $version"
[ "$(field Architecture)" = amd64 ] || fail "architecture is $(field Architecture)"
depends="$(field Depends)"
echo "Depends: $depends"
depends_names="$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")"
for dep in fonts-liberation libqt6widgets6 libqt6printsupport6 libqt6svg6 libc6 libstdc++6; do
  grep -qxF "$dep" <<<"$depends_names" || fail "Depends lacks $dep"
done

# surveyexport links GDAL; the six programs do not, but the package carries it.
grep -q '^libgdal' <<<"$depends_names" || fail "Depends lacks the GDAL library of surveyexport"

# --- the file list ------------------------------------------------------------------------
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$tmp/list"
grep -v '^/usr/' "$tmp/list" | grep -vx '/' | grep -q . && fail "files outside /usr: $(grep -v '^/usr/' "$tmp/list" | grep -vx '/' | head -3)"
expect() { grep -qx "$1" "$tmp/list" || fail "the package lacks $1"; }
for p in "${programs[@]}" hkconvert surveyexport; do
  expect "/usr/bin/$p"
  expect "/usr/share/man/man1/$p.1.gz"
done
for p in "${programs[@]}"; do
  expect "/usr/share/applications/$p.desktop"
  expect "/usr/share/icons/hicolor/scalable/apps/$p.svg"
done
for f in "$source_dir"/samples/*; do expect "/usr/share/qova-survey-suite/samples/$(basename "$f")"; done
doc=/usr/share/doc/qova-survey-suite
for f in README.md copyright changelog.gz; do expect "$doc/$f"; done
for f in "$source_dir"/docs/*.md "$source_dir"/docs/*.png; do expect "$doc/docs/$(basename "$f")"; done

root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
for p in "${programs[@]}" hkconvert surveyexport; do
  [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p is not executable"
  file -b "$root/usr/bin/$p" 2>/dev/null | grep -q 'not stripped' && fail "/usr/bin/$p is not stripped"
done
# Only surveyexport links GDAL.
for p in "${programs[@]}"; do
  readelf -d "$root/usr/bin/$p" 2>/dev/null | grep NEEDED | grep -q gdal && fail "/usr/bin/$p links GDAL"
done
"$root/usr/bin/surveyexport" --help >/dev/null 2>&1 || fail "the installed surveyexport does not answer --help"
# The README's batch example, with the installed converter: the 1984 grid northing.
converted="$(echo 'Grid80 830000 840000' | "$root/usr/bin/hkconvert" 2>&1)"
case "$(cut -f3 <<<"$converted")" in
  829999.83*) ;;
  *) fail "the installed hkconvert printed: $converted" ;;
esac

# --- the menu entries ---------------------------------------------------------------------
names=""
for p in "${programs[@]}"; do
  entry="$root/usr/share/applications/$p.desktop"
  [ -f "$entry" ] || continue
  if command -v desktop-file-validate >/dev/null 2>&1; then
    out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate rejects $p.desktop: $out"
    [ -z "$out" ] || echo "desktop-file-validate $p.desktop: $out"
  else
    echo "note: desktop-file-validate is not installed"
  fi
  grep -qx "Exec=\"/usr/bin/$p\"" "$entry" || fail "$p.desktop does not start /usr/bin/$p: $(grep '^Exec=' "$entry")"
  grep -qx "TryExec=/usr/bin/$p" "$entry" || fail "$p.desktop: TryExec is not /usr/bin/$p"
  grep -qx "Name=${menu_name[$p]}" "$entry" || fail "$p.desktop is not named \"${menu_name[$p]}\": $(grep '^Name=' "$entry")"
  grep -qx "Icon=$p" "$entry" || fail "$p.desktop does not name its icon $p"
  grep -qx 'Categories=Science;Geography;' "$entry" || fail "$p.desktop is not in Science;Geography;"
  grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$p.svg" 2>/dev/null || fail "icon $p.svg is not SVG"
  names+="$(grep '^Name=' "$entry")"$'\n'
done
[ -z "$(grep -v '^$' <<<"$names" | sort | uniq -d)" ] || fail "two menu entries share a name"

# --- the installed documentation ------------------------------------------------------------
bash "$here/check_doc_links.sh" "$root$doc" || fail "image links of the installed README"

# --- lintian ----------------------------------------------------------------------------------
if command -v lintian >/dev/null 2>&1; then
  lintian --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1
  sed 's/^/  lintian: /' "$tmp/lintian.log"
  grep -q '^E: ' "$tmp/lintian.log" && fail "lintian reports errors"
else
  echo "note: lintian is not installed"
fi

# --- install, upgrade and removal in a scratch root ---------------------------------------------
# An older version of the same package first; the new one must replace it in place, and the
# removal must leave nothing of either behind.
if [ "$(id -u)" -eq 0 ]; then
  if (cd "$build" && cpack --config CPackConfig.cmake -B "$tmp/old" -D CPACK_PACKAGE_VERSION=0.1) >"$tmp/cpack-old.log" 2>&1; then
    old="$tmp/old/qova-survey-suite_0.1_amd64.deb"
    sys="$tmp/sys"
    mkdir -p "$sys/var/lib/dpkg/info" "$sys/var/lib/dpkg/updates" "$sys/var/lib/dpkg/triggers"
    : >"$sys/var/lib/dpkg/status"
    dp() { dpkg --root="$sys" --force-depends --force-script-chrootless --log=/dev/null "$@" >>"$tmp/dpkg.log" 2>&1; }
    dp -i "$old" || { cat "$tmp/dpkg.log"; fail "dpkg could not install the older package"; }
    dp -i "$deb" || { cat "$tmp/dpkg.log"; fail "dpkg could not upgrade to $version"; }
    installed="$(dpkg-query --admindir="$sys/var/lib/dpkg" -W -f='${Version} ${Status}' qova-survey-suite 2>/dev/null)"
    [ "$installed" = "$version install ok installed" ] || fail "after the upgrade dpkg holds: $installed"
    for p in "${programs[@]}" hkconvert; do [ -x "$sys/usr/bin/$p" ] || fail "after the upgrade /usr/bin/$p is missing"; done
    dp -r qova-survey-suite || { cat "$tmp/dpkg.log"; fail "dpkg could not remove the package"; }
    left="$(cd "$sys" && find . -path ./var/lib/dpkg -prune -o -type f -print)"
    [ -z "$left" ] || fail "files left after removal: $(echo $left | head -c 300)"
    [ -z "$left" ] && [ "$installed" = "$version install ok installed" ] &&
      echo "install of 0.1, upgrade to $version in place and removal in a scratch root: nothing left"
  else
    cat "$tmp/cpack-old.log"; fail "cpack could not make the older package"
  fi
else
  echo "note: not root; the install in a scratch root is left out"
fi

# --- the installed launcher finds its programs beside it --------------------------------------
if [ -n "$standin" ] && [ -x "$here/../launcher/suite_under_xvfb.sh" -o -f "$here/../launcher/suite_under_xvfb.sh" ]; then
  SUITE_INSTALLED_BIN="$root/usr/bin" bash "$here/../launcher/suite_under_xvfb.sh" \
    "$build" "$standin" "$closer" "$root/usr/share/qova-survey-suite/samples"
  case $? in
    0) ;;
    "$SKIP") echo "note: the launcher walk under Xvfb was skipped" ;;
    *) fail "the installed launcher does not start the programs beside it" ;;
  esac
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
