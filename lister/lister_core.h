#pragma once
// The lister's run state and the listing of one record (no Qt): which records are
// listed, which are passed over as empty, and the line each listed record prints as.
#include <string>

#include "toolkit/print_using.h"
#include "toolkit/survey_files.h"

namespace lister {

// The six kinds the lister asks for, in the order it asks.
inline constexpr toolkit::SurveyKind kListedKinds[] = {
    toolkit::SurveyKind::Dat, toolkit::SurveyKind::Neh, toolkit::SurveyKind::Sec,
    toolkit::SurveyKind::Stn, toolkit::SurveyKind::Chg, toolkit::SurveyKind::Pts};

// State of one Start run. Every number is held as a double, as the listing works in
// record numbers that may come from typed text ("Start at Point No").
struct ListerState {
  double printerFlag = 0;  // 1: the listing goes to the printer
  double datFlag = 0, nehFlag = 0, secFlag = 0, stnFlag = 0, chgFlag = 0, ptsFlag = 0;
  double expectHeader = 1;   // SEC: the next record is a section header record
  double emptyCount = 0;     // SEC on the printer: empty records since the last terminator
  double currentRecord = 0;  // record being listed; the first record of the next page
  double startNumber = 0;    // "Start at Point No"
  double lastRecord = 0;     // record count of the file, or "End Pt.No."
  std::string fileName;      // as typed, with the kind's extension
  bool readFault = false;    // a record could not be read: the listing stopped short
};

// Puts the run state back to its values at the start of the questions.
void ResetRunState(ListerState& state);
// Sets the flag of one kind (and clears the others).
void SetKindFlag(ListerState& state, toolkit::SurveyKind kind);
// The kind whose flag is set; false when none is.
bool ChosenKind(const ListerState& state, toolkit::SurveyKind& kind);

// The question that asks for a kind: "DAT File (Y/N) " ...
std::string KindQuestion(toolkit::SurveyKind kind);
// The column heading printed above the records of a kind.
const char* ColumnHeading(toolkit::SurveyKind kind);

// The listing masks, compiled once.
struct ListingMasks {
  toolkit::Mask dat, neh, secOffset, secHeader, stn, chg, pts;
};
const ListingMasks& Masks();

// A text field as the listing shows it: the 8 bytes with zero bytes and other control
// characters as blanks and bytes outside ASCII as '?', so that nothing unprintable
// reaches the screen or the printer.
std::string PrintableField(const toolkit::SurveyFile& file, int i);

// Formats the listing line of the record last read into file, listed as record number
// recordNumber; for SEC, secHeader chooses the header mask over the offset mask. The line
// replaces the contents of `line`. No test for empty records is made here.
void FormatListingLine(toolkit::SurveyKind kind, const toolkit::SurveyFile& file,
                       double recordNumber, bool secHeader, std::string& line);

// Reads record r for the listing. Record numbers that cannot be in a file (below 1, past
// 2^53, not a number) read as all zeros, like records past the end of the file; so does
// a record the file holds only in part (its bytes are never listed as a point).
// Returns false when the open file could not be read (a disk or network fault).
bool ReadListingRecord(toolkit::SurveyFile& file, double r);

// Lists the record last read as state.currentRecord: skips empty records by the kind's
// rule, keeps the SEC header/offset flag and the terminator's reset of the empty count.
// Returns true and sets `line` when the record prints.
bool ListRecord(ListerState& state, toolkit::SurveyKind kind, const toolkit::SurveyFile& file,
                std::string& line);

// The printer listing's test after each record: true when the record's second and third
// values are both zero (the record holds no point). PTS records never are.
bool EndsPrinterListing(toolkit::SurveyKind kind, const toolkit::SurveyFile& file);

// Where the listed lines go; returns false when the listing must stop at once (the
// window was closed).
using LineSink = bool (*)(void* context, const std::string& line);

// One screen page: records state.currentRecord to state.currentRecord + 19, each listed
// line handed to sink. Returns false when the sink stopped the page. A record that
// cannot be read ends the page there and sets state.readFault.
bool ListPage(ListerState& state, toolkit::SurveyKind kind, toolkit::SurveyFile& file,
              LineSink sink, void* context);

// The printer listing in one pass: records from state.currentRecord up to
// state.lastRecord, ending after the first record that holds no point (SEC: after twenty
// of them since the last section terminator). A PTS file, which has no empty records, is
// listed up to state.lastRecord, records past the file's end as blank items. Returns
// false when the sink stopped it.
// A record that cannot be read ends the listing there and sets state.readFault.
bool ListInOnePass(ListerState& state, toolkit::SurveyKind kind, toolkit::SurveyFile& file,
                   LineSink sink, void* context);

// A typed record number as the listing uses it: the number rounded to the nearest whole
// record number (halves to the even one), so that no record is listed twice.
double WholeRecordNumber(double typed);

}  // namespace lister
