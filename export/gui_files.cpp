// The facts the export window lists for each survey file.
#include "export/gui_files.h"

#include <cstring>

#include "export/export_common.h"
#include "export/input_check.h"
#include "export/section_run.h"
#include "export/table_export.h"

namespace surveyexport {

const char* KindTitle(toolkit::SurveyKind kind) {
  using toolkit::SurveyKind;
  switch (kind) {
    case SurveyKind::Dat:
      return "Observations (DAT)";
    case SurveyKind::Neh:
      return "Points (NEH)";
    case SurveyKind::Sec:
      return "Sections (SEC)";
    case SurveyKind::Stn:
      return "Stations (STN)";
    case SurveyKind::Chg:
      return "Chainages (CHG)";
    case SurveyKind::Pts:
      return "Point list (PTS)";
    case SurveyKind::Sol:
      return "Setting out (SOL)";
  }
  return "";
}

SurveyFileFacts ReadSurveyFileFacts(const std::string& path, const std::function<bool()>& keepGoing,
                                    bool* stopped) {
  SurveyFileFacts f;
  if (stopped) *stopped = false;
  f.known = SurveyKindOfPath(path, &f.kind);
  if (!f.known) {
    f.problem = Shown(path) +
                ": not a survey file (the name must end in .DAT .NEH .SEC .STN .CHG .PTS or .SOL)";
    return f;
  }
  TableReader reader;
  if (std::string e = reader.Open(path, f.kind); !e.empty()) {
    f.problem = e;
    return f;
  }
  f.records = reader.RecordCount();
  // Which of the numbers of a row are the northing and the easting.
  int north = -1, east = -1, numeric = 0;
  for (const TableColumn& c : TableColumns(f.kind)) {
    if (c.text || std::strcmp(c.name, "PT.") == 0) continue;
    if (std::strncmp(c.name, "NORTH", 5) == 0) north = numeric;
    if (std::strncmp(c.name, "EAST", 4) == 0) east = numeric;
    ++numeric;
  }
  std::int64_t rows = 0, skipped = 0;
  TableRow row;
  for (std::int64_t n = 1;; ++n) {
    if (keepGoing && n % 16384 == 0 && !keepGoing()) {
      if (stopped) *stopped = true;
      return f;
    }
    const TableReader::Step step = reader.Next(&row);
    if (step == TableReader::Step::End) break;
    if (step == TableReader::Step::Failed) {
      f.problem = reader.Problem();
      return f;
    }
    if (step == TableReader::Step::Skipped) {
      ++skipped;
      continue;
    }
    ++rows;
    if (f.kind == toolkit::SurveyKind::Sec) {
      const std::string name = ShownName(row.texts[0]);
      if ((f.sections.empty() || f.sections.back() != name) && f.sections.size() < 100000)
        f.sections.push_back(name);
    }
    if (north < 0 || east < 0) continue;
    const double N = row.numbers[north], E = row.numbers[east];
    if (!f.haveExtent) {
      f.minE = f.maxE = E;
      f.minN = f.maxN = N;
      f.haveExtent = true;
    }
    f.minE = std::min(f.minE, E);
    f.maxE = std::max(f.maxE, E);
    f.minN = std::min(f.minN, N);
    f.maxN = std::max(f.maxN, N);
  }
  if (std::string changed = reader.Unchanged(); !changed.empty())
    f.problem = changed;
  else if (rows == 0)
    f.problem = NothingToExportLine(path, f.records, skipped);
  return f;
}

}  // namespace surveyexport
