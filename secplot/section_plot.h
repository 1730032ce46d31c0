#pragma once
// One run of the section plotter (no Qt): the chosen SEC files, scales, the range of
// section names, the lower-left corner, and the reading and drawing of one section of one
// file onto a SectionCanvas.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "secplot/section_canvas.h"
#include "secplot/section_page.h"
#include "toolkit/survey_files.h"

namespace secplot {

constexpr int kMaxFiles = 5;
// More empty records than this in a row after a section header make the file fail.
constexpr int kMaxEmptyBeforeFirstPoint = 10;
constexpr double kTerminatorDistance = 999.0;
constexpr double kEndHeight = 999.9;

// Colour and pen style of the ground line of file position k (1..5).
Colour FileColour(int k);
int FilePenStyle(int k);

struct SectionFileEntry {
  std::string fileName;     // with ".SEC"
  bool labels = true;       // off when "Height Plot (Y/N)" was answered N
  std::int64_t record = 1;  // current record number; only moves forward in a run
  toolkit::SurveyFile file;
};

struct SectionPlotState {
  std::array<SectionFileEntry, kMaxFiles> files;
  int fileCount = 0;
  long double horizScale = 0, vertScale = 0;  // drawing scale denominators
  std::string firstName, lastName;            // padded with blanks to 8
  bool lastReached = false;                   // the last name has been found as the next section
  bool lastPage = false;                      // the current page is the last one
  long double x0 = 0, y0 = 0;                 // lower-left corner
  std::string sectionName;                    // field 1 of the header found on this page
  std::string sectionChainage;                // its field 2 as written, blanks trimmed
  std::string nextName;                       // read at the end of a section
  PageGeometry page;
  int failedFile = 0;  // position (1..5) of the file a page stopped at, 0 when none
};

// The name padded with blanks to 8 characters (longer names are kept whole).
std::string PadName(std::string_view name);
// True when the two section names are the same: letter case ignored, trailing blanks and
// zero bytes ignored. A blank name matches nothing.
bool SameSectionName(std::string_view a, std::string_view b);
// Field 1 of a record as a section name: 8 characters, zero bytes shown as blanks.
std::string SectionNameText(const toolkit::SurveyFile& file);

// Sets up the run for a new pair of names: pads them and sets both flags when they are the
// same section.
void SetSectionRange(SectionPlotState& state, std::string_view first, std::string_view last);

enum class SectionResult {
  Drawn,      // the section was found and drawn
  NotFound,   // the name is not in the file from its current record on
  FileError,  // more than 10 empty records after the header, or data after empty records
              // that is no section terminator
  ReadError,  // a record could not be read, or is no longer (wholly) in the file although
              // the file held it when it was opened (the file was cut since)
};

struct SectionOutcome {
  SectionResult result = SectionResult::Drawn;
  bool nextNameRead = false;
  std::string nextName;
};

// Finds the section in file k (1-based) from its current record on and draws its ground
// line and height labels; leaves the current record number after the section. When the
// next section's name is read it becomes state.nextName and sets state.lastReached when it
// is the last requested name.
SectionOutcome DrawFileSection(SectionPlotState& state, int k, std::string_view name,
                               SectionCanvas& canvas, const PageStyle& style);

enum class PageResult { Drawn, WrongSection, FileError, ReadError };
// Sets up the page from the state's scales and corner and draws the first name's section
// from every file in order; stops at the first file that fails (state.failedFile).
PageResult DrawSectionPage(SectionPlotState& state, SectionCanvas& canvas, const PageStyle& style);

// After a page: true when it was the last one; otherwise marks the coming page as the last
// when the last name was reached and makes the next section name the first name.
bool PageWasLast(SectionPlotState& state);

}  // namespace secplot
