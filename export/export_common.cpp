// Shared pieces of surveyexport: formats, progress, pending outputs, CRS parsing.
#include "export/export_common.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

#include <cpl_error.h>
#include <gdal.h>

namespace surveyexport {
namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// ---- Temporary files removed when the program is interrupted ------------------------
// A fixed table, so that the signal handler touches no allocator: each slot holds the
// name of one pending temporary file while `used` is set.
constexpr int kSlots = 32;
constexpr size_t kSlotBytes = 4096;
struct Slot {
  std::atomic<bool> used{false};
  char path[kSlotBytes];
};
Slot g_slots[kSlots];
std::once_flag g_handlers_once;

void UnlinkWithSuffix(const char* path, const char* suffix) {
  char buf[kSlotBytes + 16];
  size_t n = strlen(path);
  size_t m = strlen(suffix);
  if (n + m >= sizeof buf) return;
  memcpy(buf, path, n);
  memcpy(buf + n, suffix, m + 1);
  unlink(buf);
}

extern "C" void RemovePendingOnSignal(int sig) {
  for (Slot& s : g_slots) {
    if (s.used.load()) {
      unlink(s.path);
      // SQLite's journals beside a GeoPackage being written.
      UnlinkWithSuffix(s.path, "-journal");
      UnlinkWithSuffix(s.path, "-wal");
      UnlinkWithSuffix(s.path, "-shm");
    }
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

void InstallHandlers() {
  std::call_once(g_handlers_once, [] {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction old {};
      sigaction(sig, nullptr, &old);
      if (old.sa_handler == SIG_IGN) continue;  // started with the signal ignored (nohup)
      struct sigaction sa {};
      sa.sa_handler = RemovePendingOnSignal;
      sigemptyset(&sa.sa_mask);
      sigaction(sig, &sa, nullptr);
    }
  });
}

int Track(const std::string& path) {
  if (path.size() >= kSlotBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = g_slots[i];
    if (!s.used.load()) {
      memcpy(s.path, path.c_str(), path.size() + 1);
      s.used.store(true);
      return i;
    }
  }
  return -1;
}

void Untrack(const std::string& path) {
  for (Slot& s : g_slots) {
    if (s.used.load() && path == s.path) {
      s.used.store(false);
      return;
    }
  }
}

void RemoveWithJournals(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
  for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(path + suffix, ec);
}

// The first `max` bytes of a name, cut before a UTF-8 continuation byte.
std::string ShortenName(const std::string& s, size_t max) {
  if (s.size() <= max) return s;
  size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

std::string FolderOf(const fs::path& target) {
  fs::path dir = target.parent_path();
  return dir.empty() ? std::string(".") : dir.string();
}

}  // namespace

// ---- Formats ---------------------------------------------------------------------------

Format FormatFromPath(const std::string& path) {
  const std::string ext = Lower(fs::path(path).extension().string());
  if (ext == ".dxf") return Format::Dxf;
  if (ext == ".gpkg") return Format::Gpkg;
  if (ext == ".geojson" || ext == ".json") return Format::GeoJson;
  if (ext == ".kml") return Format::Kml;
  if (ext == ".csv") return Format::Csv;
  if (ext == ".xlsx") return Format::Xlsx;
  if (ext == ".pdf") return Format::Pdf;
  if (ext == ".svg") return Format::Svg;
  return Format::Unknown;
}

Format FormatFromName(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "dxf") return Format::Dxf;
  if (n == "gpkg") return Format::Gpkg;
  if (n == "geojson") return Format::GeoJson;
  if (n == "kml") return Format::Kml;
  if (n == "csv") return Format::Csv;
  if (n == "xlsx") return Format::Xlsx;
  if (n == "pdf") return Format::Pdf;
  if (n == "svg") return Format::Svg;
  return Format::Unknown;
}

const char* FormatExtension(Format f) {
  switch (f) {
    case Format::Dxf: return ".dxf";
    case Format::Gpkg: return ".gpkg";
    case Format::GeoJson: return ".geojson";
    case Format::Kml: return ".kml";
    case Format::Csv: return ".csv";
    case Format::Xlsx: return ".xlsx";
    case Format::Pdf: return ".pdf";
    case Format::Svg: return ".svg";
    case Format::Unknown: break;
  }
  return "";
}

const char* GdalDriverName(Format f) {
  switch (f) {
    case Format::Dxf: return "DXF";
    case Format::Gpkg: return "GPKG";
    case Format::GeoJson: return "GeoJSON";
    case Format::Kml: return "KML";
    case Format::Csv: return "CSV";
    case Format::Xlsx: return "XLSX";
    default: break;
  }
  return nullptr;
}

// ---- Progress and messages -----------------------------------------------------------

Progress TerminalProgress(bool quiet) {
  if (quiet) return [](double) { return true; };
  // GDAL's terminal progress ("0...10...20...30 ... 100 - done.") on standard error:
  // GDALTermProgress itself writes to standard output, where the summary goes.
  auto shown = std::make_shared<int>(-1);  // quarter-tenths (2.5 %) already written
  return [shown](double done) {
    if (!(done >= 0)) done = 0;
    if (done > 1) done = 1;
    const int step = static_cast<int>(done * 40.0 + 1e-9);
    if (step <= *shown) return true;
    while (*shown < step) {
      ++*shown;
      if (*shown % 4 == 0) std::fprintf(stderr, "%d", *shown / 4 * 10);
      else std::fputc('.', stderr);
    }
    if (step == 40) std::fputs(" - done.\n", stderr);
    std::fflush(stderr);
    return true;
  };
}

std::string Shown(const std::string& name) {
  std::string s;
  s.reserve(name.size());
  for (const char ch : name) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == '\\') s += "\\\\";
    else if (ch == '\n') s += "\\n";
    else if (ch == '\r') s += "\\r";
    else if (ch == '\t') s += "\\t";
    else if (u < 0x20 || u == 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      s += "\\x";
      s += kHex[u >> 4];
      s += kHex[u & 15];
    } else {
      s += ch;
    }
  }
  return s;
}

int ReportProblem(std::ostream& err, const std::string& line) {
  err << "surveyexport: " << line << '\n';
  return kFailed;
}

int UsageError(std::ostream& err, const std::string& line) {
  err << "surveyexport: " << line << '\n' << "Try 'surveyexport --help'.\n";
  return kUsage;
}

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

namespace {
thread_local GdalErrorCapture* g_capture = nullptr;

void CaptureGdalError(CPLErr cls, CPLErrorNum, const char* msg) {
  if (cls < CE_Failure || g_capture == nullptr || msg == nullptr) return;
  std::string line(msg);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  g_capture->Keep(std::move(line));
}
}  // namespace

GdalErrorCapture::GdalErrorCapture() {
  CPLPushErrorHandler(&CaptureGdalError);
  previous_ = g_capture;
  g_capture = this;
}

GdalErrorCapture::~GdalErrorCapture() {
  g_capture = previous_;
  CPLPopErrorHandler();
}

// ---- Pending outputs -----------------------------------------------------------------

PendingOutput::~PendingOutput() { Discard(); }

void PendingOutput::Discard() {
  if (!pending_) return;
  RemoveWithJournals(temp_);
  Untrack(temp_);
  pending_ = false;
}

std::string PendingOutput::Reserve(const std::string& target, bool overwrite) {
  Discard();
  if (target.empty()) return "no output file named";
  const fs::path t(target);
  const std::string folder = FolderOf(t);
  std::error_code ec;
  const fs::file_status st = fs::status(t, ec);
  if (fs::exists(st)) {
    if (fs::is_directory(st)) return target + " is a folder, not a file";
    if (!overwrite) return target + " exists: use --overwrite";
  }
  if (!fs::is_directory(folder, ec)) return "cannot write to folder " + folder + ": no such folder";

  InstallHandlers();
  // Hidden, beside the target, ending in the target's extension so that the writer
  // picks the same format; the base is shortened so a long name still fits the folder.
  const std::string ext = t.extension().string();
  const std::string stem = ShortenName(t.stem().string(), 120);
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + stem + ".partial-" + std::to_string(getpid()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ext;
    const std::string path = (fs::path(folder) / name).string();
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return "cannot write to folder " + folder + ": " + std::strerror(errno);
    }
    close(fd);
    // The writer creates the file itself; the name is ours from here on.
    unlink(path.c_str());
    temp_ = path;
    target_ = target;
    overwrite_ = overwrite;
    pending_ = true;
    Track(temp_);
    return {};
  }
  return "cannot write to folder " + folder + ": no free temporary name";
}

std::string PendingOutput::Commit() {
  if (!pending_) return "nothing was written to " + target_;
  std::error_code ec;
  if (!fs::exists(temp_, ec)) {
    Discard();
    return "nothing was written to " + target_;
  }
  if (overwrite_) {
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
      const std::string why = std::strerror(errno);
      Discard();
      return "cannot write " + target_ + ": " + why;
    }
  } else {
    // Without --overwrite a file that appeared under the target's name meanwhile is kept:
    // a hard link fails rather than replace it.
    if (link(temp_.c_str(), target_.c_str()) == 0) {
      unlink(temp_.c_str());
    } else if (errno == EEXIST) {
      Discard();
      return target_ + " exists: use --overwrite";
    } else if (fs::exists(target_, ec)) {
      Discard();
      return target_ + " exists: use --overwrite";
    } else if (rename(temp_.c_str(), target_.c_str()) != 0) {
      const std::string why = std::strerror(errno);
      Discard();
      return "cannot write " + target_ + ": " + why;
    }
  }
  RemoveWithJournals(temp_);
  Untrack(temp_);
  pending_ = false;
  return {};
}

// ---- Output names --------------------------------------------------------------------

std::string OutputPathFor(const std::string& input, const std::string& dir, Format format) {
  const std::string name = fs::path(input).stem().string() + FormatExtension(format);
  if (dir.empty()) return name;
  return (fs::path(dir) / name).string();
}

std::string ExactText(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string JobsInFolder(const std::vector<std::string>& inputs, const std::string& dir,
                         Format format, std::vector<ExportJob>& jobs) {
  std::map<std::string, std::string> taken;  // output -> the input that writes it
  for (const std::string& input : inputs) {
    ExportJob job{input, OutputPathFor(input, dir, format)};
    if (auto [it, fresh] = taken.emplace(job.output, input); !fresh)
      return it->second + " and " + input + " would both be written to " + job.output +
             ": export them one at a time";
    jobs.push_back(std::move(job));
  }
  return {};
}

OptionWord SplitOption(const std::string& word) {
  OptionWord w{word, {}, false};
  if (const size_t eq = word.find('='); word.rfind("--", 0) == 0 && eq != std::string::npos) {
    w.name = word.substr(0, eq);
    w.value = word.substr(eq + 1);
    w.hasValue = true;
  }
  return w;
}

bool TakeOptionValue(const OptionWord& word, const std::vector<std::string>& args,
                     std::size_t& i, std::string& into) {
  if (word.hasValue) {
    into = word.value;
    return true;
  }
  if (i + 1 >= args.size()) return false;
  into = args[++i];
  return true;
}

// ---- Coordinate reference systems ----------------------------------------------------

std::string ParseCrs(const std::string& text, OGRSpatialReferenceH* out) {
  *out = nullptr;
  if (Lower(text) == "none") return {};
  const std::string quoted = "unknown CRS '" + text + "'";
  if (text.empty()) return quoted;
  // Only definitions on the command line: no CRS is fetched from a network address.
  const std::string lower = Lower(text);
  for (const char* scheme : {"http://", "https://", "ftp://", "/vsicurl"}) {
    if (lower.rfind(scheme, 0) == 0) return quoted;
  }
  RegisterGdal();
  GdalErrorCapture quiet;
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  if (OSRSetFromUserInput(srs, text.c_str()) != OGRERR_NONE) {
    OSRRelease(srs);
    return quoted;
  }
  OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  *out = srs;
  return {};
}

std::string ParseCrs(const std::string& text, SpatialRef* out) {
  OGRSpatialReferenceH h = nullptr;
  std::string problem = ParseCrs(text, &h);
  out->reset(h);
  return problem;
}

}  // namespace surveyexport
