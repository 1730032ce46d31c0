#!/usr/bin/env bash
# A CUPS print queue for the tests: every job sent to the default printer "suite_pdf"
# is written, unchanged, as DIR/job.pdf, which the tests read back with pdftotext.
#
#   print_queue.sh start DIR   starts cupsd (unless one runs already) and sets up the queue
#   print_queue.sh stop DIR    stops the cupsd this script started
#   print_queue.sh papers DIR PAPER...    (after start) adds, for each PAPER (A4, Letter,
#                              Legal, A3), a queue "suite_pdf_PAPER" whose default paper
#                              is PAPER, writing DIR/PAPER/job.pdf; not made the default.
#                              PAPER-landscape (A4-landscape) prints landscape by default
#   print_queue.sh unpapers DIR PAPER...  removes those queues again
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
    lpadmin -p "${queue}_$paper" -v "file://$dir/$paper/job.pdf" -P "$ppd_out" -E \
      -o "PageSize=$size" "${orientation[@]}" >>"$dir/lpadmin.log" 2>&1 ||
      papers_unavailable "lpadmin could not add ${queue}_$paper: $(tail -n 3 "$dir/lpadmin.log")"
    echo "print queue ${queue}_$paper prints on $paper into $dir/$paper/job.pdf"
  done
}

unpapers() {
  local paper
  for paper in "$@"; do
    lpadmin -x "${queue}_$paper" >/dev/null 2>&1 || true
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
