// surveyexport sections: SEC files to sections on paper (PDF, SVG) or to DXF.
#include <ostream>
#include <string>
#include <vector>

#include "export/export_common.h"
#include "export/section_layout.h"
#include "export/section_sheets.h"

namespace surveyexport {

namespace {

const char* const kSectionsUsage =
    "Usage: surveyexport sections SEC [SEC ...] --from NAME --to NAME --horizontal H\n"
    "                             --vertical V [--heights] [--paper A4|A3|A2|A1|A0] [--fit]\n"
    "                             [--overwrite] [--quiet] OUTPUT.pdf|OUTPUT.svg|OUTPUT.dxf\n"
    "  Draws the sections NAME to NAME of up to five SEC files, as the section plotter\n"
    "  finds them, at true scale: 1 m across is 1000/H mm, 1 m up is 1000/V mm.\n"
    "  Each file's ground line has its colour and line style (red solid, green dashed,\n"
    "  cyan dotted, yellow dash-dot, blue dash-dot-dot; printed in darker green, cyan and\n"
    "  yellow); --heights writes the height of every point beside it.\n"
    "  PDF: one page a section, landscape, on --paper (A4 unless given); a section too big\n"
    "  for it goes on the next larger sheet, or with --fit stays on the sheet at the\n"
    "  largest standard scales that fit; the page says so.\n"
    "  SVG: one file a page: OUTPUT.svg for a single section (--to as --from), otherwise\n"
    "  OUTPUT-1.svg, OUTPUT-2.svg, ... in the order drawn.\n"
    "  DXF: every section as polylines in (offset, height) metres, one above another over\n"
    "  a datum line and under its title; one layer a file, named after it.\n"
    "  A SEC file may be named without its extension (ROAD for ROAD.SEC). With\n"
    "  --output-dir DIR --format pdf|svg|dxf the drawing is named after the first file.\n"
    "  --crs is taken and has no effect: sections are offsets and heights.\n";

int Usage(std::ostream& err, const std::string& message) { return UsageError(err, message); }

}  // namespace

const char* SectionsUsage() { return kSectionsUsage; }

int RunSectionsCommand(const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err) {
  SectionsOptions o;
  std::vector<std::string> positional;
  bool haveH = false, haveV = false, quiet = false;
  std::string outputDir;
  Format format = Format::Unknown;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "sections") i = 1;
  for (; i < args.size(); ++i) {
    const OptionWord word = SplitOption(args[i]);
    const std::string& arg = word.name;
    const bool inlineValue = word.hasValue;
    auto take = [&](std::string& into) { return TakeOptionValue(word, args, i, into); };
    if (arg == "--help" || arg == "-h") {
      out << kSectionsUsage;
      return kDone;
    } else if (arg == "--from" || arg == "--to" || arg == "--horizontal" ||
               arg == "--vertical" || arg == "--paper" || arg == "--output-dir" ||
               arg == "--format" || arg == "--crs") {
      std::string v;
      if (!take(v)) return Usage(err, "option " + arg + " needs a value");
      if (arg == "--from") {
        o.from = v;
      } else if (arg == "--output-dir") {
        outputDir = v;
      } else if (arg == "--format") {
        format = FormatFromName(v);
        if (format != Format::Pdf && format != Format::Svg && format != Format::Dxf)
          return Usage(err, "--format " + v + ": sections are drawn to pdf, svg or dxf");
      } else if (arg == "--crs") {
        // Sections are offsets and heights: no coordinate system applies.
      } else if (arg == "--to") {
        o.to = v;
      } else if (arg == "--paper") {
        if (!PaperNamed(v)) return Usage(err, "--paper " + v + ": use A4, A3, A2, A1 or A0");
        o.paper = PaperNamed(v)->name;
      } else {
        const auto scale = ParseScale(v);
        if (!scale)
          return Usage(err, arg + " " + v + ": the scale is the number N of 1:N, above 0");
        (arg == "--horizontal" ? o.horizontal : o.vertical) = *scale;
        (arg == "--horizontal" ? haveH : haveV) = true;
      }
    } else if (inlineValue) {
      return Usage(err, "option " + arg + " takes no value");
    } else if (arg == "--heights") {
      o.heights = true;
    } else if (arg == "--fit") {
      o.fit = true;
    } else if (arg == "--overwrite") {
      o.overwrite = true;
    } else if (arg == "--quiet" || arg == "-q") {
      quiet = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(err, "unknown option " + arg + " for sections");
    } else {
      positional.push_back(arg);
    }
  }
  if (!outputDir.empty() || format != Format::Unknown) {
    // All the files make one drawing, named after the first of them.
    if (outputDir.empty() || format == Format::Unknown)
      return Usage(err, "--output-dir and --format go together");
    if (positional.empty()) return Usage(err, "sections needs SEC files");
    o.output = OutputPathFor(positional.front(), outputDir, format);
  } else {
    if (positional.size() < 2)
      return Usage(err, "sections needs SEC files and an output file");
    o.output = positional.back();
    positional.pop_back();
    format = FormatFromPath(o.output);
    if (format != Format::Pdf && format != Format::Svg && format != Format::Dxf)
      return Usage(err, o.output + ": sections are drawn to .pdf, .svg or .dxf");
  }
  o.inputs = positional;
  if (o.inputs.size() > 5) return Usage(err, "sections draws at most 5 SEC files together");
  if (o.from.empty()) return Usage(err, "sections needs --from NAME");
  if (!haveH || !haveV) return Usage(err, "sections needs --horizontal H and --vertical V");

  SectionsResult result;
  const std::string failed = DrawSections(o, TerminalProgress(quiet), &result);
  if (!failed.empty()) {
    return ReportProblem(err, failed);
  }
  for (const std::string& note : result.notes) err << "surveyexport: " << note << "\n";
  if (!quiet) {
    out << result.pages << (result.pages == 1 ? " section" : " sections") << " drawn to ";
    for (std::size_t k = 0; k < result.written.size(); ++k) {
      if (k == 3 && result.written.size() > 4) {
        out << ", ... " << result.written.back();
        break;
      }
      out << (k ? ", " : "") << result.written[k];
    }
    out << "\n";
  }
  return kDone;
}

}  // namespace surveyexport
