// Drawing passes over a 1,000,000-record NEH file into the plot area of the real window
// code (graphic prompt window, offscreen): points only, coded lines, and points with
// numbers, with levels and with both. Reports records per second, the longest stretch
// without event handling and the peak resident memory (VmHWM), which must not grow with the
// file since records are read one at a time.
//   QT_QPA_PLATFORM=offscreen ./bench_plan_pass
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "planplot/plan_core.h"
#include "planplot/prompt_canvas.h"

namespace {

constexpr long kRecords = 1'000'000;

long PeakKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// A site 2 km square: points on a scatter; with lines, every tenth record starts a line
// of nine coded points.
std::string WriteFile(bool lines) {
  const std::string name = std::string("/tmp/bench_plan_") + (lines ? "lines" : "points") + ".NEH";
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return name;
  for (long r = 0; r < kRecords; ++r) {
    double rec[3];
    rec[0] = 816000.0 + std::fmod(r * 7.31, 2000.0);
    rec[1] = 834000.0 + std::fmod(r * 3.17, 2000.0);
    rec[2] = (r % 7) * 10000.0 + 12.5 + (r % 100) / 10.0;
    if (lines && (r % 10 == 0 || r % 10 == 9)) rec[0] = -rec[0];
    std::fwrite(rec, sizeof rec, 1, f);
  }
  std::fclose(f);
  return name;
}

struct Area {
  QWidget dialog;
  toolkit::PromptWindow* area = new toolkit::PromptWindow(&dialog, 121, QSize(1050, 700));
  Area() {
    dialog.resize(1050, 723);
    dialog.show();
  }
};

enum Labels { kNone = 0, kNumbers = 1, kLevels = 2, kBoth = 3 };

void Pass(benchmark::State& st, bool lines, int labels) {
  // Made once and never destroyed: a widget must not outlive the application object.
  static Area& a = *new Area;
  const std::string name = WriteFile(lines);
  planplot::PlanState s;
  s.mainFileName = name;
  planplot::ScanFullExtent(s, planplot::OpenNehFile);
  planplot::FitViewWindow(s);
  planplot::ApplyViewWindow(s);
  s.showNumbers = (labels & kNumbers) != 0;
  s.showLevels = (labels & kLevels) != 0;
  double gap = 0;
  long long records = 0;
  for (auto _ : st) {
    a.area->Clear();
    planplot::PromptCanvas canvas(a.area);
    const planplot::PassResult r =
        planplot::DrawPlanPass(s, planplot::kDarkScheme, planplot::OpenNehFile, canvas);
    records += r.recordsRead;
    gap = std::max(gap, canvas.LongestGapMs());
  }
  st.SetItemsProcessed(records);
  st.counters["longest_gap_ms"] = gap;
  st.counters["peak_rss_MiB"] = PeakKiB() / 1024.0;
  std::remove(name.c_str());
}

void BM_PointsNoLabels(benchmark::State& st) { Pass(st, false, kNone); }
void BM_CodedLinesNoLabels(benchmark::State& st) { Pass(st, true, kNone); }
void BM_PointsWithNumbers(benchmark::State& st) { Pass(st, false, kNumbers); }
void BM_PointsWithLevels(benchmark::State& st) { Pass(st, false, kLevels); }
void BM_PointsWithLabels(benchmark::State& st) { Pass(st, false, kBoth); }

// The extent scan that Start makes before the pass.
void BM_ExtentScan(benchmark::State& st) {
  const std::string name = WriteFile(false);
  planplot::PlanState s;
  s.mainFileName = name;
  for (auto _ : st) planplot::ScanFullExtent(s, planplot::OpenNehFile);
  st.SetItemsProcessed(st.iterations() * kRecords);
  std::remove(name.c_str());
}

BENCHMARK(BM_PointsNoLabels)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CodedLinesNoLabels)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PointsWithNumbers)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PointsWithLevels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PointsWithLabels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExtentScan)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("peak resident memory (VmHWM): %.1f MiB\n", PeakKiB() / 1024.0);
  return 0;
}
