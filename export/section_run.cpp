// Walk through a range of sections, measuring each before it is drawn.
#include "export/section_run.h"

#include <algorithm>

#include "export/export_common.h"

namespace surveyexport {

namespace {

// Takes the extent of the ground line and draws nothing.
class ExtentCanvas : public secplot::SectionCanvas {
 public:
  void ClearPage(secplot::Colour) override {}
  void SetWorld(double, double, double, double) override {}
  void Pixel(double x, double y, secplot::Colour) override { extent.Add(x, y); }
  void Line(double x1, double y1, double x2, double y2, secplot::Colour, int) override {
    extent.Add(x1, y1);
    extent.Add(x2, y2);
  }
  void Label(double, double, const std::string&, const secplot::LabelFont&, secplot::Colour,
             secplot::Colour) override {}
  Extent extent;
};

// What a page may change in the run, kept so that the second reading starts where the
// first one did.
struct Mark {
  std::vector<std::int64_t> records;
  bool lastReached = false, lastPage = false;
  std::string nextName, sectionName;
};

Mark MarkOf(const secplot::SectionPlotState& s) {
  Mark m;
  for (int k = 0; k < s.fileCount; ++k) m.records.push_back(s.files[k].record);
  m.lastReached = s.lastReached;
  m.lastPage = s.lastPage;
  m.nextName = s.nextName;
  m.sectionName = s.sectionName;
  return m;
}

void Restore(secplot::SectionPlotState& s, const Mark& m) {
  for (int k = 0; k < s.fileCount; ++k) s.files[k].record = m.records[k];
  s.lastReached = m.lastReached;
  s.lastPage = m.lastPage;
  s.nextName = m.nextName;
  s.sectionName = m.sectionName;
}

bool HasExtension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

std::string ShownName(const std::string& name) {
  std::string shown;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    shown += (u < 32 || u > 126) ? (c == '\0' ? ' ' : '?') : c;
  }
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  return shown;
}

SectionRun::~SectionRun() {
  for (int k = 0; k < state_.fileCount; ++k) toolkit::CloseSurveyFile(state_.files[k].file);
}

std::string SectionRun::Open(const std::vector<std::string>& paths, bool heightLabels) {
  if (paths.empty()) return "no SEC file given";
  if (paths.size() > static_cast<std::size_t>(secplot::kMaxFiles))
    return "at most 5 SEC files can be drawn together";
  for (const std::string& given : paths) {
    std::string path = given;
    if (!toolkit::SurveyFileExists(path) && !HasExtension(path)) {
      if (toolkit::SurveyFileExists(path + ".SEC"))
        path += ".SEC";
      else if (toolkit::SurveyFileExists(path + ".sec"))
        path += ".sec";
    }
    // The one input rule: a plain file holding a record, never a folder, pipe or device.
    InputFile checked;
    if (std::string problem = CheckInput(path, toolkit::SurveyKind::Sec, &checked);
        !problem.empty())
      return problem;
    secplot::SectionFileEntry& entry = state_.files[state_.fileCount];
    const toolkit::OpenResult opened =
        toolkit::OpenSurveyFileNamed(entry.file, path, toolkit::SurveyKind::Sec);
    if (opened == toolkit::OpenResult::Missing) return path + ": no such file";
    if (opened != toolkit::OpenResult::Ok) return path + ": cannot be read";
    entry.fileName = path;
    entry.labels = heightLabels;
    entry.record = 1;
    names_.push_back(path);
    checked_.push_back(checked);
    ++state_.fileCount;
  }
  return {};
}

double SectionRun::Fraction() const {
  double done = 0, all = 0;
  for (int k = 0; k < state_.fileCount; ++k) {
    const double count = state_.files[k].file.recordCount;
    all += count;
    done += std::min(count, static_cast<double>(state_.files[k].record - 1));
  }
  return all > 0 ? std::clamp(done / all, 0.0, 1.0) : 1.0;
}

std::string SectionRun::FileFailure(int k, secplot::SectionResult result,
                                    const std::string& name) const {
  const secplot::SectionFileEntry& entry = state_.files[k - 1];
  const std::string where = names_[k - 1] + ": section " + ShownName(name) + ": ";
  // The record the reader stopped at: the one after the last it took.
  const std::string record = std::to_string(std::max<std::int64_t>(1, entry.record - 1));
  // A file shorter now than when it was checked was cut while being read.
  if (std::string changed = CheckUnchanged(checked_[k - 1]); !changed.empty()) return changed;
  if (result == secplot::SectionResult::ReadError)
    return where + "record " + record + " cannot be read (the file was cut or is unreadable)";
  return where + "no section end where one is due (record " + record +
         "): more than 10 blank records after the header, or offsets after blank records";
}

std::string SectionRun::Walk(
    const std::string& first, const std::string& last,
    const std::function<secplot::SectionCanvas*(const SectionPage&, std::string* error)>& begin,
    const std::function<std::string(const SectionPage&)>& end,
    const std::function<bool(double)>& progress) {
  if (state_.fileCount == 0) return "no SEC file given";
  secplot::SetSectionRange(state_, first, last);
  const secplot::PageStyle& style = secplot::kMainPage;
  std::string previous;
  for (int number = 1;; ++number) {
    const std::string name = state_.firstName;
    SectionPage page;
    page.number = number;
    page.present.assign(state_.fileCount, false);

    // First reading: which files hold the section and how far it reaches.
    state_.nextName.clear();
    const Mark before = MarkOf(state_);
    // The next page is the section that follows this one in the first file that reads
    // one: another file without that section must not make the run skip it.
    bool nextRead = false;
    std::string next;
    for (int k = 1; k <= state_.fileCount; ++k) {
      const std::int64_t from = state_.files[k - 1].record;
      ExtentCanvas measure;
      const secplot::SectionOutcome o = secplot::DrawFileSection(state_, k, name, measure, style);
      if (o.result == secplot::SectionResult::NotFound) {
        state_.files[k - 1].record = from;  // a file without this section keeps its place
        continue;
      }
      if (o.result != secplot::SectionResult::Drawn) return FileFailure(k, o.result, name);
      page.present[k - 1] = true;
      page.extent.Add(measure.extent);
      if (o.nextNameRead && !nextRead) {
        nextRead = true;
        next = o.nextName;
      }
    }
    if (std::none_of(page.present.begin(), page.present.end(), [](bool b) { return b; })) {
      if (number == 1) return "no section " + ShownName(name) + " in any of the files";
      return "no section " + ShownName(name) + " after section " + ShownName(previous) +
             " in any of the files";
    }
    page.name = state_.sectionName;
    page.chainage = ShownName(state_.sectionChainage);
    if (page.extent.empty) {
      const auto k =
          std::find(page.present.begin(), page.present.end(), true) - page.present.begin();
      return Shown(names_[k]) + ": section " + ShownName(page.name) +
             " holds no offset records to draw";
    }
    const Mark after = MarkOf(state_);

    // Second reading: the same records again, drawn.
    Restore(state_, before);
    std::string error;
    secplot::SectionCanvas* canvas = begin(page, &error);
    if (!canvas) return error;
    for (int k = 1; k <= state_.fileCount; ++k) {
      if (!page.present[k - 1]) continue;
      const secplot::SectionOutcome o = secplot::DrawFileSection(state_, k, name, *canvas, style);
      if (o.result != secplot::SectionResult::Drawn) return FileFailure(k, o.result, name);
    }
    Restore(state_, after);
    if (nextRead && !before.lastReached) {
      state_.nextName = next;
      state_.lastReached = secplot::SameSectionName(next, state_.lastName);
    }
    if (std::string failed = end(page); !failed.empty()) return failed;
    if (progress && !progress(Fraction())) return "stopped";

    previous = page.name;
    // Reading stops at a file cut or changed since it was checked.
    for (const InputFile& f : checked_)
      if (std::string changed = CheckUnchanged(f); !changed.empty()) return changed;
    if (secplot::PageWasLast(state_)) break;
    if (secplot::PadName(state_.firstName) == std::string(8, ' ') || state_.firstName.empty())
      return "the range ends at section " + ShownName(previous) + ": no section " +
             ShownName(state_.lastName) + " follows it in any of the files";
  }
  if (progress) progress(1.0);
  return {};
}

}  // namespace surveyexport
