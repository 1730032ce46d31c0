// surveyexport table FILE [--crs CRS] [--overwrite] [--quiet] OUTPUT
// surveyexport table FILE... --output-dir DIR --format csv|gpkg|xlsx [--crs CRS] ...
#include <filesystem>
#include <memory>

#include "export/cli.h"
#include "export/commands.h"
#include "export/export_common.h"
#include "export/table_export.h"

namespace surveyexport {
namespace {

// Files shorter than this many records are exported without a progress bar.
constexpr std::int64_t kProgressFromRecords = 10000;

const char* kTableUsage =
    "Usage: surveyexport table FILE [--crs CRS] [--overwrite] [--quiet] OUTPUT\n"
    "       surveyexport table FILE... --output-dir DIR --format csv|gpkg|xlsx\n"
    "                          [--crs CRS] [--overwrite] [--quiet]\n"
    "Every record of a survey file (.DAT .NEH .SEC .STN .CHG .PTS .SOL) as one row, with\n"
    "the fields as brisel shows them, to CSV (.csv), GeoPackage (.gpkg) or XLSX (.xlsx).\n"
    "Empty records are left out; records holding values that are not numbers are skipped\n"
    "and counted. In a GeoPackage the rows of an NEH file are 3D points in the CRS given\n"
    "by --crs (EPSG:nnnn, a PROJ string, WKT or none; default EPSG:2326, the Hong Kong\n"
    "1980 Grid).\n";

}  // namespace

int RunTableCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RegisterGdal();
  std::vector<std::string> files;
  std::string outputDir, formatName, crs = kDefaultCrs;
  bool overwrite = false, quiet = false, haveDir = false, haveFormat = false;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      files.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionWord option = SplitOption(word);
    const std::string& name = option.name;
    const bool hasValue = option.hasValue;
    auto takeValue = [&](std::string* into) { return TakeOptionValue(option, args, i, *into); };
    if (name == "--help" || name == "-h") {
      out << kTableUsage;
      return kDone;
    } else if (name == "--overwrite" && !hasValue) {
      overwrite = true;
    } else if ((name == "--quiet" || name == "-q") && !hasValue) {
      quiet = true;
    } else if (name == "--crs") {
      if (!takeValue(&crs)) return UsageError(err, "--crs needs a value (EPSG:nnnn, a PROJ string, WKT or none)");
    } else if (name == "--output-dir") {
      if (!takeValue(&outputDir)) return UsageError(err, "--output-dir needs a folder");
      haveDir = true;
    } else if (name == "--format") {
      if (!takeValue(&formatName)) return UsageError(err, "--format needs a value (csv, gpkg or xlsx)");
      haveFormat = true;
    } else {
      return UsageError(err, "table: unknown option '" + word + "'");
    }
  }

  std::vector<ExportJob> jobs;
  if (haveDir || haveFormat) {
    if (!haveDir) return UsageError(err, "table: --format goes with --output-dir DIR");
    if (!haveFormat) return UsageError(err, "table: --output-dir needs --format csv, gpkg or xlsx");
    const Format format = FormatFromName(formatName);
    if (format != Format::Csv && format != Format::Gpkg && format != Format::Xlsx) {
      return UsageError(err, "table: --format '" + formatName + "' is not one of csv, gpkg, xlsx");
    }
    if (outputDir.empty()) return UsageError(err, "--output-dir needs a folder");
    if (files.empty()) return UsageError(err, "table: no survey file named");
    if (std::string clash = JobsInFolder(files, outputDir, format, jobs); !clash.empty())
      return ReportProblem(err, clash);
  } else {
    if (files.size() < 2) {
      return UsageError(err, files.empty() ? "table: no survey file named"
                                           : "table: no output named after " + files.front());
    }
    if (files.size() > 2) {
      return UsageError(err, "table: one survey file and one output (several files: "
                             "--output-dir DIR --format FMT)");
    }
    jobs.push_back({files[0], files[1]});
  }

  // The output folder is made when it is not there yet.
  if (!outputDir.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_directory(outputDir, ec)) {
      std::filesystem::create_directories(outputDir, ec);
      if (ec) return ReportProblem(err, "cannot make folder " + outputDir + ": " + ec.message());
    }
  }

  // A CRS that PROJ does not know stops everything before a file is written.
  if (crs != kDefaultCrs) {
    SpatialRef srs;
    if (std::string problem = ParseCrs(crs, &srs); !problem.empty()) return ReportProblem(err, problem);
  }

  int result = kDone;
  for (const ExportJob& job : jobs) {
    TableOptions options;
    options.input = job.input;
    options.output = job.output;
    options.overwrite = overwrite;
    options.crs = crs;
    // The bar is shown for long files only: a short file is done before it could help.
    // A bar cut short by a failure is ended before the message, which gets its own line.
    auto barOpen = std::make_shared<bool>(false);
    if (!quiet) {
      toolkit::SurveyKind kind;
      std::error_code ec;
      if (SurveyKindOfPath(job.input, &kind)) {
        const auto bytes = std::filesystem::file_size(job.input, ec);
        if (!ec && bytes >= static_cast<std::uintmax_t>(kProgressFromRecords * toolkit::RecordLength(kind))) {
          options.progress = [bar = TerminalProgress(false), barOpen](double done) {
            *barOpen = done < 1.0;
            return bar(done);
          };
        }
      }
    }
    TableSummary summary;
    const std::string problem = ExportTable(options, &summary);
    if (!problem.empty()) {
      if (*barOpen) err << '\n';
      ReportProblem(err, problem);
      result = kFailed;
      continue;
    }
    out << SummaryLine(options, summary) << '\n';
  }
  return result;
}

}  // namespace surveyexport
