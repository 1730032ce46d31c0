#pragma once
// The viewer's document (no Qt): a survey data file turned into text lines under a
// column header, or any other file taken byte for byte.
//
// The kind of a file is everything after the first "." of the full path, compared
// exactly with "NEH", "SEC", "DAT", "STN" and "SOL"; anything else (a lower-case "neh"
// or a folder with a point in its name included) is a text file. Record lines are
//   NumberText(record number) + for each item: two blanks and the item + CR LF
// with the items of the kind's table in document.cpp.
#include <cstdint>
#include <string>
#include <string_view>

namespace viewer {

enum class FileKind { Neh, Sec, Dat, Stn, Sol, Text };

// Kind of a path by the text after its first "." (case-sensitive).
FileKind KindOfPath(std::string_view path);
// Record length in bytes of a record kind (24, 16, 40, 32, 32); 0 for text.
int RecordLengthOf(FileKind kind);
// The column header line of a record kind, without CR LF; empty for text.
const char* HeaderLineOf(FileKind kind);

// Number of records the viewer shows: file length / record length rounded to the
// nearest whole number, halves to the even neighbour (36 bytes of NEH: 2; 60: 2; 84: 4).
std::int64_t ViewerRecordCount(std::int64_t fileLength, int recordLength);

// The viewer's own decoding of an NEH packed height s (80-bit arithmetic):
//   s > 0:  code = trunc(s / 10000),   height = s - 10000 * code
//   s <= 0: code = |trunc(s / 10000)|, height = -(|s| - 10000 * code)
// Both stay reals: a NaN, infinite or huge s never goes through an integer.
struct PackedHeight {
  long double height;
  long double code;
};
PackedHeight DecodeViewerHeight(double stored);

// Four decimals, truncated from the binary value, never rounded, in 80-bit extended
// precision: 12.5 -> " 12.5000", -12.5 -> "-12.5000", a stored 0.29 -> " 0.2899",
// a stored 2.675 -> " 2.6749", zero of either sign -> " 0.0000".
// Not-a-number and infinities read " NaN", " Inf" and "-Inf".
std::string FormatFixed4(double x);

// The suite's number text (leading blank or "-"), with a fast path for whole numbers
// and a readable form for NaN and infinities (" NaN", " Inf", "-Inf").
std::string ViewerNumberText(long double x);
std::string ViewerPlainNumberText(long double x);

// Why a load failed. The messages are those of MessageOf().
enum class LoadError {
  None,
  NotFound,          // "The file does not exist." (the existence test)
  PermissionDenied,  // access denied, a lock held by another program, write protection
  FileNotFound,
  PathNotFound,
  TooManyFiles,
  OutOfMemory,
  DeviceUnavailable,
  DiskNotReady,
  DiskMediaError,  // read or seek failure of the medium
  AccessError,     // any other failure: "Path/file access error"
  TooLarge,        // larger than the viewer can hold in memory
};
const char* MessageOf(LoadError error);

struct LoadResult {
  std::string text;  // the document text; empty on failure
  LoadError error = LoadError::None;
};

// Largest document text the viewer builds (bytes): the smaller of 256 MiB and a
// sixteenth of the machine's memory, so that the window, the preview and the printout
// all have room for their copies.
std::int64_t MaxDocumentBytes();

// Loads a file as the viewer shows it. A record file that cannot be opened gives its
// header line alone (no error), except when it is no longer there (FileNotFound); a text
// file that cannot be opened gives the error. A read that fails, also one just past the
// length measured at opening, gives DiskMediaError. A file that grows while it is read
// is shown as long as it was when measured; one that shrinks, as long as it still is.
// maxBytes overrides MaxDocumentBytes() when positive (tests and benchmarks).
LoadResult LoadSurveyFile(const std::string& path, std::int64_t maxBytes = 0);

// The moments of a load at which the file may change under the viewer: after the
// existence test (before opening), and after its length was taken (before reading).
enum class LoadStage { Checked, Measured };
// A function called at each of those moments with the path being loaded; nullptr for
// none. Lets tests change the file exactly there.
using LoadStageHook = void (*)(LoadStage stage, const std::string& path);
void SetLoadStageHook(LoadStageHook hook);

// The document text of a record kind from bytes already in memory (what
// LoadSurveyFile does after reading the file). Stops with TooLarge past maxBytes.
LoadResult FormatRecords(FileKind kind, std::string_view bytes, std::int64_t maxBytes);

// Folder part of a path: up to and including its last "\" or "/"; empty when none.
std::string FolderOfPath(std::string_view path);

}  // namespace viewer
