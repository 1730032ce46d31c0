#pragma once
// What the export window's list says of a survey file (no Qt): its kind, its records,
// the extent of its positions and, where reading finds a problem, the command line's own
// line for it. Read with the table command's reader, so that the list and the export
// agree on every record.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/survey_files.h"

namespace surveyexport {

struct SurveyFileFacts {
  bool known = false;  // one of the seven kinds, by the name's extension
  toolkit::SurveyKind kind = toolkit::SurveyKind::Neh;
  std::int64_t records = 0;  // whole records in the file
  // Eastings and northings of the records that hold a position (NEH, STN, CHG, SOL).
  bool haveExtent = false;
  double minE = 0, maxE = 0, minN = 0, maxN = 0;
  std::vector<std::string> sections;  // SEC: the section names in file order, trimmed
  std::string problem;                // the line the command line gives, without its program prefix
};

// Reads the file through. keepGoing is asked now and then; when it says false the reading
// stops and the facts so far are returned with stopped set.
SurveyFileFacts ReadSurveyFileFacts(const std::string& path,
                                    const std::function<bool()>& keepGoing = {},
                                    bool* stopped = nullptr);

// "Points (NEH)", "Sections (SEC)", ... as the list shows a kind.
const char* KindTitle(toolkit::SurveyKind kind);

}  // namespace surveyexport
