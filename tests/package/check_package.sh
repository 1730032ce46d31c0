#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as a machine would get it:
# the package's fields and file list (the samples and documents named, nothing left in the
# source folders by a user or a test), the changelog, the icons, the manual page against
# the program, the menu entries, the installed documentation's pictures, lintian, that a
# second build gives the same bytes, an install, an upgrade over an older version and a
# removal in a scratch root, and the installed launcher starting the programs beside it.
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
strays=()
trap 'rm -rf "$tmp"; rm -f "${strays[@]}"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

programs=(selvan lisket plandra plandra-light sectra sectra-dark brisel norvane)
declare -A menu_name=(
  [selvan]="Halden Survey Program" [lisket]="Survey File Lister"
  [plandra]="Plan Plotter (dark)" [plandra-light]="Plan Plotter (light)"
  [sectra]="Section Plotter" [sectra-dark]="Section Plotter (dark)"
  [brisel]="Survey File Viewer" [norvane]="Coordinate Converter"
  [surveyexport-gui]="Survey Export")
# The export's window: in the menu with the six programs, but linking GDAL as the export does.
windows=("${programs[@]}" surveyexport-gui)

# --- the package ------------------------------------------------------------------------
# The last commit, which dates the package (unless a commit lands while this runs).
commit="$(git -C "$source_dir" log -1 --format='%H %ct' 2>/dev/null)"
dated() { [ -n "$commit" ] && [ "$(git -C "$source_dir" log -1 --format='%H %ct')" = "$commit" ]; }
commit_time="${commit#* }"
# What a user leaves in samples/ and docs/ (the how-tos' outputs, a picture in the works)
# while the package is made must stay out of it.
for stray in "$source_dir/samples/site-left-by-a-user-$$.gpkg" "$source_dir/docs/left-$$.png"; do
  [ ! -e "$stray" ] && : 2>/dev/null >"$stray" && strays+=("$stray") || echo "note: cannot write $stray"
done
if ! (cd "$build" && cpack --config CPackConfig.cmake -B "$tmp/out") >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"; echo "FAIL: cpack failed"; exit 1
fi
rm -f "${strays[@]}"
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
description="$(field Description)"
for p in "${windows[@]}" hkconvert surveyexport; do
  grep -qw -- "$p" <<<"$description" || fail "the Description does not name $p"
done

# --- the file list ------------------------------------------------------------------------
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$tmp/list"
grep -v '^/usr/' "$tmp/list" | grep -vx '/' | grep -q . && fail "files outside /usr: $(grep -v '^/usr/' "$tmp/list" | grep -vx '/' | head -3)"
expect() { grep -qx "$1" "$tmp/list" || fail "the package lacks $1"; }
for p in "${windows[@]}" hkconvert surveyexport; do
  expect "/usr/bin/$p"
  expect "/usr/share/man/man1/$p.1.gz"
done
expect /usr/share/mime/packages/qova-survey-files.xml
for p in "${windows[@]}"; do
  expect "/usr/share/applications/$p.desktop"
  expect "/usr/share/icons/hicolor/scalable/apps/$p.svg"
done
for size in 16 32 48 64 128; do
  for p in "${windows[@]}"; do expect "/usr/share/icons/hicolor/${size}x${size}/apps/$p.png"; done
done
# Exactly the samples and documents named (the committed how-tos and pictures), no more.
doc=/usr/share/doc/qova-survey-suite
#        folder in the package                  what it holds
folders=("/usr/share/qova-survey-suite/samples  README.md CONTROL.STN LIST.PTS ROAD.CHG ROAD.SEC ROAD.SOL ROADDES.SEC ROADOLD.SEC SITE.NEH SITEREF.NEH TRAV.DAT"
         "$doc                                  README.md copyright changelog.gz"
         "$doc/docs                             $(cd "$source_dir/docs" && (git ls-files '*.md' '*.png' 2>/dev/null || ls *.md *.png) | tr '\n' ' ')")
for row in "${folders[@]}"; do
  read -r folder want <<<"$row"
  differences="$(diff <(tr -s ' ' '\n' <<<"$want" | sort) <(grep "^$folder/[^/]\+\$" "$tmp/list" | sed "s|^$folder/||" | sort))"
  [ -z "$differences" ] || fail "$folder ('<' missing, '>' not shipped): $(grep '^[<>]' <<<"$differences" | tr '\n' ' ')"
done

root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
for p in "${windows[@]}" hkconvert surveyexport; do
  [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p is not executable"
  file -b "$root/usr/bin/$p" 2>/dev/null | grep -q 'not stripped' && fail "/usr/bin/$p is not stripped"
done
# Only surveyexport links GDAL.
for p in "${programs[@]}"; do
  readelf -d "$root/usr/bin/$p" 2>/dev/null | grep NEEDED | grep -q gdal && fail "/usr/bin/$p links GDAL"
done
"$root/usr/bin/surveyexport" --help >/dev/null 2>&1 || fail "the installed surveyexport does not answer --help"
for png in "$root"/usr/share/icons/hicolor/*x*/apps/*.png; do
  size="$(basename "$(dirname "$(dirname "$png")")")"
  file -b "$png" | grep -q "^PNG image data, ${size/x/ x }," || fail "$png is not a $size PNG: $(file -b "$png")"
done

# --- the changelog: an entry for each version of cmake/package/changes, dated by commit ---
zcat "$root$doc/changelog.gz" >"$tmp/changelog" 2>/dev/null || fail "no changelog.gz in the package"
entry() { dpkg-parsechangelog -l "$tmp/changelog" "$@" 2>/dev/null; }
# Every version's entry, newest first (one stanza an entry).
versions="$(entry --format rfc822 --all | sed -n 's/^Version: //p' | tr '\n' ' ')"
[ "$versions" = "$(grep '^[0-9]' "$source_dir/cmake/package/changes" | tr '\n' ' ')" ] ||
  fail "the changelog's versions, $versions, are not those of cmake/package/changes"
[ "$(entry -S Version)" = "$version" ] || fail "the changelog's newest entry is $(entry -S Version), not $version"
entry -S Changes | grep -q surveyexport || fail "the changelog does not mention surveyexport"
if dated; then
  [ "$(entry -S Timestamp)" = "$commit_time" ] || fail "the changelog is dated $(entry -S Date), not as the last commit"
fi

# --- the manual page against the program ----------------------------------------------------
# Each command of the synopsis, its optional parts left out and its placeholders filled,
# must run on the samples; left without one of the options it shows as required, it must
# stop with a usage error (exit code 2).
declare -A fill=([NEH]=SITE.NEH [FILE]=SITE.NEH [SEC]=ROAD.SEC [NAME]=A [H]=200 [V]=100)
declare -A output=([plan]=plan.dxf [table]=table.csv [sections]=sections.pdf)
cp -r "$root/usr/share/qova-survey-suite/samples" "$tmp/work"
synopsis="$(zcat "$root/usr/share/man/man1/surveyexport.1.gz" |
  sed -n '/^\.SH SYNOPSIS/,/^\.SH /{/^\.SH/d;p}' |
  sed 's/^\.br$/@BR@/; s/^\.[BI] //; s/\\f[BIR]//g; s/\\-/-/g' | tr '\n' ' ' | sed 's/@BR@/\n/g')"
run=0
export_run() { (cd "$tmp/work" && QT_QPA_PLATFORM=offscreen "$root/usr/bin/surveyexport" "$@" >/dev/null 2>&1); }
# The arguments of synopsis words: placeholders filled, each OUTPUT a new file.
filled() {
  args=()
  local word
  for word in "$@"; do
    case "$word" in
      OUTPUT) args+=("$((run++))-${output[$1]}") ;;
      *) args+=("${fill[$word]:-$word}") ;;
    esac
  done
}
while read -r -a words; do
  [ "${words[0]:-}" = surveyexport ] || continue
  tokens=("${words[@]:1}")
  filled "${tokens[@]}"
  export_run "${args[@]}"; status=$?
  [ "$status" -eq 0 ] || fail "man surveyexport: '${words[*]}' as surveyexport ${args[*]} exits $status"
  for ((i = 1; i < ${#tokens[@]}; i++)); do
    [[ "${tokens[$i]}" == --* ]] || continue
    next=$((i + 1))
    [ -n "${fill[${tokens[$next]:-none}]:-}" ] && next=$((i + 2))
    filled "${tokens[@]:0:$i}" "${tokens[@]:$next}"
    export_run "${args[@]}"; status=$?
    [ "$status" -eq 2 ] ||
      fail "man surveyexport shows ${tokens[$i]} of ${tokens[0]} as required, yet surveyexport ${args[*]} exits $status"
  done
done < <(sed 's/\[[^]]*\]//g' <<<"$synopsis")
[ "$run" -ge 3 ] || fail "man surveyexport: no command of its synopsis was run"
# The README's batch example, with the installed converter: the 1984 grid northing.
converted="$(echo 'Grid80 830000 840000' | "$root/usr/bin/hkconvert" 2>&1)"
case "$(cut -f3 <<<"$converted")" in
  829999.83*) ;;
  *) fail "the installed hkconvert printed: $converted" ;;
esac

# --- the menu entries ---------------------------------------------------------------------
names=""
for p in "${windows[@]}"; do
  entry="$root/usr/share/applications/$p.desktop"
  [ -f "$entry" ] || continue
  if command -v desktop-file-validate >/dev/null 2>&1; then
    out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate rejects $p.desktop: $out"
    [ -z "$out" ] || echo "desktop-file-validate $p.desktop: $out"
  else
    echo "note: desktop-file-validate is not installed"
  fi
  # The export's window takes the files it is given (the file manager's "Open with").
  grep -qxE "Exec=\"/usr/bin/$p\"( -- %F)?" "$entry" || fail "$p.desktop does not start /usr/bin/$p: $(grep '^Exec=' "$entry")"
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
  lintian --display-info --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1
  sed 's/^/  lintian: /' "$tmp/lintian.log"
  grep -q '^E: ' "$tmp/lintian.log" && fail "lintian reports errors"
  grep -q 'description-line-too-long' "$tmp/lintian.log" && fail "lintian: a Description line is too long"
  # A tree built as scripts/package builds (Debian's hardening flags) links with bindnow
  # and relro, as PIE. (Lintian's fortify note remains for a program whose every read or
  # fread goes to a buffer of a size known only when running, which no flag fortifies.)
  if grep -q '^CMAKE_CXX_FLAGS:[A-Z]*=.*_FORTIFY_SOURCE' "$build/CMakeCache.txt" 2>/dev/null; then
    grep -qE 'hardening-no-(bindnow|relro|pie)' "$tmp/lintian.log" &&
      fail "lintian: $(grep -oE 'hardening-no-(bindnow|relro|pie)' "$tmp/lintian.log" | sort -u | tr '\n' ' ')"
  fi
else
  echo "note: lintian is not installed"
fi

# --- the same bytes again, every file dated by the last commit ---------------------------
# Packaging the same tree a second time (later, with every file installed anew) must give
# the very same package.
if ! dated; then
  echo "note: no commit, or a commit landed meanwhile: the dates and the second build are not compared"
elif (cd "$build" && cpack --config CPackConfig.cmake -B "$tmp/again") >"$tmp/cpack-again.log" 2>&1; then
  again="$tmp/again/$(basename "$deb")"
  if ! cmp -s "$deb" "$again"; then
    fail "a second build of the package differs: $(cmp "$deb" "$again" 2>&1 | head -n 1)"
    diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$again") | head -n 10
  fi
else
  cat "$tmp/cpack-again.log"; fail "cpack failed the second time"
fi
if dated; then
  stamp="$(TZ=UTC date -d "@$commit_time" '+%Y-%m-%d %H:%M')"
  undated="$(dpkg-deb --fsys-tarfile "$deb" | TZ=UTC tar -tv | grep -vF " $stamp " | head -n 3)"
  [ -z "$undated" ] || fail "files not dated by the last commit ($stamp): $undated"
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
