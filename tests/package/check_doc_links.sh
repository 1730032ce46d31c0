#!/usr/bin/env bash
# Checks the pictures of the README and its how-tos in a folder laid out as the source
# tree (README.md with docs/ beside it; the installed documentation folder is the same):
# every image link resolves from the folder of the file that holds it, no file shows a
# picture twice, and every picture in docs/ is shown by the README.
#   check_doc_links.sh FOLDER
set -uo pipefail
root="${1:?usage: check_doc_links.sh FOLDER}"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The image targets of a Markdown file, one a line: ![text](target) and <img src="target">.
images_of() {
  { grep -o '!\[[^]]*\]([^)]*)' "$1" | sed 's/^!\[[^]]*\](\([^)]*\))$/\1/' | sed 's/[[:space:]].*$//'
    grep -o '<img[^>]*src="[^"]*"' "$1" | sed 's/.*src="\([^"]*\)"/\1/'
  } 2>/dev/null
}

[ -f "$root/README.md" ] || fail "no README.md in $root"
shown_by_readme=""
for md in "$root/README.md" "$root"/docs/*.md; do
  [ -f "$md" ] || continue
  folder="$(dirname "$md")"
  name="${md#"$root"/}"
  mapfile -t targets < <(images_of "$md")
  resolved=""
  for target in "${targets[@]}"; do
    case "$target" in
      http://* | https://*) continue ;;
    esac
    [ -f "$folder/$target" ] || fail "$name: image $target does not exist (looked for $folder/$target)"
    resolved+="$(cd "$folder" && realpath -m "$target")"$'\n'
    if [ "$name" = "README.md" ]; then shown_by_readme+="$(cd "$folder" && realpath -m "$target")"$'\n'; fi
  done
  duplicates="$(grep -v '^$' <<<"$resolved" | sort | uniq -d)"
  [ -z "$duplicates" ] || fail "$name shows a picture more than once: $(echo $duplicates)"
done

for picture in "$root"/docs/*.png; do
  [ -f "$picture" ] || continue
  grep -qxF "$(realpath -m "$picture")" <<<"$shown_by_readme" ||
    fail "docs/$(basename "$picture") is shown nowhere in README.md"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures image link check(s) failed"
  exit 1
fi
echo "image links of $root: all resolve"
