#!/usr/bin/env bash
# CUPS print queues for the tests, on a CUPS scheduler of the tests' own: its
# configuration, spool, logs and socket lie in DIR, so the machine's own printers and
# default printer are never read or changed. Every client reaches it through
# CUPS_SERVER=DIR/cups.sock (the tests get it, and PRINTER=suite_pdf, from CTest).
#
#   print_queue.sh start DIR   starts the scheduler and adds the queue "suite_pdf", its
#                              default, which writes every job, unchanged, as DIR/job.pdf
#                              (the tests read it back with pdftotext)
#   print_queue.sh stop DIR    stops that scheduler
#   print_queue.sh papers DIR PAPER...    (after start) adds, for each PAPER (A4, Letter,
#                              Legal, A3), a queue "suite_pdf_PAPER" whose default paper
#                              is PAPER, writing DIR/PAPER/job.pdf; chosen with
#                              PRINTER=suite_pdf_PAPER. PAPER-landscape (A4-landscape)
#                              prints landscape by default
#   print_queue.sh unpapers DIR PAPER...  removes those queues again
#
# DIR may be given through a symlink or hold blanks: the scheduler is known by DIR's own
# path, and queues in a DIR whose path a URI would have to escape write through a link
# to it under $TMPDIR.
#
# Where CUPS cannot be set up, start writes DIR/unavailable (with the reason) and still
# succeeds, so the tests print into a PDF file through Qt instead and say so in the log.
# Where the paper queues cannot be added, papers writes DIR/papers-unavailable instead.
set -u

action="${1:-}"
dir="${2:-}"
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR | papers|unpapers DIR PAPER..." >&2
  exit 2
fi
shift 2
mkdir -p "$dir"
# One spelling of DIR whatever the caller's (a symlink, "..", a blank): the scheduler is
# known by the configuration path it was started with.
dir="$(cd "$dir" && pwd -P)"
queue=suite_pdf
ppd=lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
ppd_file=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
cupsd=/usr/sbin/cupsd
# The private scheduler: ServerRoot, spool, cache, state and logs under DIR/cups.
home="$dir/cups"
sock="$dir/cups.sock"
pidfile="$dir/cupsd.pid"
# Every CUPS client below talks to the private scheduler only.
export CUPS_SERVER="$sock"
unset PRINTER LPDEST

unavailable() {
  echo "print queue unavailable: $*" | tee "$dir/unavailable"
  # A scheduler this start left running would serve no queue: it goes.
  if [ -n "${started:-}" ]; then
    stop_cupsd
    rm -f "$sock"
  fi
  exit 0
}

# The file:// URI of a file under DIR. The scheduler opens the path of a file: URI as it
# is written, %XX escapes and all, and a URI holds no blank: where DIR's path needs an
# escape (a blank), the URI goes through a link to DIR whose path needs none.
safe_link="${TMPDIR:-/tmp}/suite-print-queue-$(printf '%s' "$dir" | md5sum | cut -c1-16)"
file_uri() {
  local LC_ALL=C
  case "$dir" in
    *[!A-Za-z0-9/._~-]*)
      ln -sfn "$dir" "$safe_link" || unavailable "cannot link $safe_link to $dir"
      echo "file://$safe_link/$1" ;;
    *) echo "file://$dir/$1" ;;
  esac
}

running() { lpstat -r 2>/dev/null | grep -q "is running"; }

# The PID of the private scheduler of DIR when it still runs (empty otherwise): the
# process of the PID file, if it is a cupsd started with DIR's configuration.
our_cupsd() {
  local pid args i
  pid="$(cat "$pidfile" 2>/dev/null)"
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 0
  mapfile -d '' args <"/proc/$pid/cmdline" 2>/dev/null || return 0
  for ((i = 0; i + 1 < ${#args[@]}; i++)); do
    if [ "${args[i]}" = "-c" ] && [ "$(readlink -f -- "${args[i + 1]}")" = "$dir/cupsd.conf" ]; then
      echo "$pid"
      return 0
    fi
  done
}

stop_cupsd() {
  local pid i
  pid="$(our_cupsd)"
  rm -f "$pidfile"
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
}

# Run as root, cupsd hands jobs to its filters as the user and group lp, which must be
# able to read the spool.
as_root() { [ "$(id -u)" -eq 0 ] && getent passwd lp >/dev/null && getent group lp >/dev/null; }

# The scheduler's two files.
write_config() {
  local user="" group=""
  if as_root; then
    user="User lp"
    group="Group lp"
  fi
  cat >"$dir/cups-files.conf" <<CONF
# Written by print_queue.sh: the test scheduler's files, all under $dir.
ServerRoot $home/etc
RequestRoot $home/spool
TempDir $home/spool/tmp
CacheDir $home/cache
StateDir $home/state
AccessLog $home/log/access_log
ErrorLog $home/log/error_log
PageLog $home/log/page_log
FileDevice Yes
$user
$group
SystemGroup $(id -gn)
CONF
  cat >"$dir/cupsd.conf" <<CONF
# Written by print_queue.sh: the test scheduler listens on its own socket only.
Listen $sock
LogLevel warn
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
}

start() {
  rm -f "$dir/unavailable" "$dir/job.pdf"
  command -v lpadmin >/dev/null && command -v lpstat >/dev/null ||
    unavailable "the CUPS client programs are not installed"
  [ -f "$ppd_file" ] || unavailable "$ppd_file is missing (package cups-filters)"
  [ -x "$cupsd" ] || unavailable "$cupsd is not installed (package cups-daemon)"
  # A socket's path holds at most 107 bytes.
  [ "${#sock}" -le 100 ] || unavailable "the path $sock is too long for a socket"

  # A scheduler left by an earlier run that was cut short goes first; the queues start
  # from nothing.
  stop_cupsd
  rm -rf "$home" "$sock"
  mkdir -p "$home/etc/ppd" "$home/etc/ssl" "$home/spool/tmp" "$home/cache" "$home/state" \
    "$home/log"
  write_config
  if as_root; then
    chgrp -R lp "$home/spool" "$home/cache" "$home/state"
    chmod 0710 "$home/spool"
    chmod 1770 "$home/spool/tmp"
  fi

  # Detached, with its own output, so that CTest does not wait for it.
  setsid "$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null \
    >"$dir/cupsd.log" 2>&1 &
  echo $! >"$pidfile"
  started=1
  local i
  for i in $(seq 1 100); do
    running && break
    [ -n "$(our_cupsd)" ] || break
    sleep 0.1
  done
  running || {
    stop_cupsd
    unavailable "cupsd did not start: $(tail -n 3 "$dir/cupsd.log" "$home/log/error_log" 2>/dev/null)"
  }

  lpadmin -p "$queue" -v "$(file_uri job.pdf)" -m "$ppd" -E >"$dir/lpadmin.log" 2>&1 ||
    unavailable "lpadmin could not add the queue: $(cat "$dir/lpadmin.log")"
  lpadmin -d "$queue" >>"$dir/lpadmin.log" 2>&1 ||
    unavailable "lpadmin could not make $queue the default"
  echo "print queue $queue writes $dir/job.pdf (scheduler $sock, pid $(cat "$pidfile"))"
}

stop() {
  stop_cupsd
  rm -f "$sock"
  [ -L "$safe_link" ] && rm -f "$safe_link"
  exit 0
}

# A PDF printer that offers A4, U.S. Letter, U.S. Legal and A3, each with a printable
# area 0.25 inch in from the left and right edges and 0.5 inch from the top and bottom.
write_paper_ppd() {
  cat >"$1" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "SUITEPDF.PPD"
*Manufacturer: "Suite"
*Product: "(Suite Test PDF Printer)"
*ModelName: "Suite Test PDF Printer"
*ShortNickName: "Suite Test PDF Printer"
*NickName: "Suite Test PDF Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 1.0
*cupsManualCopies: True
*cupsFilter: "application/vnd.cups-pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageSize Legal/US Legal: "<</PageSize[612 1008]/ImagingBBox null>>setpagedevice"
*PageSize A3/A3: "<</PageSize[842 1191]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageRegion Legal/US Legal: "<</PageSize[612 1008]/ImagingBBox null>>setpagedevice"
*PageRegion A3/A3: "<</PageSize[842 1191]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*ImageableArea Letter/US Letter: "18 36 594 756"
*ImageableArea Legal/US Legal: "18 36 594 972"
*ImageableArea A3/A3: "18 36 824 1155"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension Legal/US Legal: "612 1008"
*PaperDimension A3/A3: "842 1191"
PPD
}

papers_unavailable() {
  echo "paper queues unavailable: $*" | tee "$dir/papers-unavailable"
  exit 0
}

papers() {
  rm -f "$dir/papers-unavailable"
  [ $# -gt 0 ] || { echo "papers: no paper named" >&2; exit 2; }
  [ -f "$dir/unavailable" ] && papers_unavailable "$(cat "$dir/unavailable")"
  command -v lpadmin >/dev/null || papers_unavailable "the CUPS client programs are not installed"
  running || papers_unavailable "cupsd is not running"
  local ppd_out="$dir/paper-printer.ppd" paper
  write_paper_ppd "$ppd_out"
  for paper in "$@"; do
    local size="${paper%-landscape}" orientation=()
    [ "$size" != "$paper" ] && orientation=(-o orientation-requested-default=4)
    case "$size" in
      A4|Letter|Legal|A3) ;;
      *) echo "papers: unknown paper $paper" >&2; exit 2 ;;
    esac
    mkdir -p "$dir/$paper"
    rm -f "$dir/$paper/job.pdf"
    lpadmin -p "${queue}_$paper" -v "$(file_uri "$paper/job.pdf")" -P "$ppd_out" -E \
      -o "PageSize=$size" "${orientation[@]}" >>"$dir/lpadmin.log" 2>&1 ||
      papers_unavailable "lpadmin could not add ${queue}_$paper: $(tail -n 3 "$dir/lpadmin.log")"
    echo "print queue ${queue}_$paper prints on $paper into $dir/$paper/job.pdf"
  done
}

unpapers() {
  local paper
  for paper in "$@"; do
    running && lpadmin -x "${queue}_$paper" >/dev/null 2>&1
  done
  exit 0
}

case "$action" in
  start) start ;;
  stop) stop ;;
  papers) papers "$@" ;;
  unpapers) unpapers "$@" ;;
  *) echo "usage: $0 start|stop DIR | papers|unpapers DIR PAPER..." >&2; exit 2 ;;
esac
