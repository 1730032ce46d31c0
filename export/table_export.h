#pragma once
// `surveyexport table`: every record of a survey file as one row of a table, with the
// fields named and decoded as brisel shows them, to CSV, GeoPackage or XLSX.
//
// Rows per kind (columns in order; "PT." is the record number, the point number):
//   NEH  PT., NORTHINGS, EASTINGS, HEIGHT, CODE, LINE
//        northing and easting as absolute values, height and code decoded from the
//        packed height; LINE is 1 where the northing is negative (the plan's line
//        marker), else 0. The height is given to the decimals the stored value holds
//        (a stored 10012.921 is code 1, height 12.921). In a GeoPackage the rows are 3D points
//        (easting, northing, height) in the chosen CRS.
//   SEC  PT., SECTION, CHAINAGE, OFFSET, HEIGHT: one row per offset record, with the
//        name and chainage of the section it belongs to; header records and section
//        terminators give those and are not rows of their own.
//   DAT  PT., H.A., V.A., DIST., SIG.HT., CODE
//   STN  PT., STN. NAME, NORTHINGS, EASTINGS, HEIGHTS (in a GeoPackage 3D points, and CHG
//        and SOL rows 2D points at their northings and eastings, in the chosen CRS)
//   CHG  PT., CHAINAGE, BEARINGS, NORTHINGS, EASTINGS, RADIUS
//   PTS  PT., Item1/(N), Item2/(E) (both as text)
//   SOL  PT., CHAINAGE, NORTHINGS, EASTING, TAN BRG
// Empty records are left out; a record holding a value that is not a number or is
// infinite is skipped and counted. Numbers keep their full double precision.

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_common.h"
#include "export/input_check.h"
#include "toolkit/survey_files.h"

namespace surveyexport {

// The kind of a survey file by its extension, any letter case (.DAT .NEH .SEC .STN
// .CHG .PTS .SOL). False for any other name.
bool SurveyKindOfPath(const std::string& path, toolkit::SurveyKind* kind);

// Whether a kind's rows hold a position (NEH, STN, CHG, SOL): in a GeoPackage they are
// points, in --crs.
bool KindHasPositions(toolkit::SurveyKind kind);
// Whether --crs places anything among a table's inputs: true when any of them holds
// positions, or is of a kind its name does not tell (its reading then judges it).
bool CrsPlacesAny(const std::vector<std::string>& inputs);

struct TableColumn {
  const char* name;
  bool text;  // a text field; otherwise a real number (the record number: an integer)
};
// The columns of a kind's table, "PT." first.
std::vector<TableColumn> TableColumns(toolkit::SurveyKind kind);

// One row: the record number and the values of the columns after "PT.".
struct TableRow {
  std::int64_t record = 0;
  double numbers[6] = {};  // the numeric columns in order
  std::string texts[2];    // the text columns in order
};

// Reads a survey file's rows one at a time, by the suite's reading rules.
class TableReader {
 public:
  TableReader() = default;
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;
  ~TableReader();

  // Empty on success, else one line naming the file.
  std::string Open(const std::string& path, toolkit::SurveyKind kind);
  toolkit::SurveyKind Kind() const { return file_.kind; }
  // Whole records in the file (a trailing partial record is not one).
  std::int64_t RecordCount() const { return count_; }
  // The record number the next call starts at.
  std::int64_t NextRecord() const { return next_; }

  enum class Step { Row, Skipped, End, Failed };
  // The next row. Skipped: a record with a value that is not a number or infinite
  // (row.record names it). Failed: the file could not be read on; Problem() says why.
  Step Next(TableRow* row);
  const std::string& Problem() const { return problem_; }
  // After reading: empty while the file is still as it was opened, else the line saying
  // it was cut or changed meanwhile.
  std::string Unchanged() const { return CheckUnchanged(input_); }

 private:
  InputFile input_;
  toolkit::SurveyFile file_;
  std::int64_t count_ = 0;
  std::int64_t next_ = 1;
  bool expectHeader_ = true;  // SEC: the next non-empty record is a section header
  std::string sectionName_;
  double sectionChainage_ = 0;
  bool sectionUsable_ = true;  // SEC: the header's chainage is a finite number
  std::string problem_;
};

struct TableOptions {
  std::string input;
  std::string output;  // .csv, .gpkg or .xlsx, any letter case
  bool overwrite = false;
  std::string crs = kDefaultCrs;  // the CRS of an NEH GeoPackage's points; "none" for none
  Progress progress;              // may be empty
  // A worksheet holds 1,048,576 rows, the heading among them; a file with more rows is
  // refused rather than cut short.
  std::int64_t xlsxRowLimit = 1048575;
};

struct TableSummary {
  std::int64_t written = 0;
  std::int64_t skipped = 0;                // records with values not a number or infinite
  std::vector<std::int64_t> firstSkipped;  // the first few of them
  bool transformed = false;  // placed by --crs: a record may also lie beyond its reach
};

// Exports one file. Empty on success, else one line naming the file (and the record
// where it matters); the output is then left as it was.
std::string ExportTable(const TableOptions& options, TableSummary* summary);

// The line said after an export: "SITE.NEH -> SITE.gpkg: 120 records written, 2 skipped
// (not a number or infinite: records 7, 9)".
std::string SummaryLine(const TableOptions& options, const TableSummary& summary);

}  // namespace surveyexport
