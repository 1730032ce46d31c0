// Runs one parsed surveyexport command: its jobs, the progress bar, the summaries.
#include "export/run_export.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "export/plan_export.h"
#include "export/plan_sheet.h"
#include "export/section_sheets.h"
#include "export/table_export.h"
#include "toolkit/number_text.h"
#include "toolkit/survey_files.h"

namespace surveyexport {
namespace fs = std::filesystem;

namespace {

// Inputs shorter than this are done before a progress bar could help.
constexpr double kProgressFromRecords = 10000;

// Whole records in a survey file by its kind (NEH, or SEC for sections, when the name says
// nothing); 0 when it cannot be measured. A SEC file may be named without its extension.
double RecordsIn(const std::string& path, bool sections) {
  std::error_code ec;
  std::string name = path;
  if (sections && !fs::is_regular_file(name, ec)) {
    for (const char* ext : {".SEC", ".sec"}) {
      if (fs::is_regular_file(path + ext, ec)) name = path + ext;
    }
  }
  if (!fs::is_regular_file(name, ec)) return 0;
  const auto bytes = fs::file_size(name, ec);
  if (ec) return 0;
  toolkit::SurveyKind kind = sections ? toolkit::SurveyKind::Sec : toolkit::SurveyKind::Neh;
  SurveyKindOfPath(name, &kind);
  return static_cast<double>(bytes / toolkit::RecordLength(kind));
}

// The progress of one export on the command's error stream: GDAL's terminal bar
// ("0...10...20 ... 100 - done."), for long inputs only and never with --quiet. open()
// tells whether a bar was started and not finished, so that a problem said after it
// begins on a line of its own.
class Bar {
 public:
  Bar(std::ostream& err, bool show, Progress own = {})
      : err_(err), show_(show), own_(std::move(own)) {}
  Progress Callback() {
    if (own_) return own_;
    if (!show_) return [](double) { return true; };
    return [this](double done) {
      if (!(done >= 0)) done = 0;
      if (done > 1) done = 1;
      const int step = static_cast<int>(done * 40.0 + 1e-9);
      while (shown_ < step) {
        ++shown_;
        if (shown_ % 4 == 0)
          err_ << shown_ / 4 * 10;
        else
          err_ << '.';
      }
      if (step == 40 && !ended_) {
        err_ << " - done.\n";
        ended_ = true;
      }
      err_.flush();
      return true;
    };
  }
  // Ends a bar cut short, so that the next line starts on its own.
  void Close() {
    if (shown_ >= 0 && !ended_) err_ << '\n';
    ended_ = true;
  }

 private:
  std::ostream& err_;
  bool show_;
  Progress own_;    // the caller's, instead of the bar
  int shown_ = -1;  // quarter-tenths (2.5 %) written
  bool ended_ = false;
};

int Problem(std::ostream& err, Bar& bar, const std::string& line) {
  bar.Close();
  return ReportProblem(err, line);
}

// The summary's word on records passed over, for the drawings and the other formats alike.
std::string SkippedPart(std::int64_t skipped) {
  return skipped ? "; " + std::to_string(skipped) + " records skipped (values not finite)" : "";
}

int RunPlanJob(const ExportOptions& o, const ExportJob& job, std::ostream& out, std::ostream& err) {
  double records = RecordsIn(job.input, false);
  if (!o.reference.empty()) records += RecordsIn(o.reference, false);
  Bar bar(err, !o.quiet && records >= kProgressFromRecords, o.progress);
  if (o.format == Format::Pdf || o.format == Format::Svg) {
    PlanSheetOptions s;
    s.neh = job.input;
    s.reference = o.reference;
    s.numbers = o.numbers;
    s.levels = o.levels;
    s.scale = o.scale;
    if (!o.paper.empty()) s.paper = o.paper;
    s.portrait = o.portrait;
    s.haveView = o.haveView;
    s.viewE1 = o.view[0];
    s.viewN1 = o.view[1];
    s.viewE2 = o.view[2];
    s.viewN2 = o.view[3];
    s.overwrite = o.overwrite;
    s.output = job.output;
    PlanSheetResult result;
    if (std::string e = DrawPlanSheet(s, bar.Callback(), &result); !e.empty())
      return Problem(err, bar, e);
    if (!result.note.empty()) err << "surveyexport: " << result.note << "\n";
    out << Shown(job.output) << ": 1:" << toolkit::PlainNumberText(result.scale) << " on "
        << result.paper << SkippedPart(result.skipped) << "\n";
    return kDone;
  }
  PlanExportOptions p;
  p.input = job.input;
  p.reference = o.reference;
  p.output = job.output;
  p.format = o.format;
  p.numbers = o.numbers;
  p.levels = o.levels;
  p.flat = o.flat;
  p.wgs84 = o.wgs84;
  p.overwrite = o.overwrite;
  p.crs = o.crs.empty() ? DefaultCrs(o.format) : o.crs;
  p.datumShift = o.datumShift;
  PlanExportSummary s;
  if (std::string e = ExportPlan(p, bar.Callback(), s); !e.empty()) return Problem(err, bar, e);
  out << Shown(job.output) << ": " << s.points << " points, " << s.lines << " lines";
  if (o.format == Format::Dxf && (o.numbers || o.levels)) out << ", " << s.labels << " labels";
  out << SkippedPart(s.skipped);
  if (s.empty) out << "; " << s.empty << " unused records (N and E 0) left out";
  if (s.unplaced)
    out << "; " << s.unplaced << " points without a position in the output's system left out";
  if (s.unlocated)
    out << "; " << s.unlocated
        << " points without a position in WGS 84 (latitude and longitude empty)";
  out << "\n";
  if (s.shiftCompared) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", s.largestShiftDifference);
    out << "Largest horizontal difference between the official and the suite datum shift: " << buf
        << " m\n";
  }
  return kDone;
}

int RunTableJob(const ExportOptions& o, const ExportJob& job, std::ostream& out,
                std::ostream& err) {
  const double records = RecordsIn(job.input, false);
  Bar bar(err, !o.quiet && records >= kProgressFromRecords, o.progress);
  TableOptions t;
  t.input = job.input;
  t.output = job.output;
  t.overwrite = o.overwrite;
  t.crs = o.crs.empty() ? kDefaultCrs : o.crs;
  t.progress = bar.Callback();
  TableSummary summary;
  if (std::string e = ExportTable(t, &summary); !e.empty()) return Problem(err, bar, e);
  out << SummaryLine(t, summary) << '\n';
  return kDone;
}

int RunSections(const ExportOptions& o, const std::string& output, std::ostream& out,
                std::ostream& err) {
  double records = 0;
  for (const std::string& input : o.inputs) records += RecordsIn(input, true);
  Bar bar(err, !o.quiet && records >= kProgressFromRecords, o.progress);
  SectionsOptions s;
  s.inputs = o.inputs;
  s.from = o.from;
  s.to = o.to;
  s.horizontal = o.horizontal;
  s.vertical = o.vertical;
  s.heights = o.heights;
  if (!o.paper.empty()) s.paper = o.paper;
  s.fit = o.fit;
  s.overwrite = o.overwrite;
  s.output = output;
  SectionsResult result;
  if (std::string e = DrawSections(s, bar.Callback(), &result); !e.empty())
    return Problem(err, bar, e);
  for (const std::string& note : result.notes) err << "surveyexport: " << note << "\n";
  out << result.pages << (result.pages == 1 ? " section" : " sections") << " drawn to ";
  for (std::size_t k = 0; k < result.written.size(); ++k) {
    if (k == 3 && result.written.size() > 4) {
      out << ", ... " << Shown(result.written.back());
      break;
    }
    out << (k ? ", " : "") << Shown(result.written[k]);
  }
  out << "\n";
  return kDone;
}

}  // namespace

int RunExport(const ExportOptions& o, std::ostream& out, std::ostream& err) {
  RegisterGdal();
  std::vector<ExportJob> jobs;
  if (o.outputDir.empty()) {
    jobs.push_back({o.inputs.front(), o.output});
  } else if (o.command == Command::Sections) {
    jobs.push_back({o.inputs.front(), OutputPathFor(o.inputs.front(), o.outputDir, o.format)});
  } else if (std::string clash = JobsInFolder(o.inputs, o.outputDir, o.format, jobs);
             !clash.empty()) {
    return ReportProblem(err, clash);
  }
  // The output folder is made once the outputs are known not to clash.
  if (!o.outputDir.empty()) {
    std::error_code ec;
    if (!fs::is_directory(o.outputDir, ec)) {
      fs::create_directories(o.outputDir, ec);
      if (ec)
        return ReportProblem(err, "cannot make folder " + Shown(o.outputDir) + ": " + ec.message());
    }
  }
  if (o.command == Command::Sections) return RunSections(o, jobs.front().output, out, err);
  int status = kDone;
  for (const ExportJob& job : jobs) {
    const int r =
        o.command == Command::Plan ? RunPlanJob(o, job, out, err) : RunTableJob(o, job, out, err);
    if (r != kDone) status = r;
  }
  return status;
}

}  // namespace surveyexport
