#pragma once
// The one rule for the survey files every surveyexport command reads: what may be read,
// what is said when there is nothing to read, and what is said when the file is cut or
// changed while it is read. Every line names the file as Shown() gives it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "planplot/neh_source.h"
#include "toolkit/survey_files.h"

namespace surveyexport {

// A survey file as it was when it was checked: its identity and length, so that a later
// look can tell whether it was cut or changed meanwhile.
struct InputFile {
  std::string path;
  toolkit::SurveyKind kind = toolkit::SurveyKind::Neh;
  std::int64_t bytes = 0;
  std::int64_t records = 0;  // whole records
  std::uint64_t device = 0, inode = 0;
  std::int64_t modifiedNs = 0;  // last modification, nanoseconds since the epoch
};

// Checks that `path` names a plain file of whole records, at least one of them not all
// zero bytes. Empty when it does (and *file describes it), else one line:
//   NAME: no such file                     NAME is a folder, not a survey file
//   NAME is a pipe, not a survey file      NAME is a device, not a survey file
//   NAME: cannot be read (REASON)          NAME: the file is empty
//   NAME: holds no records (3 bytes, less than one record of 24 bytes)
//   NAME: holds no records (all 3 records are empty)
// Nothing but a plain file is opened, and that without waiting: a pipe never blocks.
std::string CheckInput(const std::string& path, toolkit::SurveyKind kind,
                       InputFile* file = nullptr);

// After reading: empty while the file is still the one checked, else one line:
// "NAME: record N is no longer in the file (the file was cut while being read)" when it is
// shorter now, "NAME: changed while being read: export it again" when it grew, was
// written to or replaced, "NAME: removed while being read" when it is gone.
std::string CheckUnchanged(const InputFile& file);

// "NAME: record N is no longer in the file (the file was cut while being read)".
std::string RecordGoneLine(const std::string& path, std::int64_t record);

// The line for a file of `records` records none of which gave anything to export, of which
// `skipped` hold a value that is not a number or infinite (the others are empty):
// "NAME: holds no records (all 3 records are empty)", "NAME: no record could be exported
// (its 1 record holds a value that is not a number or infinite)", ...
std::string NothingToExportLine(const std::string& path, std::int64_t records,
                                std::int64_t skipped);

// The NEH files of a plan pass, checked and watched: the pass reads them through Opener(),
// and Problem() then says the first file that was cut, changed or gave nothing to draw
// (a record is drawn when its values are finite and its northing and easting not both 0).
class WatchedNehFiles {
 public:
  // Checks each file (CheckInput); empty when all may be read, else the line of the first.
  std::string Check(const std::vector<std::string>& paths);
  planplot::NehOpener Opener();
  // Whole records of all the files when they were checked.
  double Records() const;
  // After the pass: "" or one line (as CheckUnchanged and NothingToExportLine say).
  std::string Problem() const;

  // What the last reading of one file found.
  struct Reading {
    std::int64_t read = 0, skipped = 0, drawn = 0;
    std::int64_t missing = 0;  // the first record found no longer in the file, or 0
    std::string changed;       // the file was opened and found other than checked
  };

 private:
  std::vector<InputFile> files_;
  std::vector<std::shared_ptr<Reading>> readings_;
};

}  // namespace surveyexport
