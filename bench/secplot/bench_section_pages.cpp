// Paging through every section of five SEC files: milliseconds per page (max and mean)
// and the peak resident memory (VmHWM), once with the recording canvas (reading only) and
// once drawing into the graphic prompt window's bitmap as the program does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "secplot/prompt_canvas.h"
#include "secplot/recording_canvas.h"
#include "secplot/section_plot.h"
#include "toolkit/prompt_window.h"

namespace {

namespace fs = std::filesystem;

std::string Field(const std::string& text) {
  std::string f(8, ' ');
  const std::size_t n = std::min<std::size_t>(8, text.size());
  f.replace(8 - n, n, text, 0, n);
  return f;
}

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8.3f", v);
  return Field(buffer);
}

// records: header, 17 offsets, (every third section) an empty record, terminator.
void WriteFile(const fs::path& path, long records, int fileNo) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  long written = 0;
  for (long s = 0; written + 21 <= records; ++s) {
    char name[32];
    std::snprintf(name, sizeof name, "S%06d ", int(s % 1000000));
    out.write(name, 8);
    out << Number(1000 + 20.0 * double(s));
    for (int i = 0; i < 17; ++i)
      out << Number(-16 + 2.0 * i) << Number(15 + fileNo * 0.3 + 0.01 * ((i * 37 + s) % 300));
    written += 18;
    if (s % 3 == 0) {
      out << Number(0) << Number(0);
      ++written;
    }
    out << Field("999") << Number(0);
    ++written;
  }
  while (written++ < records) out << Number(0) << Number(0);
}

// "F1.SEC" ... "F5.SEC" (built without string concatenation, which GCC 12 misreports).
std::string FileName(int k) {
  char name[16];
  std::snprintf(name, sizeof name, "F%d.SEC", k);
  return name;
}

long PeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

struct Files {
  fs::path folder;
  long records = 0;
  Files(long n) : records(n) {
    char leaf[48];
    std::snprintf(leaf, sizeof leaf, "secplot_bench_%ld", n);
    folder = fs::temp_directory_path() / leaf;
    fs::create_directories(folder);
    for (int k = 1; k <= 5; ++k) WriteFile(folder / FileName(k), n, k);
  }
  ~Files() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

void PageThrough(benchmark::State& state, secplot::SectionCanvas& canvas,
                 toolkit::PromptWindow* area) {
  const long records = state.range(0);
  Files files(records);
  double maxMs = 0, sumMs = 0;
  long pages = 0;
  const long before = PeakKb();
  for (auto _ : state) {
    secplot::SectionPlotState s;
    for (int k = 1; k <= 5; ++k) {
      auto& e = s.files[k - 1];
      toolkit::OpenSurveyFileNamed(e.file, (files.folder / FileName(k)).string(),
                                   toolkit::SurveyKind::Sec);
      e.record = 1;
      s.fileCount = k;
    }
    s.horizScale = 200;
    s.vertScale = 100;
    s.x0 = -20;
    s.y0 = 14;
    secplot::SetSectionRange(s, "S000000", "S999999");  // runs to the end of the files
    for (;;) {
      const auto t0 = std::chrono::steady_clock::now();
      const secplot::PageResult r = secplot::DrawSectionPage(s, canvas, secplot::kMainPage);
      if (area) benchmark::DoNotOptimize(area->Image().constBits());
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      if (r != secplot::PageResult::Drawn) break;
      maxMs = std::max(maxMs, ms);
      sumMs += ms;
      ++pages;
      if (secplot::PageWasLast(s)) break;
    }
    for (auto& e : s.files) toolkit::CloseSurveyFile(e.file);
  }
  state.counters["pages"] = double(pages);
  state.counters["page_ms_max"] = maxMs;
  state.counters["page_ms_mean"] = pages ? sumMs / double(pages) : 0;
  state.counters["VmHWM_kB_before"] = double(before);
  state.counters["VmHWM_kB"] = double(PeakKb());
}

void BM_PagesRecording(benchmark::State& state) {
  secplot::RecordingCanvas canvas;
  PageThrough(state, canvas, nullptr);
}

void BM_PagesOnWindow(benchmark::State& state) {
  toolkit::PromptWindow area(nullptr, 121, QSize(1050, 463));
  secplot::PromptCanvas canvas(area);
  PageThrough(state, canvas, &area);
}

}  // namespace

BENCHMARK(BM_PagesRecording)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagesOnWindow)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
