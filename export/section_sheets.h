#pragma once
// Sections drawn on paper to true scale: PDF (one page a section), SVG (one file a page)
// and DXF (every section in metres, one above another). The drawing itself is the section
// plotter's pass (secplot::DrawFileSection) through a surface that paints on the sheet.
#include <string>
#include <vector>

#include "export/export_common.h"

namespace surveyexport {

struct SectionsOptions {
  std::vector<std::string> inputs;  // up to five SEC files, in the order of their styles
  std::string from, to;             // the range of section names
  double horizontal = 0;            // 1 m across is 1000 / horizontal mm on the sheet
  double vertical = 0;              // 1 m up is 1000 / vertical mm on the sheet
  bool heights = false;             // height labels at the points
  std::string paper = "A4";         // the sheet asked for; a larger one when needed
  bool fit = false;                 // keep the sheet, change to standard scales that fit
  bool overwrite = false;
  std::string output;  // .pdf, .svg or .dxf
};

struct SectionsResult {
  int pages = 0;
  std::vector<std::string> written;  // the files written (several for SVG)
  std::vector<std::string> notes;    // a sheet or scale changed for a section
};

// The names of the SVG files of a run: the output itself when the range is one section
// (first and last names the same), otherwise NAME-1.svg, NAME-2.svg, ... beside it.
std::string SvgPagePath(const std::string& output, int page, bool oneSection);

// Draws the sections. Empty on success; otherwise one line saying what failed, naming the
// file, and nothing is left under the output's name.
std::string DrawSections(const SectionsOptions& options, const Progress& progress,
                         SectionsResult* result = nullptr);

// Print colour of a screen colour: those that do not read on white paper (the bright
// green, cyan and yellow of the screen) become a darker colour of the same family.
long PaperColour(long screenColour);

}  // namespace surveyexport
