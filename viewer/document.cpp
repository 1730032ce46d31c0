// The viewer's document: record files to text lines, text files byte for byte.
//
// Per kind, the items after the record number:
//   NEH  FormatFixed4(|northing|), FormatFixed4(|easting|), FormatFixed4(height), code
//   SEC  field 1 and field 2 as their 8 raw bytes
//   DAT  FormatFixed4 of fields 1 to 4, NumberText(field 5)
//   STN  name as its 8 raw bytes, FormatFixed4(northing), FormatFixed4(easting),
//        NumberText(height)
//   SOL  FormatFixed4 of fields 1 to 4
// Empty records are shown like any other; bytes past the end of the file read as zeros.
#include "viewer/document.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/number_text.h"
#include "toolkit/survey_files.h"

namespace viewer {

namespace {

constexpr long double kPlainLimit = 1e15L;  // whole numbers below this need no exponent

// Truncation toward zero. Below 2^53 through a 64-bit integer: the nearest double
// converts fast, and a step of one mends the rounding of that double. Above 2^53 every
// 80-bit value is whole except for a fraction that truncl takes away; NaN and the
// infinities go to truncl as well.
long double Trunc(long double x) {
  if (std::fabs(x) < 9007199254740992.0L) {
    std::int64_t n = static_cast<std::int64_t>(static_cast<double>(x));
    const long double t = static_cast<long double>(n);
    if (x >= 0) {
      if (t > x) --n;
    } else if (t < x) {
      ++n;
    }
    return static_cast<long double>(n);
  }
  return std::truncl(x);
}

// Appends the digits of a whole number 0 <= v < 1e15.
void AppendDigits(std::string& out, long double v) {
  // Whole and below 1e15: exact as a double, and the conversion is in range.
  auto n = static_cast<std::uint64_t>(static_cast<double>(v));
  char buf[24];
  int pos = 24;
  do {
    buf[--pos] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  out.append(buf + pos, static_cast<std::size_t>(24 - pos));
}

// Number text into out; the fast path covers whole numbers below 1e15.
void AppendNumberText(std::string& out, long double x, bool leadingBlank) {
  if (std::isnan(x)) {
    out += leadingBlank ? " NaN" : "NaN";
    return;
  }
  if (std::isinf(x)) {
    out += x < 0 ? "-Inf" : (leadingBlank ? " Inf" : "Inf");
    return;
  }
  long double a = std::fabs(x);
  if (a < kPlainLimit && Trunc(a) == a) {
    if (x < 0)
      out.push_back('-');
    else if (leadingBlank)
      out.push_back(' ');
    AppendDigits(out, a);
    return;
  }
  out += leadingBlank ? toolkit::NumberText(x) : toolkit::PlainNumberText(x);
}

void AppendTwoDigits(std::string& out, long double d) {
  // d is a truncated fraction times 100: 0 <= d < 100 for finite input. Clamp anyway so
  // that no value can index outside the digits.
  int v = 0;
  if (d > 0) v = d >= 99 ? 99 : static_cast<int>(d);
  out.push_back(static_cast<char>('0' + v / 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void AppendFixed4(std::string& out, double value) {
  long double x = value;
  if (std::isnan(x)) {
    out += " NaN";
    return;
  }
  if (std::isinf(x)) {
    out += x < 0 ? "-Inf" : " Inf";
    return;
  }
  const bool negative = x < 0;
  const long double a = std::fabs(x);
  const long double i = Trunc(a);
  const std::size_t start = out.size();
  AppendNumberText(out, i, true);  // " 12" (the integer part is never negative)
  out.push_back('.');
  const long double f = (a - i) * 100.0L;
  const long double d1 = Trunc(f);
  const long double f2 = (f - d1) * 100.0L;
  const long double d2 = Trunc(f2);
  AppendTwoDigits(out, d1);
  AppendTwoDigits(out, d2);
  if (negative) out[start] = '-';  // the leading blank becomes the sign
}

double DoubleAt(const unsigned char* p) { return toolkit::LittleEndianDouble(p); }

void AppendRaw(std::string& out, const unsigned char* p) {
  out.append(reinterpret_cast<const char*>(p), 8);
}

void AppendRecordLine(std::string& out, FileKind kind, std::int64_t r, const unsigned char* rec) {
  AppendNumberText(out, static_cast<long double>(r), true);
  auto item = [&out]() { out += "  "; };
  switch (kind) {
    case FileKind::Neh: {
      const PackedHeight ph = DecodeViewerHeight(DoubleAt(rec + 16));
      item();
      AppendFixed4(out, std::fabs(DoubleAt(rec)));
      item();
      AppendFixed4(out, std::fabs(DoubleAt(rec + 8)));
      item();
      AppendFixed4(out, static_cast<double>(ph.height));
      item();
      AppendNumberText(out, ph.code, true);
      break;
    }
    case FileKind::Sec:
      item();
      AppendRaw(out, rec);
      item();
      AppendRaw(out, rec + 8);
      break;
    case FileKind::Dat:
      for (int k = 0; k < 4; ++k) {
        item();
        AppendFixed4(out, DoubleAt(rec + 8 * k));
      }
      item();
      AppendNumberText(out, DoubleAt(rec + 32), true);
      break;
    case FileKind::Stn:
      item();
      AppendRaw(out, rec);
      item();
      AppendFixed4(out, DoubleAt(rec + 8));
      item();
      AppendFixed4(out, DoubleAt(rec + 16));
      item();
      AppendNumberText(out, DoubleAt(rec + 24), true);
      break;
    case FileKind::Sol:
      for (int k = 0; k < 4; ++k) {
        item();
        AppendFixed4(out, DoubleAt(rec + 8 * k));
      }
      break;
    case FileKind::Text:
      break;
  }
  out += "\r\n";
}

LoadError ErrorOfErrno(int e) {
  switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EWOULDBLOCK:
    case EISDIR:
      return LoadError::PermissionDenied;
    case ENOENT:
      return LoadError::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return LoadError::PathNotFound;
    case EMFILE:
    case ENFILE:
      return LoadError::TooManyFiles;
    case ENOMEM:
      return LoadError::OutOfMemory;
    case ENXIO:
    case ENODEV:
      return LoadError::DeviceUnavailable;
#ifdef ENOMEDIUM
    case ENOMEDIUM:
      return LoadError::DiskNotReady;
#endif
    case EIO:
    case ESPIPE:
      return LoadError::DiskMediaError;
    default:
      return LoadError::AccessError;
  }
}

// Opens a file for reading without sharing it: read and write access is asked for first,
// read-only access when write access is refused; then an exclusive lock that fails when
// another program holds one. Returns -1 with errno set on failure.
int OpenUnshared(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0 &&
      (errno == EACCES || errno == EROFS || errno == ETXTBSY || errno == EPERM || errno == EISDIR))
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EACCES;  // a folder is not a file to read
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = ENXIO;  // pipes and devices have no length to read in one piece
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    errno = EWOULDBLOCK;
    return -1;
  }
  // Reads block normally from here on.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Reads up to size bytes at the current position; returns the count read, -1 on error.
std::int64_t ReadFully(int fd, char* data, std::int64_t size) {
  std::int64_t done = 0;
  while (done < size) {
    const std::int64_t chunk = std::min<std::int64_t>(size - done, 1 << 24);
    const ssize_t got = ::read(fd, data + done, static_cast<std::size_t>(chunk));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;  // the file became shorter since its length was taken
    done += got;
  }
  return done;
}

std::int64_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::int64_t>(pages) * pageSize;
}

// Every record line is at least this long (record number, items, CR LF).
constexpr std::int64_t kShortestRecordLine = 16;

LoadStageHook g_loadStageHook = nullptr;

void AtStage(LoadStage stage, const std::string& path) {
  if (g_loadStageHook != nullptr) g_loadStageHook(stage, path);
}

// After the measured length has been read: one byte more is asked for, which must give
// the end of the file (or a byte the file has gained since). A failure here is a file
// whose reads fail, such as one that reports no length at all.
bool ReadsPastLength(int fd) {
  char probe;
  for (;;) {
    const ssize_t got = ::read(fd, &probe, 1);
    if (got >= 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

FileKind KindOfPath(std::string_view path) {
  const std::size_t dot = path.find('.');
  if (dot == std::string_view::npos) return FileKind::Text;
  const std::string_view ext = path.substr(dot + 1);
  if (ext == "NEH") return FileKind::Neh;
  if (ext == "SEC") return FileKind::Sec;
  if (ext == "DAT") return FileKind::Dat;
  if (ext == "STN") return FileKind::Stn;
  if (ext == "SOL") return FileKind::Sol;
  return FileKind::Text;
}

int RecordLengthOf(FileKind kind) {
  switch (kind) {
    case FileKind::Neh:
      return toolkit::RecordLength(toolkit::SurveyKind::Neh);
    case FileKind::Sec:
      return toolkit::RecordLength(toolkit::SurveyKind::Sec);
    case FileKind::Dat:
      return toolkit::RecordLength(toolkit::SurveyKind::Dat);
    case FileKind::Stn:
      return toolkit::RecordLength(toolkit::SurveyKind::Stn);
    case FileKind::Sol:
      return toolkit::RecordLength(toolkit::SurveyKind::Sol);
    case FileKind::Text:
      return 0;
  }
  return 0;
}

const char* HeaderLineOf(FileKind kind) {
  switch (kind) {
    case FileKind::Neh:
      return "PT.   NORTHINGS     EASTINGS     HEIGHT   CODE";
    case FileKind::Sec:
      return "PT.  DIST     HEIGHT      REMARKS";
    case FileKind::Dat:
      return "PT.    H.A.       V.A.      DIST.   SIG.HT.  CODE";
    case FileKind::Stn:
      return "PT. STN. NAME   NORTHINGS     EASTINGS    HEIGHTS";
    case FileKind::Sol:
      return "PT. CHAINAGE    NORTHINGS      EASTING      TAN BRG";
    case FileKind::Text:
      return "";
  }
  return "";
}

std::int64_t ViewerRecordCount(std::int64_t fileLength, int recordLength) {
  if (fileLength <= 0 || recordLength <= 0) return 0;
  const std::int64_t q = fileLength / recordLength;
  const std::int64_t r2 = 2 * (fileLength % recordLength);
  if (r2 > recordLength) return q + 1;
  if (r2 == recordLength) return (q % 2 == 0) ? q : q + 1;  // a half: to the even one
  return q;
}

PackedHeight DecodeViewerHeight(double stored) {
  const long double s = stored;
  PackedHeight out{};
  if (s > 0) {
    out.code = std::isfinite(s) ? Trunc(s / 10000.0L) : std::truncl(s / 10000.0L);
    out.height = s - 10000.0L * out.code;
  } else {
    out.code = std::fabs(std::isfinite(s) ? Trunc(s / 10000.0L) : std::truncl(s / 10000.0L));
    out.height = -(std::fabs(s) - 10000.0L * out.code);
  }
  return out;
}

std::string FormatFixed4(double x) {
  std::string out;
  AppendFixed4(out, x);
  return out;
}

std::string ViewerNumberText(long double x) {
  std::string out;
  AppendNumberText(out, x, true);
  return out;
}

std::string ViewerPlainNumberText(long double x) {
  std::string out;
  AppendNumberText(out, x, false);
  return out;
}

const char* MessageOf(LoadError error) {
  switch (error) {
    case LoadError::None:
      return "";
    case LoadError::NotFound:
      return "The file does not exist.";
    case LoadError::PermissionDenied:
      return "Permission denied";
    case LoadError::FileNotFound:
      return "File not found";
    case LoadError::PathNotFound:
      return "Path not found";
    case LoadError::TooManyFiles:
      return "Too many files";
    case LoadError::OutOfMemory:
      return "Out of memory";
    case LoadError::DeviceUnavailable:
      return "Device unavailable";
    case LoadError::DiskNotReady:
      return "Disk not ready";
    case LoadError::DiskMediaError:
      return "Disk media error";
    case LoadError::AccessError:
      return "Path/file access error";
    case LoadError::TooLarge:
      return "The file is too large to view.";
  }
  return "Path/file access error";
}

std::int64_t MaxDocumentBytes() {
  constexpr std::int64_t kCap = std::int64_t{256} << 20;
  const std::int64_t mem = PhysicalMemory();
  if (mem <= 0) return kCap;
  return std::min(kCap, mem / 16);
}

LoadResult FormatRecords(FileKind kind, std::string_view bytes, std::int64_t maxBytes) {
  LoadResult res;
  const int len = RecordLengthOf(kind);
  if (len == 0) return res;
  const std::int64_t n = ViewerRecordCount(static_cast<std::int64_t>(bytes.size()), len);
  if (maxBytes > 0 && n > maxBytes / kShortestRecordLine) {
    res.error = LoadError::TooLarge;
    return res;
  }
  std::string& out = res.text;
  out.reserve(static_cast<std::size_t>(std::min<std::int64_t>(
      64 + n * (len * 2 + 8), maxBytes > 0 ? maxBytes : std::int64_t{1} << 30)));
  out += HeaderLineOf(kind);
  out += "\r\n";
  unsigned char rec[40];
  for (std::int64_t r = 1; r <= n; ++r) {
    const std::int64_t off = (r - 1) * len;
    const std::int64_t have =
        std::min<std::int64_t>(len, static_cast<std::int64_t>(bytes.size()) - off);
    std::memset(rec, 0, sizeof rec);
    if (have > 0) std::memcpy(rec, bytes.data() + off, static_cast<std::size_t>(have));
    AppendRecordLine(out, kind, r, rec);
    if (maxBytes > 0 && static_cast<std::int64_t>(out.size()) > maxBytes) {
      res.text.clear();
      res.text.shrink_to_fit();
      res.error = LoadError::TooLarge;
      return res;
    }
  }
  return res;
}

LoadResult LoadSurveyFile(const std::string& path, std::int64_t maxBytes) {
  LoadResult res;
  if (maxBytes <= 0) maxBytes = MaxDocumentBytes();
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    res.error = LoadError::NotFound;
    return res;
  }
  const FileKind kind = KindOfPath(path);
  AtStage(LoadStage::Checked, path);
  const int fd = OpenUnshared(path);
  if (kind != FileKind::Text) {
    if (fd < 0 && errno == ENOENT) {
      // Gone since the existence test: the header alone would look like an empty file.
      res.error = LoadError::FileNotFound;
      return res;
    }
    if (fd < 0) {  // not reported: the header line alone
      res.text = std::string(HeaderLineOf(kind)) + "\r\n";
      return res;
    }
  } else if (fd < 0) {
    res.error = ErrorOfErrno(errno);
    return res;
  }
  struct stat fst {};
  if (::fstat(fd, &fst) != 0) {
    res.error = ErrorOfErrno(errno);
    ::close(fd);
    return res;
  }
  const std::int64_t size = fst.st_size;
  // The whole file is read in one piece: it must fit, and for a record kind so must the
  // text made from it (at least kShortestRecordLine bytes a record).
  const bool tooLarge = kind == FileKind::Text ? size > maxBytes
                                               : ViewerRecordCount(size, RecordLengthOf(kind)) >
                                                     maxBytes / kShortestRecordLine;
  if (tooLarge) {
    ::close(fd);
    res.error = LoadError::TooLarge;
    return res;
  }
  AtStage(LoadStage::Measured, path);
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(size));
  std::int64_t got = ReadFully(fd, bytes.data(), size);
  int readErrno = errno;
  if (got == size && !ReadsPastLength(fd)) {
    got = -1;
    readErrno = errno;
  }
  ::close(fd);  // also ends the lock
  if (got < 0) {
    res.error = readErrno == EISDIR ? LoadError::PermissionDenied : LoadError::DiskMediaError;
    return res;
  }
  bytes.resize(static_cast<std::size_t>(got));
  if (kind == FileKind::Text) {
    res.text = std::move(bytes);
    return res;
  }
  return FormatRecords(kind, bytes, maxBytes);
}

void SetLoadStageHook(LoadStageHook hook) { g_loadStageHook = hook; }

std::string FolderOfPath(std::string_view path) {
  const std::size_t p = path.find_last_of("\\/");
  if (p == std::string_view::npos) return std::string();
  return std::string(path.substr(0, p + 1));
}

}  // namespace viewer
