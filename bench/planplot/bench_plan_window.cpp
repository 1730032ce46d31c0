// The plan plotter's window driven as a surveyor drives it (offscreen): Start on a
// 60,000-point site with its answers typed into the plot area, then Pt.No or Level
// clicked. Reports the time from the click to a still plot and the longest stretch in
// which the window handled no events, measured twice: by the window's own pass and by a
// 1 ms timer that counts how late it fires.
//   QT_QPA_PLATFORM=offscreen ./bench_plan_window
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "planplot/plan_window.h"

namespace {

constexpr long kPoints = 60'000;

// A site 600 m square on the Hong Kong grid: points on a scatter with heights in
// centimetres and codes; every twentieth record starts a short coded line.
bool WriteSite(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  for (long r = 0; r < kPoints; ++r) {
    double rec[3];
    rec[0] = 820000.0 + std::fmod(r * 7.31, 600.0);
    rec[1] = 836000.0 + std::fmod(r * 3.17, 600.0);
    rec[2] = (r % 7) * 10000.0 + 2.5 + (r % 4000) / 100.0;
    if (r % 20 == 0 || r % 20 == 4) rec[0] = -rec[0];
    std::fwrite(rec, sizeof rec, 1, f);
  }
  return std::fclose(f) == 0;
}

// Clicks Start and types each answer when its prompt waits.
bool Start(planplot::PlanWindow& w, QStringList answers) {
  QTimer typer;
  typer.setInterval(2);
  QObject::connect(&typer, &QTimer::timeout, [&] {
    toolkit::PromptWindow* area = w.PlotArea();
    const QString t = QString::fromStdString(area->Transcript());
    if (answers.isEmpty() || area->HasPendingKey() || !t.endsWith("= ")) return;
    QTest::keyClicks(area, answers.takeFirst());
    QTest::keyClick(area, Qt::Key_Return);
  });
  typer.start();
  QTest::mouseClick(w.Button(planplot::kIdStart), Qt::LeftButton);
  return answers.isEmpty() && !w.Closed();
}

void Command(benchmark::State& st, int id) {
  QTemporaryDir dir;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path().toStdString());
  if (!WriteSite("SITE60K.NEH")) {
    st.SkipWithError("cannot write the site file");
    return;
  }
  double stillMs = 0, passGapMs = 0, timerGapMs = 0;
  for (auto _ : st) {
    st.PauseTiming();
    planplot::PlanWindow w(planplot::kDarkScheme);
    w.show();
    if (!Start(w, {"SITE60K", ""})) {
      st.SkipWithError("Start did not finish");
      break;
    }
    QCoreApplication::processEvents();
    // A 1 ms timer: the longest wait between two of its ticks is the longest time the
    // window could not answer.
    QElapsedTimer clock;
    qint64 lastTick = 0, longestTick = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      longestTick = std::max(longestTick, now - lastTick);
      lastTick = now;
    });
    st.ResumeTiming();
    clock.start();
    ticker.start();
    QTest::mouseClick(w.Button(id), Qt::LeftButton);  // returns once the pass is drawn
    QCoreApplication::processEvents();                // the last repaint
    const qint64 still = clock.nsecsElapsed();
    longestTick = std::max(longestTick, still - lastTick);
    ticker.stop();
    st.PauseTiming();
    stillMs = std::max(stillMs, still / 1e6);
    passGapMs = std::max(passGapMs, w.LastPass().longestGapMs);
    timerGapMs = std::max(timerGapMs, longestTick / 1e6);
    if (w.LastPass().records != kPoints) st.SkipWithError("the pass did not read the whole file");
    w.close();
    st.ResumeTiming();
  }
  st.counters["still_plot_ms"] = stillMs;
  st.counters["pass_gap_ms"] = passGapMs;
  st.counters["event_gap_ms"] = timerGapMs;
  std::filesystem::current_path(old);
}

void BM_PtNoOn60kPoints(benchmark::State& st) { Command(st, planplot::kIdNumbers); }
void BM_LevelOn60kPoints(benchmark::State& st) { Command(st, planplot::kIdLevels); }

BENCHMARK(BM_PtNoOn60kPoints)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LevelOn60kPoints)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
