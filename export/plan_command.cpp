// surveyexport plan NEH [--reference NEH] [--numbers] [--levels] [--crs CRS]
//   [--datum-shift official|suite] [--2d] [--wgs84] [--overwrite] [--quiet]
//   [--output-dir DIR --format FMT] OUTPUT
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "export/commands.h"
#include "export/export_common.h"
#include "export/plan_export.h"
#include "export/plan_sheet.h"

namespace surveyexport {
namespace {

const char* const kPlanUsage =
    "Usage: surveyexport plan NEH [--reference NEH] [--numbers] [--levels] [--crs CRS]\n"
    "                         [--datum-shift official|suite] [--2d] [--wgs84]\n"
    "                         [--overwrite] [--quiet] OUTPUT\n"
    "       surveyexport plan NEH... --output-dir DIR --format dxf|gpkg|geojson|kml|csv [...]\n"
    "The plan as plandra draws it. Points (every record with a position: number, code,\n"
    "height, line marker) and lines (each run of joined records, split where the style\n"
    "digit changes: style, code, first and last record) to DXF (.dxf; layers POINTS,\n"
    "LINES_0..LINES_9, NUMBERS, LEVELS, REF_POINTS, REF_LINES; --numbers and --levels\n"
    "add the labels as text), GeoPackage (.gpkg; layers points, lines, ref_points,\n"
    "ref_lines in --crs, default EPSG:2326), GeoJSON and KML (.geojson, .kml; WGS 84\n"
    "through PROJ with --datum-shift official, the default, or through the converter's\n"
    "own chain with --datum-shift suite; the summary gives the largest difference) or\n"
    "CSV (.csv; --wgs84 adds latitude and longitude). --2d writes everything flat.\n";

// Files shorter than this are done before a progress bar could help.
constexpr std::uintmax_t kProgressFromBytes = 10000 * 24;

}  // namespace

int RunPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // To .pdf or .svg: the plan on paper at true scale (--scale, --paper, --portrait, --view).
  if (IsPlanSheetOutput(args)) return RunPlanSheetCommand(args, out, err);
  PlanExportOptions o;
  bool quiet = false;
  std::string outputDir, formatName;
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    const OptionWord word = SplitOption(args[i]);
    const std::string& a = word.name;
    auto value = [&](std::string& into) { return TakeOptionValue(word, args, i, into); };
    if (a == "--help" || a == "-h") {
      out << kPlanUsage << "\n" << PlanSheetUsage();
      return kDone;
    } else if (a == "--reference") {
      if (!value(o.reference)) return UsageError(err, "--reference needs a file name");
    } else if (a == "--numbers") {
      o.numbers = true;
    } else if (a == "--levels") {
      o.levels = true;
    } else if (a == "--crs") {
      if (!value(o.crs)) return UsageError(err, "--crs needs a value");
    } else if (a == "--datum-shift") {
      std::string v;
      if (!value(v)) return UsageError(err, "--datum-shift needs official or suite");
      if (v == "official") o.datumShift = DatumShift::Official;
      else if (v == "suite") o.datumShift = DatumShift::Suite;
      else return UsageError(err, "--datum-shift is official or suite, not '" + v + "'");
    } else if (a == "--2d") {
      o.flat = true;
    } else if (a == "--wgs84") {
      o.wgs84 = true;
    } else if (a == "--overwrite") {
      o.overwrite = true;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a == "--output-dir") {
      if (!value(outputDir)) return UsageError(err, "--output-dir needs a folder");
    } else if (a == "--format") {
      if (!value(formatName)) return UsageError(err, "--format needs a value");
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError(err, "unknown option '" + a + "' for plan");
    } else {
      words.push_back(a);
    }
  }

  std::vector<ExportJob> jobs;
  if (!outputDir.empty() || !formatName.empty()) {
    if (outputDir.empty() || formatName.empty())
      return UsageError(err, "--output-dir and --format go together");
    const Format f = FormatFromName(formatName);
    if (f == Format::Unknown) return UsageError(err, "unknown format '" + formatName + "'");
    if (words.empty()) return UsageError(err, "plan needs at least one NEH file");
    // Two inputs of the same name in different folders would write one output.
    if (std::string clash = JobsInFolder(words, outputDir, f, jobs); !clash.empty())
      return ReportProblem(err, clash);
  } else {
    if (words.size() != 2) return UsageError(err, "plan takes one NEH file and one output");
    jobs.push_back({words[0], words[1]});
  }

  int status = kDone;
  for (const auto& [input, output] : jobs) {
    o.input = input;
    o.output = output;
    o.format = FormatFromPath(output);
    if (o.format == Format::Unknown)
      return UsageError(err, output + ": unknown extension (.dxf .gpkg .geojson .kml .csv .pdf .svg)");
    if (o.format == Format::Pdf || o.format == Format::Svg || o.format == Format::Xlsx) {
      status = ReportProblem(err, output + ": a plan is written as .dxf, .gpkg, .geojson, .kml, .csv, .pdf or .svg");
      continue;
    }
    PlanExportSummary s;
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(input, ec);
    const bool longFile = !ec && bytes >= kProgressFromBytes;
    const std::string fault = ExportPlan(o, TerminalProgress(quiet || !longFile), s);
    if (!fault.empty()) {
      if (longFile && !quiet) std::fputc('\n', stderr);  // the bar cut short ends its line
      status = ReportProblem(err, fault);
      continue;
    }
    out << output << ": " << s.points << " points, " << s.lines << " lines";
    if (o.format == Format::Dxf && (o.numbers || o.levels)) out << ", " << s.labels << " labels";
    if (s.skipped) out << "; " << s.skipped << " records skipped (values not finite)";
    if (s.empty) out << "; " << s.empty << " unused records (N and E 0) left out";
    if (s.unplaced) out << "; " << s.unplaced << " points without a WGS 84 position left out";
    out << "\n";
    if (s.shiftCompared) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.4f", s.largestShiftDifference);
      out << "Largest horizontal difference between the official and the suite datum shift: "
          << buf << " m\n";
    }
  }
  return status;
}

}  // namespace surveyexport
