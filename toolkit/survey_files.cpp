// Reader of the suite's survey data files.
//
// A file is opened once and read record by record through a buffered FILE*. The reader
// remembers where the handle stands, so reading the next record never seeks; a jump
// seeks once. Nothing beyond the current record is held in memory. Bytes that are not in
// the file (past its end, or a record number below 1) read as zero bytes, which is what
// the empty-record rule relies on. A file that shrinks or grows while it is open is not
// re-measured: records past its current end simply read as zeros.
#include "toolkit/survey_files.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace toolkit {

namespace {

int Seek(std::FILE* f, std::int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, offset, whence);
#else
  return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t Tell(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<std::int64_t>(ftello(f));
#endif
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* KindExtension(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Dat:
      return ".DAT";
    case SurveyKind::Neh:
      return ".NEH";
    case SurveyKind::Sec:
      return ".SEC";
    case SurveyKind::Stn:
      return ".STN";
    case SurveyKind::Chg:
      return ".CHG";
    case SurveyKind::Pts:
      return ".PTS";
    case SurveyKind::Sol:
      return ".SOL";
  }
  return "";
}

bool SurveyFileExists(const std::string& fullName) {
  // A name with a zero byte in it names no file (the system would see a shorter name).
  if (fullName.empty() || fullName.find('\0') != std::string::npos) return false;
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(fullName), ec) && !ec;
}

OpenResult OpenSurveyFile(SurveyFile& file, const std::string& nameWithoutExtension,
                          SurveyKind kind) {
  return OpenSurveyFileNamed(file, nameWithoutExtension + KindExtension(kind), kind);
}

OpenResult OpenSurveyFileNamed(SurveyFile& file, const std::string& fullName, SurveyKind kind) {
  CloseSurveyFile(file);
  file.kind = kind;
  file.fileName = fullName;
  if (!SurveyFileExists(fullName)) return OpenResult::Missing;

  // Only plain files are read: a folder, a pipe or a device of that name is reported as
  // unreadable instead of blocking the program or reading endless bytes.
  std::error_code ec;
  const auto status = std::filesystem::status(std::filesystem::path(fullName), ec);
  if (ec || !std::filesystem::is_regular_file(status)) return OpenResult::Unreadable;

  std::FILE* f = std::fopen(fullName.c_str(), "rb");
  if (f == nullptr) return OpenResult::Unreadable;
  std::int64_t length = -1;
  if (Seek(f, 0, SEEK_END) == 0) length = Tell(f);
  if (length < 0 || Seek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return OpenResult::Unreadable;
  }
  // Records are read one at a time; a larger buffer keeps sequential reading cheap.
  std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
  file.handle = f;
  file.position = 0;
  file.recordCount = static_cast<double>(length) / RecordLength(kind);
  return OpenResult::Ok;
}

void CloseSurveyFile(SurveyFile& file) {
  if (file.handle != nullptr) std::fclose(file.handle);
  file.handle = nullptr;
  file.recordCount = 0;
  file.position = -1;
  file.record.fill(0);
  file.beyondEnd = false;
}

bool ReadRecord(SurveyFile& file, std::int64_t r) {
  file.record.fill(0);
  file.beyondEnd = true;
  const std::int64_t length = RecordLength(file.kind);
  if (file.handle == nullptr) return false;
  // Record numbers below 1 do not exist in any file; numbers so large that their byte
  // offset cannot be formed lie past the end of every file.
  if (r < 1 || r - 1 > (std::numeric_limits<std::int64_t>::max() - length) / length) return true;
  const std::int64_t offset = (r - 1) * length;
  if (file.position != offset) {
    if (Seek(file.handle, offset, SEEK_SET) != 0) {
      file.position = -1;
      std::clearerr(file.handle);
      return true;  // an offset the system cannot reach is past the end
    }
  }
  const std::size_t got =
      std::fread(file.record.data(), 1, static_cast<std::size_t>(length), file.handle);
  const bool failed = got < static_cast<std::size_t>(length) && std::ferror(file.handle);
  if (got < static_cast<std::size_t>(length)) {
    std::clearerr(file.handle);
    std::memset(file.record.data() + got, 0, static_cast<std::size_t>(length) - got);
    if (failed) {
      file.position = -1;
      file.record.fill(0);
      return false;
    }
  }
  file.position = offset + static_cast<std::int64_t>(got);
  file.beyondEnd = got < static_cast<std::size_t>(length);
  return true;
}

std::string FieldText(const SurveyFile& file, int i) {
  if (i < 1 || i > 5) return std::string();
  return std::string(reinterpret_cast<const char*>(file.record.data()) + (i - 1) * 8, 8);
}

std::string FieldTextTrimmed(const SurveyFile& file, int i) {
  std::string text = FieldText(file, i);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

double FieldBinary(const SurveyFile& file, int i) {
  if (i < 1 || i > 5) return 0;
  return LittleEndianDouble(reinterpret_cast<const unsigned char*>(file.record.data()) +
                            (i - 1) * 8);
}

double LittleEndianDouble(const unsigned char* b) {
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = (bits << 8) | b[k];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double FieldNumber(const SurveyFile& file, int i) {
  if (i < 1 || i > 5) return 0;
  return ReadTextNumber(reinterpret_cast<const char*>(file.record.data()) + (i - 1) * 8, 8);
}

double ReadTextNumber(const char* text, std::size_t n) {
  if (text == nullptr) return 0;
  std::size_t p = 0;
  while (p < n && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' || text[p] == '\r')) ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  // The digits are copied into a small buffer of their own (at most kKeep of them, the
  // rest only move the decimal exponent), so that the conversion never looks at the
  // bytes that follow the field and a long text cannot overrun anything.
  constexpr std::size_t kKeep = 800;  // enough for the exact rounding of any double
  char buffer[kKeep + 24];
  std::size_t len = 0;
  long long shift = 0;  // decimal exponent of the last kept digit's place
  bool anyDigit = false;
  while (p < n && IsDigit(text[p])) {
    anyDigit = true;
    if (len == 0 && text[p] == '0') {
      // leading zeros carry no digits
    } else if (len < kKeep) {
      buffer[len++] = text[p];
    } else if (shift < 100000) {
      ++shift;
    }
    ++p;
  }
  if (p < n && text[p] == '.') {
    ++p;
    while (p < n && IsDigit(text[p])) {
      anyDigit = true;
      if (len == 0 && text[p] == '0') {
        if (shift > -100000) --shift;
      } else if (len < kKeep) {
        buffer[len++] = text[p];
        --shift;
      }
      ++p;
    }
  }
  if (!anyDigit) return 0;
  // Exponent: E or e, and also D or d as double-precision writers mark it. Taken only
  // when at least one digit follows; otherwise reading stops before the letter.
  long long exponent = 0;
  if (p < n && (text[p] == 'E' || text[p] == 'e' || text[p] == 'D' || text[p] == 'd')) {
    std::size_t q = p + 1;
    bool expNegative = false;
    if (q < n && (text[q] == '+' || text[q] == '-')) {
      expNegative = text[q] == '-';
      ++q;
    }
    if (q < n && IsDigit(text[q])) {
      while (q < n && IsDigit(text[q])) {
        if (exponent < 100000) exponent = exponent * 10 + (text[q] - '0');
        ++q;
      }
      if (expNegative) exponent = -exponent;
    }
  }
  if (len == 0) return 0.0;  // all zeros, whatever the sign
  exponent += shift;
  buffer[len++] = 'e';
  const auto written = std::to_chars(buffer + len, buffer + sizeof buffer - 1, exponent);
  len = static_cast<std::size_t>(written.ptr - buffer);
  buffer[len] = '\0';
  double value = 0;
  const auto result = std::from_chars(buffer, buffer + len, value, std::chars_format::scientific);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large for a double: infinite (honest, and shown as such); too small: zero.
    // The kept digits are not all zeros here, as zeros always convert.
    value = exponent < 0 ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

PackedHeight DecodePackedHeight(double stored) {
  PackedHeight out;
  if (!std::isfinite(stored)) {
    // No height and no code can be taken from a NaN or an infinity.
    out.height = std::numeric_limits<double>::quiet_NaN();
    out.code = 0;
    return out;
  }
  // The remainder is exact for every finite value, so the height always lies in
  // [0, 10000) and equals |s| - code * 10000 wherever that difference is exact; the
  // division can then only give the whole number of ten thousands.
  const long double a = std::fabs(static_cast<long double>(stored));
  const long double h = std::fmod(a, 10000.0L);
  const long double code = std::trunc((a - h) / 10000.0L);
  out.code = static_cast<double>(code);
  out.height = static_cast<double>(stored < 0 ? -h : h);
  return out;
}

bool IsEmptyRecord(const SurveyFile& file) {
  switch (file.kind) {
    case SurveyKind::Dat:
    case SurveyKind::Neh:
    case SurveyKind::Stn:
    case SurveyKind::Chg:
    case SurveyKind::Sol:
      return FieldBinary(file, 2) == 0 && FieldBinary(file, 3) == 0;
    case SurveyKind::Sec:
      return FieldNumber(file, 1) == 0 && FieldNumber(file, 2) == 0;
    case SurveyKind::Pts:
      return false;
  }
  return false;
}

bool IsSecTerminator(const SurveyFile& file) { return FieldNumber(file, 1) == 999; }

}  // namespace toolkit
