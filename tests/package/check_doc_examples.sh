#!/usr/bin/env bash
# Runs the surveyexport how-to's examples as a newcomer would: each example command, in
# the order written, in one copy of the samples folder; each must succeed (one that writes
# what an earlier one wrote stops with "use --overwrite").
#   check_doc_examples.sh HOWTO SAMPLES-FOLDER SURVEYEXPORT
set -uo pipefail
howto="${1:?usage: check_doc_examples.sh HOWTO SAMPLES-FOLDER SURVEYEXPORT}"
program="$(realpath "${3:?surveyexport}")"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/suite-examples.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
cp -r "${2:?samples folder}" "$tmp/samples" && mkdir "$tmp/tmp"
export QT_QPA_PLATFORM=offscreen
surveyexport() { "$program" "$@"; }
failures=0 ran=0
# The examples: indented lines calling surveyexport or ogrinfo, joined over a trailing "\",
# without comments; synopsis lines ([options], ..., OUTPUT, DIR) are not examples.
while IFS= read -r example; do
  case "$example" in ogrinfo*) command -v ogrinfo >/dev/null || continue ;; esac
  # A folder in /tmp is the test's own; a pipe's status is its last command's, as typed.
  if output="$(cd "$tmp/samples" && set +o pipefail && eval "${example//\/tmp\//$tmp/tmp/}" 2>&1 </dev/null)"; then
    echo "ok: $example"
  else
    echo "FAIL: $example: $(tail -n 3 <<<"$output")"
    failures=$((failures + 1))
  fi
  ran=$((ran + 1))
done < <(sed -n 's/^    //p' "$howto" |
  awk '/\\$/ { line = line substr($0, 1, length($0) - 1) " "; next } { print line $0; line = "" }' |
  sed 's/[[:space:]]*#.*$//; s/[[:space:]]\+/ /g' |
  grep -E '^(surveyexport (plan|table|sections) |ogrinfo )' | grep -vE '\[|\.\.\.|OUTPUT| DIR ')
[ "$ran" -ge 5 ] || { echo "FAIL: only $ran examples in $howto"; exit 1; }
[ "$failures" -eq 0 ] || { echo "$failures of $ran examples failed"; exit 1; }
echo "all $ran examples of $(basename "$howto") ran in order"
