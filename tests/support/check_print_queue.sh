#!/usr/bin/env bash
# The tests' print queues run on a scheduler of their own: jobs land as the queues' PDFs
# (as root too), PRINTER chooses a paper queue, a second start replaces a scheduler left
# running, stop ends it (through another spelling of DIR too), a DIR with a blank prints,
# a start that gives up once its scheduler runs stops it, and the machine's own printers
# and CUPS files stay as they were.
#   check_print_queue.sh PRINT-QUEUE-SCRIPT DIR
set -uo pipefail
script="${1:?usage: check_print_queue.sh PRINT-QUEUE-SCRIPT DIR}"
mkdir -p "${2:?folder}" && dir="$(cd "$2" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
machine() {
  env -u CUPS_SERVER -u PRINTER -u LPDEST lpstat -d -v 2>&1
  for f in /etc/cups/{cupsd.conf,cups-files.conf,printers.conf,lpoptions} "${HOME:-/}/.cups/lpoptions"; do
    echo "$f: $( (md5sum <"$f" || stat -c '%s %Y' "$f") 2>&1)"
  done
}
schedulers() { grep -lF -- "$dir/cupsd.conf" /proc/[0-9]*/cmdline 2>/dev/null; }
command -v lp >/dev/null && command -v pdftotext >/dev/null || { echo "SKIP: no lp or pdftotext"; exit 77; }
before="$(machine)"
trap 'for d in "$dir" "$dir/with blank" "$dir/failing"; do bash "$script" stop "$d" >/dev/null 2>&1; done' EXIT

bash "$script" start "$dir"
if [ ! -f "$dir/unavailable" ]; then
  first="$(cat "$dir/cupsd.pid")"
  export CUPS_SERVER="$dir/cups.sock"
  bash "$script" papers "$dir" Letter >/dev/null
  # A one-page PDF showing "suite print check", as the programs print.
  body=$'%PDF-1.4\n' offsets=()
  for object in "<</Type/Catalog/Pages 2 0 R>>" "<</Type/Pages/Kids[3 0 R]/Count 1>>" \
    "<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Contents 4 0 R/Resources<</Font<</F1 5 0 R>>>>>>" \
    $'<</Length 48>>stream\nBT /F1 24 Tf 72 720 Td (suite print check) Tj ET\nendstream' \
    "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>"; do
    offsets+=("${#body}")
    body+="$((${#offsets[@]})) 0 obj"$'\n'"$object"$'\nendobj\n'
  done
  xref="${#body}"
  body+=$'xref\n0 6\n0000000000 65535 f \n'"$(printf '%010d 00000 n \n' "${offsets[@]}")"
  printf '%s\ntrailer<</Size 6/Root 1 0 R>>\nstartxref\n%s\n%%%%EOF\n' "$body" "$xref" >"$dir/check.pdf"
  #     how the queue is chosen           where the job lands
  for row in "env -u PRINTER lp         $dir/job.pdf" \
             "env PRINTER=suite_pdf_Letter lp $dir/Letter/job.pdf"; do
    read -r -a words <<<"$row"
    rm -f "${words[-1]}"
    "${words[@]:0:${#words[@]}-1}" "$dir/check.pdf" >/dev/null || fail "${words[*]}: not sent"
    for i in $(seq 1 100); do [ -s "${words[-1]}" ] && [ -z "$(lpstat -o)" ] && break; sleep 0.2; done
    pdftotext "${words[-1]}" - 2>/dev/null | grep -q "suite print check" || fail "${words[*]}: no PDF landed"
  done
  bash "$script" start "$dir" >/dev/null
  kill -0 "$first" 2>/dev/null && fail "a second start left the first scheduler running"
  [ "$(schedulers | wc -l)" -eq 1 ] || fail "schedulers after a second start: $(schedulers)"
  bash "$script" stop "$dir"
  [ -z "$(schedulers)" ] || fail "stop left the scheduler running: $(schedulers)"

  # Other spellings of DIR and a start that gives up: no scheduler may be left running.
  ln -sfn "$dir" "$dir-link"
  mkdir -p "$dir/failing/bin"
  printf '#!/bin/sh\nexit 1\n' >"$dir/failing/bin/lpadmin" && chmod +x "$dir/failing/bin/lpadmin"
  # row: name, folder started in, folder stopped through, PATH before, where a job lands
  for row in "symlink|$dir|$dir-link||" "blank|$dir/with blank|$dir/with blank||$dir/with blank/job.pdf" \
             "lpadmin fails|$dir/failing||$dir/failing/bin|"; do
    IFS='|' read -r label started stopped path landing <<<"$row"
    PATH="${path:+$path:}$PATH" bash "$script" start "$started" >/dev/null
    if [ -n "$landing" ]; then
      if [ -f "$started/unavailable" ]; then
        fail "$label: $(cat "$started/unavailable")"
      else
        CUPS_SERVER="$started/cups.sock" lp "$dir/check.pdf" >/dev/null || fail "$label: not sent"
        for i in $(seq 1 100); do
          [ -s "$landing" ] && [ -z "$(CUPS_SERVER="$started/cups.sock" lpstat -o)" ] && break
          sleep 0.2
        done
        pdftotext "$landing" - 2>/dev/null | grep -q "suite print check" || fail "$label: no PDF landed"
      fi
    fi
    [ -n "$stopped" ] && bash "$script" stop "$stopped" >/dev/null
    left="$(grep -lF -- "$started/cupsd.conf" /proc/[0-9]*/cmdline 2>/dev/null)"
    [ -z "$left" ] || fail "$label: a scheduler was left running: $left"
  done
  rm -f "$dir-link"
fi
after="$(machine)"
[ "$before" = "$after" ] || fail "the machine's printers changed: $(diff <(echo "$before") <(echo "$after"))"
[ -f "$dir/unavailable" ] && [ "$failures" -eq 0 ] && { echo "SKIP: $(cat "$dir/unavailable")"; exit 77; }
[ "$failures" -eq 0 ] || exit 1
echo "jobs printed on the test scheduler; the machine's printers are as they were"
