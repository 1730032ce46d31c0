// Time and peak memory of drawing at scale:
//   sections: every section of five SEC files of 100,000 records each to one PDF
//             (about 2,040 sections of 47 points each, height labels on), and the same
//             with one file of 20,000 records, to show that memory does not grow with
//             the number of records.
//   plan:     a 1,000,000-record NEH file (a 1 km square of spot levels with line work
//             every tenth run of records) to PDF and to SVG at the automatic scale; and
//             with point numbers and levels by the surveyexport program itself, whose
//             peak memory is its own (PDF: under 300 MB; SVG: under 1 GB or refused).
// Prints one line a case: records, pages, seconds, peak resident memory (getrusage).
// "bench_export_sheets DIR labelled" runs only the labelled 1,000,000-record plan to PDF,
// three times.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/plan_sheet.h"
#include "export/section_sheets.h"

namespace {

// An 8-byte field: numbers to the right, names to the left, as the suite's writers store them.
void Field(std::string& out, const char* text, bool name = false) {
  char field[9];
  std::snprintf(field, sizeof field, name ? "%-8.8s" : "%8.8s", text);
  out.append(field, 8);
}

// A SEC file of `records` records: sections of a header, 47 offsets and the end mark.
int WriteSec(const std::string& path, long records, int variant) {
  std::string bytes;
  bytes.reserve(records * 16);
  int sections = 0;
  char a[32], b[32];
  while (static_cast<long>(bytes.size() / 16) + 49 <= records) {
    ++sections;
    std::snprintf(a, sizeof a, "S%05d", sections);
    std::snprintf(b, sizeof b, "%8.3f", 1000.0 + 20 * sections);
    Field(bytes, a, true);
    Field(bytes, b);
    for (int i = 0; i < 47; ++i) {
      const double offset = -23 + i;
      const double height = 20 + 0.05 * variant + 0.002 * (i * i % 97) + 0.01 * (sections % 50);
      std::snprintf(a, sizeof a, "%8.3f", offset);
      std::snprintf(b, sizeof b, "%8.3f", height);
      Field(bytes, a);
      Field(bytes, b);
    }
    Field(bytes, "     999");
    Field(bytes, "   0.000");
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return sections;
}

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Sections(const std::string& dir, int files, long records) {
  surveyexport::SectionsOptions o;
  int sections = 0;
  for (int k = 1; k <= files; ++k) {
    const std::string path =
        dir + "/F" + std::to_string(k) + "_" + std::to_string(records) + ".SEC";
    sections = WriteSec(path, records, k);
    o.inputs.push_back(path);
  }
  char last[16];
  std::snprintf(last, sizeof last, "S%05d", sections);
  o.from = "S00001";
  o.to = last;
  o.horizontal = 200;
  o.vertical = 100;
  o.heights = true;
  o.overwrite = true;
  o.output = dir + "/sections.pdf";
  surveyexport::SectionsResult result;
  const auto start = std::chrono::steady_clock::now();
  const std::string failed = surveyexport::DrawSections(o, {}, &result);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!failed.empty()) {
    std::printf("sections: %s\n", failed.c_str());
    return;
  }
  std::printf(
      "sections: %d file(s) x %ld records, %d pages to PDF (%.1f MB): %.2f s, peak %ld kB\n", files,
      records, result.pages, std::filesystem::file_size(o.output) / 1e6, seconds, PeakKb());
}

void Double(std::string& out, double v) {
  char bytes[8];
  std::memcpy(bytes, &v, 8);  // little-endian on the machines the suite runs on
  out.append(bytes, 8);
}

// The plan's NEH file of `records` records: its path.
std::string WritePlan(const std::string& dir, long records) {
  const std::string path = dir + "/PLAN_" + std::to_string(records) + ".NEH";
  {
    std::string bytes;
    bytes.reserve(records * 24);
    for (long r = 0; r < records; ++r) {
      const double e = 836000 + (r % 1000);
      const double n = 820000 + (r / 1000) % 1000;
      // Runs of ten records: every tenth run is a line (marker on its first and last record).
      const bool line = (r / 10) % 10 == 0;
      const bool marker = line && (r % 10 == 0 || r % 10 == 9);
      const int code = line ? 21 : 1;
      Double(bytes, marker ? -n : n);
      Double(bytes, e);
      Double(bytes, code * 10000 + 10 + (r % 700) / 100.0);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

void Plan(const std::string& dir, long records) {
  const std::string path = WritePlan(dir, records);
  for (const char* ext : {".pdf", ".svg"}) {
    surveyexport::PlanSheetOptions o;
    o.neh = path;
    o.overwrite = true;
    o.paper = "A1";
    o.output = dir + "/plan" + ext;
    surveyexport::PlanSheetResult result;
    const auto start = std::chrono::steady_clock::now();
    const std::string failed = surveyexport::DrawPlanSheet(o, {}, &result);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!failed.empty()) {
      std::printf("plan: %s\n", failed.c_str());
      continue;
    }
    std::printf("plan: %ld records to %s at 1:%g on %s (%.1f MB): %.2f s, peak %ld kB\n", records,
                ext, result.scale, result.paper.c_str(), std::filesystem::file_size(o.output) / 1e6,
                seconds, PeakKb());
  }
}

// The real program run as a child with its words: seconds, the child's peak resident memory
// (wait4's rusage) and the first line it said on standard error.
struct ChildRun {
  double seconds = 0;
  long peakKb = 0;
  int code = -1;
  std::string said;
};

ChildRun RunChild(const std::vector<std::string>& words, const std::string& errorFile) {
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakKb = usage.ru_maxrss;
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (std::FILE* f = std::fopen(errorFile.c_str(), "r")) {
    char line[512] = {};
    if (std::fgets(line, sizeof line, f)) run.said = line;
    std::fclose(f);
    if (!run.said.empty() && run.said.back() == '\n') run.said.pop_back();
  }
  return run;
}

// The plan with point numbers and levels, by the surveyexport program: PDF (at most 300 MB
// of memory) and SVG (at most 1 GB, or refused before anything is written).
void LabelledPlan(const std::string& dir, long records, bool pdfOnly) {
  const std::string path = WritePlan(dir, records);
  for (const char* ext : {".pdf", ".svg"}) {
    if (pdfOnly && std::string(ext) != ".pdf") continue;
    const std::string output = dir + "/labelled" + ext;
    std::filesystem::remove(output);
    const ChildRun run = RunChild({SURVEYEXPORT_BIN, "plan", path, "--numbers", "--levels",
                                   "--paper", "A1", "--overwrite", "--quiet", output},
                                  dir + "/said.txt");
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(output, ec);
    std::printf("plan: %ld records, numbers and levels, to %s: %.2f s, peak %ld kB, exit %d%s%s\n",
                records, ext, run.seconds, run.peakKb, run.code,
                ec ? "" : (" (" + std::to_string(bytes / 1000000) + " MB)").c_str(),
                run.said.empty() ? "" : ("; said: " + run.said).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir =
      argc > 1 ? argv[1]
               : (std::filesystem::temp_directory_path() / "bench_export_sheets").string();
  // bench_export_sheets DIR labelled [TIMES]: only the 1,000,000-record plan with numbers
  // and levels to PDF, TIMES over (3 unless given).
  if (argc > 2 && std::string(argv[2]) == "labelled") {
    std::filesystem::create_directories(dir);
    const int times = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    for (int i = 0; i < times; ++i) LabelledPlan(dir, 1000000, true);
    return 0;
  }
  std::filesystem::create_directories(dir);
  std::printf("peak before drawing: %ld kB\n", PeakKb());
  Sections(dir, 1, 20000);
  Sections(dir, 5, 100000);
  Plan(dir, 100000);
  Plan(dir, 1000000);
  LabelledPlan(dir, 100000, false);
  LabelledPlan(dir, 1000000, false);
  return 0;
}
