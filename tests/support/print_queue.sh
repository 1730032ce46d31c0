#!/usr/bin/env bash
# A CUPS print queue for the tests: every job sent to the default printer "suite_pdf"
# is written, unchanged, as DIR/job.pdf, which the tests read back with pdftotext.
#
#   print_queue.sh start DIR   starts cupsd (unless one runs already) and sets up the queue
#   print_queue.sh stop DIR    stops the cupsd this script started
#
# Where CUPS cannot be set up, start writes DIR/unavailable (with the reason) and still
# succeeds, so the tests print into a PDF file through Qt instead and say so in the log.
set -u

action="${1:-}"
dir="${2:-}"
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
queue=suite_pdf
ppd=lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
ppd_file=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd

unavailable() {
  echo "print queue unavailable: $*" | tee "$dir/unavailable"
  exit 0
}

running() { lpstat -r 2>/dev/null | grep -q "is running"; }

start() {
  rm -f "$dir/unavailable" "$dir/cupsd.pid" "$dir/job.pdf"
  command -v lpadmin >/dev/null && command -v lpstat >/dev/null ||
    unavailable "the CUPS client programs are not installed"
  [ -f "$ppd_file" ] || unavailable "$ppd_file is missing (package cups-filters)"

  if ! running; then
    [ -x /usr/sbin/cupsd ] || unavailable "/usr/sbin/cupsd is not installed"
    local conf=/etc/cups/cups-files.conf
    if ! grep -Eq '^[[:space:]]*FileDevice[[:space:]]+Yes' "$conf" 2>/dev/null; then
      { echo "FileDevice Yes" >>"$conf"; } 2>/dev/null ||
        unavailable "cannot allow file devices in $conf (not root?)"
    fi
    # Detached, with its own output, so that CTest does not wait for it.
    setsid /usr/sbin/cupsd -f </dev/null >"$dir/cupsd.log" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    local i
    for i in $(seq 1 100); do
      running && break
      sleep 0.1
    done
    running || unavailable "cupsd did not start (see $dir/cupsd.log)"
  else
    grep -Eq '^[[:space:]]*FileDevice[[:space:]]+Yes' /etc/cups/cups-files.conf 2>/dev/null ||
      unavailable "a cupsd runs already without FileDevice Yes"
  fi

  lpadmin -p "$queue" -v "file://$dir/job.pdf" -m "$ppd" -E >"$dir/lpadmin.log" 2>&1 ||
    unavailable "lpadmin could not add the queue: $(cat "$dir/lpadmin.log")"
  lpadmin -d "$queue" >>"$dir/lpadmin.log" 2>&1 ||
    unavailable "lpadmin could not make $queue the default"
  # As root, lpoptions' own default wins over the server's: keep both the same.
  lpoptions -d "$queue" >/dev/null 2>&1 || true
  lpstat -d 2>/dev/null | grep -q "$queue" ||
    unavailable "$queue is not the default printer: $(lpstat -d 2>&1)"
  echo "print queue $queue writes $dir/job.pdf"
}

stop() {
  local pidfile="$dir/cupsd.pid"
  [ -f "$pidfile" ] || exit 0  # nothing started here
  local pid
  pid="$(cat "$pidfile")"
  rm -f "$pidfile"
  lpadmin -x "$queue" >/dev/null 2>&1 || true
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    local i
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  fi
  exit 0
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
