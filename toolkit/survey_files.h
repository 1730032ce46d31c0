#pragma once
// Reader of the suite's survey data files (no Qt). Files are fixed-length records of
// 8-byte fields, little-endian IEEE doubles or 8-byte ASCII; no header, no count.
// Record r (1-based, the point number) starts at byte (r - 1) * record length.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace toolkit {

enum class SurveyKind { Dat, Neh, Sec, Stn, Chg, Pts, Sol };

// Record length in bytes: DAT 40, NEH 24, SEC 16, STN 32, CHG 40, PTS 16, SOL 32.
constexpr int RecordLength(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Dat:
      return 40;
    case SurveyKind::Neh:
      return 24;
    case SurveyKind::Sec:
      return 16;
    case SurveyKind::Stn:
      return 32;
    case SurveyKind::Chg:
      return 40;
    case SurveyKind::Pts:
      return 16;
    case SurveyKind::Sol:
      return 32;
  }
  return 40;
}
// The kind's extension in upper case, with its point: ".DAT", ".NEH", ...
const char* KindExtension(SurveyKind kind);

enum class OpenResult { Ok, Missing, Unreadable };

struct SurveyFile {
  std::FILE* handle = nullptr;
  SurveyKind kind = SurveyKind::Neh;
  std::string fileName;                    // full name, extension included
  double recordCount = 0;                  // file length / record length, a real number
  std::array<unsigned char, 40> record{};  // the last record read, zero-filled
  std::int64_t position = -1;              // byte offset the handle stands at, -1 unknown
  // The last record read was not wholly in the file as it stands now (past its end, a
  // record number below 1, or a file cut since it was opened); its missing bytes are zeros.
  bool beyondEnd = false;
};

// True when a file of exactly that name exists (the test made before opening). The name is
// used exactly as given: no case folding. A folder of that name exists too (and opens as
// Unreadable); a name holding a zero byte names nothing.
bool SurveyFileExists(const std::string& fullName);
// Appends the kind's extension to the name typed by the user, tests for existence and
// opens it. Missing: no such file. Unreadable: it exists but cannot be opened, or is not a
// plain file (a folder, a pipe, a device). Any file open before is closed first.
OpenResult OpenSurveyFile(SurveyFile& file, const std::string& nameWithoutExtension,
                          SurveyKind kind);
// The same with the full name given as it is.
OpenResult OpenSurveyFileNamed(SurveyFile& file, const std::string& fullName, SurveyKind kind);
void CloseSurveyFile(SurveyFile& file);

// Reads record r into file.record, zero-filling what lies beyond the end of the file
// (a record number below 1 or past the end reads as all zeros). Never fails; returns
// false when bytes could not be read for a reason other than the end of the file, or
// when no file is open. Reading the next record does not seek. A file cut or extended
// while open is not measured again: bytes read ahead may still be seen, bytes that are
// no longer (or not yet) in the file read as zeros, and file.beyondEnd tells so.
bool ReadRecord(SurveyFile& file, std::int64_t r);

// Field access on the last record read (i is 1-based, 1..5).
std::string FieldText(const SurveyFile& file, int i);  // the 8 bytes as text
// The same without trailing blanks and zero bytes (a name as it was typed).
std::string FieldTextTrimmed(const SurveyFile& file, int i);
double FieldBinary(const SurveyFile& file, int i);  // IEEE double, little-endian
// The IEEE double stored little-endian in the 8 bytes at `bytes`, on any host.
double LittleEndianDouble(const unsigned char* bytes);
double FieldNumber(const SurveyFile& file, int i);  // lenient text number

// Lenient text number over at most n bytes: leading spaces, tabs and line feeds skipped,
// then sign, digits, point, digits and an optional exponent; stops at the first other
// character; no number in front reads as 0. Locale-independent; never reads past n.
// Carriage returns are skipped like line feeds. The exponent letter may be E, e, D or d
// (double-precision writers use D) and is taken only when a digit follows it. A number
// too large for a double reads as an infinity of its sign, one too small as 0.
double ReadTextNumber(const char* text, std::size_t n);
inline double ReadTextNumber(std::string_view text) {
  return ReadTextNumber(text.data(), text.size());
}

// NEH packed height: stored s = sign(h) * (code * 10000 + |h|).
// code = |s| / 10000 truncated; |h| = |s| - code * 10000; h negated when s < 0. The
// height always lies in [0, 10000) in size (taken as the exact remainder of |s| by 10000).
// A NaN or infinite s gives a NaN height and code 0. For |s| beyond 2^53 the code is a
// large whole number and the height has no meaning.
struct PackedHeight {
  double height = 0;
  double code = 0;
};
PackedHeight DecodePackedHeight(double stored);

// Empty record of the file's kind (second and third values both zero):
// DAT vertical angle and distance; NEH easting and stored packed height; SEC both text
// numbers; STN northing and easting; CHG bearing and northing; SOL northing and easting;
// PTS never.
bool IsEmptyRecord(const SurveyFile& file);
// SEC: field 1 reads as the number 999.
bool IsSecTerminator(const SurveyFile& file);

}  // namespace toolkit
