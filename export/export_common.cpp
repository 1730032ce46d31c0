// Shared pieces of surveyexport: formats, progress, pending outputs, CRS parsing.
#include "export/export_common.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

#include <cpl_conv.h>
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
// A fixed table, so that the signal handler touches no allocator: each slot holds the name
// of one pending temporary file, or of the hidden folder of a set of files together with a
// descriptor of that folder opened when it was made, while `kind` says which. A set counts
// as one slot whatever the number of its files.
constexpr int kSlots = 64;
constexpr size_t kSlotBytes = 4096;
enum SlotKind : int { kFree = 0, kFile = 1, kFolder = 2, kClaimed = 3 };
struct Slot {
  std::atomic<int> kind{kFree};
  int folder = -1;
  char path[kSlotBytes];
};
Slot g_slots[kSlots];
std::once_flag g_handlers_once;
// The signals that end the program and remove what is pending.
constexpr int kTerminating[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void UnlinkWithSuffix(const char* path, const char* suffix) {
  char buf[kSlotBytes + 16];
  size_t n = strlen(path);
  size_t m = strlen(suffix);
  if (n + m >= sizeof buf) return;
  memcpy(buf, path, n);
  memcpy(buf + n, suffix, m + 1);
  unlink(buf);
}

// Removes every entry of an open folder with system calls only (no allocation, no stdio):
// reads the entries in raw form, removes them, and reads again from the start until a
// pass finds nothing left to remove.
void EmptyFolder(int fd) {
  alignas(8) char buf[8192];
  for (int pass = 0; pass < 1000; ++pass) {
    if (lseek(fd, 0, SEEK_SET) < 0) return;
    bool removed = false;
    for (;;) {
      const long n = syscall(SYS_getdents64, fd, buf, sizeof buf);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        // struct linux_dirent64: d_ino (8), d_off (8), d_reclen (2), d_type (1), d_name.
        unsigned short reclen = 0;
        memcpy(&reclen, buf + at + 16, sizeof reclen);
        const char* name = buf + at + 19;
        const bool dot = name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
        if (!dot && unlinkat(fd, name, 0) == 0) removed = true;
        if (reclen == 0) break;
        at += reclen;
      }
    }
    if (!removed) return;
  }
}

void RemoveSlot(Slot& s) {
  const int kind = s.kind.load();
  if (kind == kFile) {
    unlink(s.path);
    // SQLite's journals beside a GeoPackage being written.
    UnlinkWithSuffix(s.path, "-journal");
    UnlinkWithSuffix(s.path, "-wal");
    UnlinkWithSuffix(s.path, "-shm");
  } else if (kind == kFolder) {
    if (s.folder >= 0) EmptyFolder(s.folder);
    rmdir(s.path);
  }
}

extern "C" void RemovePendingOnSignal(int sig) {
  const int saved = errno;
  for (Slot& s : g_slots) RemoveSlot(s);
  // Ended by the signal itself, as the one who sent it expects.
  signal(sig, SIG_DFL);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  raise(sig);
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
  errno = saved;
}

void InstallHandlers() {
  std::call_once(g_handlers_once, [] {
    for (int sig : kTerminating) {
      struct sigaction old {};
      sigaction(sig, nullptr, &old);
      if (old.sa_handler == SIG_IGN) continue;  // started with the signal ignored (nohup)
      struct sigaction sa {};
      sa.sa_handler = RemovePendingOnSignal;
      sigemptyset(&sa.sa_mask);
      // One cleaning at a time: the other terminating signals wait for it.
      for (int other : kTerminating) sigaddset(&sa.sa_mask, other);
      sigaction(sig, &sa, nullptr);
    }
    // A file grown past the size limit (ulimit -f): the write fails with EFBIG and the
    // checked write reports it, instead of the program being killed mid-file.
    struct sigaction old {};
    sigaction(SIGXFSZ, nullptr, &old);
    if (old.sa_handler == SIG_DFL) signal(SIGXFSZ, SIG_IGN);
  });
}

// A free slot for a file or a folder (folderFd >= 0); -1 when the table is full.
int Track(const std::string& path, SlotKind kind, int folderFd) {
  if (path.size() >= kSlotBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = g_slots[i];
    int expected = kFree;
    // Claimed first (a signal meanwhile passes it over), then filled and given its kind.
    if (s.kind.compare_exchange_strong(expected, kClaimed)) {
      memcpy(s.path, path.c_str(), path.size() + 1);
      s.folder = folderFd;
      s.kind.store(kind);
      return i;
    }
  }
  return -1;
}

void Untrack(int slot) {
  if (slot < 0) return;
  Slot& s = g_slots[slot];
  s.kind.store(kFree);
  if (s.folder >= 0) close(s.folder);
  s.folder = -1;
}

// Flushes a written file to the disk: 0, or the error number.
int SyncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = fsync(fd) == 0 ? 0 : errno;
  if (close(fd) != 0 && error == 0) error = errno;
  // A file system that cannot sync (EINVAL: a special file system) holds it already.
  return error == EINVAL ? 0 : error;
}

// Flushes a folder's entries (a rename into it) to the disk; best effort.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
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
    case Format::Dxf:
      return ".dxf";
    case Format::Gpkg:
      return ".gpkg";
    case Format::GeoJson:
      return ".geojson";
    case Format::Kml:
      return ".kml";
    case Format::Csv:
      return ".csv";
    case Format::Xlsx:
      return ".xlsx";
    case Format::Pdf:
      return ".pdf";
    case Format::Svg:
      return ".svg";
    case Format::Unknown:
      break;
  }
  return "";
}

const char* GdalDriverName(Format f) {
  switch (f) {
    case Format::Dxf:
      return "DXF";
    case Format::Gpkg:
      return "GPKG";
    case Format::GeoJson:
      return "GeoJSON";
    case Format::Kml:
      return "KML";
    case Format::Csv:
      return "CSV";
    case Format::Xlsx:
      return "XLSX";
    default:
      break;
  }
  return nullptr;
}

// ---- Progress and messages -----------------------------------------------------------

std::size_t Utf8LetterLength(const std::string& text, std::size_t i) {
  const auto u = static_cast<unsigned char>(text[i]);
  const std::size_t n = u < 0x80                 ? 1
                        : u >= 0xC2 && u <= 0xDF ? 2
                        : u >= 0xE0 && u <= 0xEF ? 3
                        : u >= 0xF0 && u <= 0xF4 ? 4
                                                 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

std::string Shown(const std::string& name) {
  std::string s;
  s.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char ch = name[i];
    const auto u = static_cast<unsigned char>(ch);
    if (u >= 0x80) {
      // A whole UTF-8 letter as it is; any other byte shown by its value, so that a
      // terminal never takes it for part of a letter.
      if (const std::size_t n = Utf8LetterLength(name, i); n > 0) {
        s.append(name, i, n);
        i += n - 1;
        continue;
      }
    }
    if (ch == '\\')
      s += "\\\\";
    else if (ch == '\n')
      s += "\\n";
    else if (ch == '\r')
      s += "\\r";
    else if (ch == '\t')
      s += "\\t";
    else if (u < 0x20 || u >= 0x7F) {
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
  std::call_once(once, [] {
    // No CRS text or grid reaches the network: PROJ's network access is off in this
    // process, whatever the environment says.
    CPLSetConfigOption("PROJ_NETWORK", "OFF");
    OSRSetPROJEnableNetwork(FALSE);
    GDALAllRegister();
  });
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

void HandleTerminatingSignals() { InstallHandlers(); }

std::string CannotWrite(const std::string& target, int error) {
  std::string line = "cannot write " + Shown(target);
  if (error != 0) line += std::string(": ") + std::strerror(error);
  return line;
}

PendingOutput::~PendingOutput() { Discard(); }

void PendingOutput::Discard() {
  if (!pending_) return;
  if (set_) {
    std::error_code ec;
    fs::remove_all(temp_, ec);
  } else {
    RemoveWithJournals(temp_);
  }
  Untrack(slot_);
  slot_ = -1;
  members_.clear();
  pending_ = false;
}

namespace {

// Checks the target and its folder before anything is written: "" or the line that says
// why the output cannot be written there.
std::string CheckTarget(const std::string& target, bool overwrite) {
  if (target.empty()) return "no output file named";
  const fs::path t(target);
  const std::string folder = FolderOf(t);
  std::error_code ec;
  const fs::file_status st = fs::status(t, ec);
  if (fs::exists(st)) {
    if (fs::is_directory(st)) return Shown(target) + " is a folder, not a file";
    if (!overwrite) return Shown(target) + " exists: use --overwrite";
  }
  if (!fs::is_directory(folder, ec))
    return "cannot write to folder " + Shown(folder) + ": no such folder";
  return {};
}

// A hidden name beside the target, unique to this process and call: ".STEM.partial-PID-N"
// followed by `ending`.
std::string TemporaryName(const fs::path& target, const std::string& ending) {
  static std::atomic<unsigned> counter{0};
  // The base is shortened so that a long name still fits the folder.
  const std::string stem = ShortenName(target.stem().string(), 120);
  const std::string name = "." + stem + ".partial-" + std::to_string(getpid()) + "-" +
                           std::to_string(counter.fetch_add(1)) + ending;
  return (fs::path(FolderOf(target)) / name).string();
}

}  // namespace

std::string PendingOutput::Reserve(const std::string& target, bool overwrite) {
  Discard();
  if (std::string problem = CheckTarget(target, overwrite); !problem.empty()) return problem;
  const fs::path t(target);
  const std::string folder = FolderOf(t);
  InstallHandlers();
  // Ending in the target's extension, so that the writer picks the same format.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = TemporaryName(t, t.extension().string());
    // Tracked before it exists, so that no signal can leave it behind.
    slot_ = Track(path, kFile, -1);
    if (slot_ < 0) return "cannot write " + Shown(target) + ": too many outputs at once";
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error = errno;
      Untrack(slot_);
      slot_ = -1;
      if (error == EEXIST) continue;
      return "cannot write to folder " + Shown(folder) + ": " + std::strerror(error);
    }
    close(fd);
    // The writer creates the file itself; the name is ours from here on.
    unlink(path.c_str());
    temp_ = path;
    target_ = target;
    overwrite_ = overwrite;
    set_ = false;
    pending_ = true;
    return {};
  }
  return "cannot write to folder " + Shown(folder) + ": no free temporary name";
}

std::string PendingOutput::ReserveSet(const std::string& output, bool overwrite) {
  Discard();
  if (output.empty()) return "no output file named";
  const fs::path t(output);
  const std::string folder = FolderOf(t);
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    return "cannot write to folder " + Shown(folder) + ": no such folder";
  InstallHandlers();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = TemporaryName(t, ".d");
    if (mkdir(path.c_str(), 0700) != 0) {
      if (errno == EEXIST) continue;
      return "cannot write to folder " + Shown(folder) + ": " + std::strerror(errno);
    }
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) slot_ = Track(path, kFolder, fd);
    if (fd < 0 || slot_ < 0) {
      const std::string why = fd < 0 ? std::strerror(errno) : "too many outputs at once";
      if (fd >= 0) close(fd);
      rmdir(path.c_str());
      slot_ = -1;
      return "cannot write to folder " + Shown(folder) + ": " + why;
    }
    temp_ = path;
    target_ = output;
    overwrite_ = overwrite;
    set_ = true;
    pending_ = true;
    return {};
  }
  return "cannot write to folder " + Shown(folder) + ": no free temporary name";
}

std::string PendingOutput::AddToSet(const std::string& target, std::string* path) {
  if (!pending_ || !set_) return "cannot write " + Shown(target) + ": no set reserved";
  if (std::string problem = CheckTarget(target, overwrite_); !problem.empty()) return problem;
  for (const Member& m : members_) {
    if (m.target == target) return Shown(target) + " is written twice";
  }
  // Inside the hidden folder, under its own number, so that no name is too long there.
  Member m;
  m.temp = (fs::path(temp_) /
            (std::to_string(members_.size() + 1) + fs::path(target).extension().string()))
               .string();
  m.target = target;
  members_.push_back(m);
  *path = m.temp;
  return {};
}

SignalsHeld::SignalsHeld() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kTerminating) sigaddset(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, &old_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

std::string PendingOutput::Commit() {
  if (!pending_) return "nothing was written to " + Shown(target_);
  SignalsHeld held;
  if (set_) {
    // Each file on the disk before any of them is moved.
    for (const Member& m : members_) {
      if (const int error = SyncFile(m.temp); error != 0) {
        Discard();
        return error == ENOENT ? "nothing was written to " + Shown(m.target)
                               : CannotWrite(m.target, error);
      }
    }
    // Moved one by one; an older file of a name is kept aside (a hard link in the hidden
    // folder) until the whole set is in place, so that it can be put back.
    struct Moved {
      const Member* member;
      std::string kept;  // the older file, or ""
    };
    std::vector<Moved> moved;
    std::string problem;
    int n = 0;
    for (const Member& m : members_) {
      Moved mv{&m, {}};
      std::error_code ec;
      if (overwrite_ && fs::exists(m.target, ec)) {
        const std::string kept = (fs::path(temp_) / ("older-" + std::to_string(++n))).string();
        if (link(m.target.c_str(), kept.c_str()) == 0) mv.kept = kept;
      }
      int error = 0;
      if (overwrite_) {
        if (rename(m.temp.c_str(), m.target.c_str()) != 0) error = errno;
      } else if (link(m.temp.c_str(), m.target.c_str()) == 0) {
        unlink(m.temp.c_str());
      } else {
        error = errno;
      }
      if (error != 0) {
        problem = error == EEXIST ? Shown(m.target) + " exists: use --overwrite"
                                  : CannotWrite(m.target, error);
        if (!mv.kept.empty()) unlink(mv.kept.c_str());
        break;
      }
      moved.push_back(mv);
    }
    if (!problem.empty()) {
      for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
        if (!it->kept.empty())
          rename(it->kept.c_str(), it->member->target.c_str());
        else
          unlink(it->member->target.c_str());
      }
      Discard();
      return problem;
    }
    const std::string folder = FolderOf(fs::path(target_));
    Discard();  // the older files kept aside and the hidden folder
    SyncFolder(folder);
    return {};
  }

  std::error_code ec;
  if (!fs::exists(temp_, ec)) {
    Discard();
    return "nothing was written to " + Shown(target_);
  }
  if (const int error = SyncFile(temp_); error != 0) {
    Discard();
    return CannotWrite(target_, error);
  }
  if (overwrite_) {
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      Discard();
      return CannotWrite(target_, error);
    }
  } else {
    // Without --overwrite a file that appeared under the target's name meanwhile is kept:
    // a hard link fails rather than replace it.
    if (link(temp_.c_str(), target_.c_str()) == 0) {
      unlink(temp_.c_str());
    } else if (errno == EEXIST) {
      Discard();
      return Shown(target_) + " exists: use --overwrite";
    } else if (fs::exists(target_, ec)) {
      Discard();
      return Shown(target_) + " exists: use --overwrite";
    } else if (rename(temp_.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      Discard();
      return CannotWrite(target_, error);
    }
  }
  RemoveWithJournals(temp_);
  Untrack(slot_);
  slot_ = -1;
  pending_ = false;
  SyncFolder(FolderOf(fs::path(target_)));
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

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string KindStem(const std::string& input) {
  const fs::path p(input);
  if (p.extension().empty()) return p.stem().string();
  std::string kind = p.extension().string().substr(1);
  for (char& c : kind) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return p.stem().string() + "-" + kind;
}

std::string JobsInFolder(const std::vector<std::string>& inputs, const std::string& dir,
                         Format format, std::vector<ExportJob>& jobs) {
  // Inputs of one base name but of different kinds (ROAD.SEC, ROAD.CHG) get their kind in
  // the output's name (ROAD-SEC.csv, ROAD-CHG.csv); the same name twice (a/SITE.NEH,
  // b/SITE.NEH) would write one output and is refused.
  std::map<std::string, int> stems;  // base name -> how many inputs have it
  for (const std::string& input : inputs) ++stems[fs::path(input).stem().string()];
  std::map<std::string, std::string> taken;  // output -> the input that writes it
  for (const std::string& input : inputs) {
    const fs::path p(input);
    std::string output = OutputPathFor(input, dir, format);
    if (stems[p.stem().string()] > 1 && !p.extension().empty())
      output = (fs::path(dir) / (KindStem(input) + FormatExtension(format))).string();
    if (auto [it, fresh] = taken.emplace(output, input); !fresh)
      return Shown(it->second) + " and " + Shown(input) + " would both be written to " +
             Shown(output) + ": export them one at a time";
    jobs.push_back({input, output});
  }
  return {};
}

// ParseCrs: see crs_rule.cpp, with the rule that decides which CRS texts are taken.

}  // namespace surveyexport
