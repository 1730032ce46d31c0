#pragma once
// The walk through a range of sections of up to five SEC files (no Qt), by the section
// plotter's own search and drawing pass. Each section is read twice: once to measure its
// extent, so that the sheet can be chosen, and once to draw it; nothing of a section is
// kept in memory between the two readings.
#include <functional>
#include <string>
#include <vector>

#include "export/input_check.h"
#include "export/section_layout.h"
#include "secplot/section_plot.h"

namespace surveyexport {

// One section page of the walk.
struct SectionPage {
  int number = 0;             // 1, 2, ... in the order drawn
  std::string name;           // field 1 of the header, 8 characters
  std::string chainage;       // field 2 of the header as written (blanks trimmed)
  Extent extent;              // of the ground lines of every file that holds the section
  std::vector<bool> present;  // per file: the section is in that file
};

class SectionRun {
 public:
  SectionRun() = default;
  SectionRun(const SectionRun&) = delete;
  SectionRun& operator=(const SectionRun&) = delete;
  ~SectionRun();

  // Opens the SEC files (a name without extension is tried with ".SEC" and ".sec" as
  // well). Empty on success, otherwise one line naming the file.
  std::string Open(const std::vector<std::string>& paths, bool heightLabels);
  const std::vector<std::string>& FileNames() const { return names_; }
  int FileCount() const { return state_.fileCount; }

  // Draws every section from the first name to the last one. begin() gives the surface a
  // measured page is drawn on (or nullptr to stop with the message it left in *error);
  // end() finishes it. Progress goes from 0 to 1 by the records read. Empty on success,
  // otherwise one line: a file that fails, a first section that no file holds, or a range
  // that ends before its last section.
  std::string Walk(
      const std::string& first, const std::string& last,
      const std::function<secplot::SectionCanvas*(const SectionPage&, std::string* error)>& begin,
      const std::function<std::string(const SectionPage&)>& end,
      const std::function<bool(double)>& progress = {});

 private:
  double Fraction() const;
  std::string FileFailure(int k, secplot::SectionResult result, const std::string& name) const;

  secplot::SectionPlotState state_;
  std::vector<std::string> names_;
  std::vector<InputFile> checked_;  // each file as it was when opened
};

// A section name as it reads in messages: without its trailing blanks, characters that
// cannot be printed shown as "?".
std::string ShownName(const std::string& name);

}  // namespace surveyexport
